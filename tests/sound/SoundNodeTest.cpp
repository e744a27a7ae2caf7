// Sound nodes and sound animation on the null output: persistence, silent nodes for missing
// or bad files, keeping channels playing, SoundNode2's switching and the on/off tracks.
#include "../animation/AnimationTestSupport.h"
#include "../core/TestSupport.h"
#include "OggSynth.h"
#include "SoundTestSupport.h"
#include "animation/BoolAnimation.h"
#include "media/FileManager.h"
#include "media/Folder.h"
#include "media/MemoryFile.h"
#include "scene/SphereBoundingVolume.h"
#include "sound/SoundManager.h"
#include "sound/SoundNode.h"
#include "sound/SoundNode2.h"
#include "sound/SoundNodeAnimation.h"
#include "sound/SoundNodeAnimationController.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace nuv {
namespace {

using test::RoundTrip;
using test::Switch;

// A folder of sound files in the media for the life of a test.
class SoundNodes : public ::testing::Test {
protected:
    void SetUp() override {
        if (getenv("NUV_EXPECT_NO_SOUND_DEVICE")) GTEST_SKIP() << "runs with an output device only";
        folder_ = new Folder("TestSounds", FileManager::GetRoot());
        const std::vector<uint8_t> tone = test::EncodeOgg(test::Sine(440.0, 0.3, 44100, 1, 0.5f), 1, 44100);
        Add("tone.ogg", tone);
        Add("long.ogg", test::EncodeOgg(test::Sine(440.0, 3.0, 44100, 2, 0.5f), 2, 44100));
        Add("empty.ogg", {});
        Add("text.ogg", std::vector<uint8_t>(300, 'x'));
        Add("cut.ogg", std::vector<uint8_t>(tone.begin(), tone.begin() + 60));
    }
    void TearDown() override { delete folder_; }

    void Add(const char* name, std::vector<uint8_t> bytes) {
        Pointer<MemoryFile> file(new MemoryFile(String(name)));
        file->SetContent(std::move(bytes));
        folder_->AttachFile(file.Get());
    }
    File* Find(const char* name) { return FileManager::FindFile(String(name)); }

    Folder* folder_ = nullptr;
};

template <class T>
T ReadAt(const Stream& stream, int offset) {
    T value;
    std::memcpy(&value, stream.GetData() + offset, sizeof(T));
    return value;
}

TEST_F(SoundNodes, SoundNodeFieldsFollowTheNodeFieldsAndComeBackWithAStream) {
    Pointer<SoundNode> node(new SoundNode());
    node->SetName("Bell");
    node->SetLoop(true);
    node->SetMinDistance(12.5f);
    node->SetVolume(40);
    node->SetPlaying(false);
    ASSERT_EQ(node->LoadSound(Find("tone.ogg"), true), 0);
    ASSERT_NE(node->GetStream(), 0u);

    Pointer<Node> plain(new Node());
    plain->SetName("Bell");
    Stream nodeOnly(0, 256);
    ASSERT_EQ(plain->Save(nodeOnly), 0);
    Stream bytes(0, 256);
    ASSERT_EQ(node->Save(bytes), 0);
    int at = nodeOnly.GetPosition();
    ASSERT_EQ(bytes.GetPosition(), at + 1 + 4 + 4 + 1 + 4 + 8 + 1 + 4);
    EXPECT_EQ(bytes.GetData()[at], 1);              // loop
    EXPECT_EQ(ReadAt<float>(bytes, at + 1), 12.5f); // minimum distance
    EXPECT_EQ(ReadAt<int32_t>(bytes, at + 5), 0);   // reserved
    EXPECT_EQ(bytes.GetData()[at + 9], 1);          // 3D
    EXPECT_EQ(ReadAt<int32_t>(bytes, at + 10), 8);  // file name
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.GetData()) + at + 14, 8), "tone.ogg");
    EXPECT_EQ(bytes.GetData()[at + 22], 0);         // playing
    EXPECT_EQ(ReadAt<int32_t>(bytes, at + 23), 40); // volume

    Stream stream(0, 512);
    Pointer<SoundNode> read = RoundTrip<SoundNode>(node.Get(), stream);
    ASSERT_TRUE(read);
    EXPECT_NE(read->GetStream(), 0u);
    EXPECT_NE(read->GetStream(), node->GetStream());
    EXPECT_TRUE(read->Is3D());
    EXPECT_TRUE(read->IsLoop());
    EXPECT_FALSE(read->IsPlaying());
    EXPECT_EQ(read->GetVolume(), 40);
    EXPECT_EQ(read->GetMinDistance(), 12.5f);
}

TEST_F(SoundNodes, MissingEmptyAndUndecodableFilesLeaveASilentNode) {
    struct Case {
        const char* file;
        std::string warning;
    };
    const Case cases[] = {
        {"missing.ogg", "1|Невозможно найти файл [missing.ogg] для источника звука. ID["},
        {"empty.ogg", "1|Невозможно загрузить файл звука [empty.ogg]"},
        {"text.ogg", "1|Невозможно загрузить файл звука [text.ogg]"},
        {"cut.ogg", "1|Невозможно загрузить файл звука [cut.ogg]"},
    };
    for (const Case& c : cases) {
        Pointer<SoundNode> node(new SoundNode());
        node->SetName("Quiet");
        node->SetFileName(String(c.file));
        Stream stream(0, 512);
        test::LogRecorder log;
        Pointer<SoundNode> read = RoundTrip<SoundNode>(node.Get(), stream);
        ASSERT_TRUE(read) << c.file;
        EXPECT_EQ(read->GetStream(), 0u);
        std::vector<std::string> problems;
        for (const std::string& line : log.lines)
            if (line.rfind("0|", 0) != 0) problems.push_back(line);
        ASSERT_EQ(problems.size(), 1u) << c.file;
        EXPECT_EQ(problems[0].rfind(c.warning, 0), 0u) << problems[0];
        // Every operation skips the missing stream.
        read->SetVolume(10);
        read->SetLoop(true);
        read->SetMinDistance(3.0f);
        read->UpdateTree(0.02, false);
    }
}

TEST_F(SoundNodes, DamagedRecordsAreRefused) {
    Pointer<SoundNode> node(new SoundNode());
    node->SetName("Bell");
    node->SetFileName("tone.ogg");
    Stream whole(0, 512);
    ASSERT_EQ(whole.WriteObject(node.Get()), 0);
    for (int cut = whole.GetPosition() - 1; cut > whole.GetPosition() - 20; --cut) {
        Stream part(0, 512);
        part.Assign(whole.GetData(), cut);
        Object* read = nullptr;
        test::LogRecorder log;
        EXPECT_NE(part.ReadObject(read), 0) << cut;
        EXPECT_TRUE(log.ContainsText("Невозможно загрузить данные источника звука. ID[")) << cut;
    }
    // A minimum distance that is not a number would reach the bounds.
    node->SetMinDistance(std::numeric_limits<float>::quiet_NaN());
    Stream nan(0, 512);
    ASSERT_EQ(nan.WriteObject(node.Get()), 0);
    nan.SetPosition(0);
    nan.ClearIdMap();
    Object* read = nullptr;
    EXPECT_NE(nan.ReadObject(read), 0);
}

TEST_F(SoundNodes, APlayingNodeKeepsItsChannelPlayingAndItsBoundIsTheMinimumDistance) {
    Pointer<SoundNode> node(new SoundNode());
    ASSERT_EQ(node->LoadSound(Find("tone.ogg"), false), 0);
    node->SetMinDistance(6.0f);
    node->GetLocalTransform().SetTranslation(Vector3(1.0f, 2.0f, 3.0f));
    node->SetPlaying(false);
    node->UpdateTree(0.02, false);
    EXPECT_EQ(SoundManager::ChannelIsActive(node->GetStream()), kBassActiveStopped);
    node->SetPlaying(true);
    node->UpdateTree(0.02, false);
    EXPECT_EQ(SoundManager::ChannelIsActive(node->GetStream()), kBassActivePlaying);
    // Stopped from outside, it starts again at the next update while the flag is set.
    SoundManager::ChannelStop(node->GetStream());
    node->UpdateTree(0.02, false);
    EXPECT_EQ(SoundManager::ChannelIsActive(node->GetStream()), kBassActivePlaying);

    const auto* sphere = DynamicCast<SphereBoundingVolume>(node->GetWorldBound());
    ASSERT_TRUE(sphere);
    EXPECT_EQ(sphere->GetRadius(), 6.0f);
    EXPECT_EQ(sphere->GetCenter().y, 2.0f);
}

TEST_F(SoundNodes, SoundNode2NeedsBothFilesAndPersistsItsFields) {
    Pointer<SoundNode2> node(new SoundNode2());
    node->SetName("Birds");
    node->SetFileNames("tone.ogg", "");
    node->SetInterval(0.5f, 0.0f);
    node->LoadSounds();
    ASSERT_NE(node->GetStreamA(), 0u);
    EXPECT_EQ(node->GetStreamB(), 0u);
    for (int i = 0; i < 20; ++i) node->UpdateTree(0.25, false);
    EXPECT_EQ(node->GetCurrentStream(), 0u);
    EXPECT_EQ(SoundManager::ChannelIsActive(node->GetStreamA()), kBassActiveStopped);

    node->SetFileNames("tone.ogg", "long.ogg");
    node->Set3D(true);
    node->SetVolume(30);
    node->SetMinDistance(2.0f);
    Stream stream(0, 512);
    Pointer<SoundNode2> read = RoundTrip<SoundNode2>(node.Get(), stream);
    ASSERT_TRUE(read);
    EXPECT_NE(read->GetStreamA(), 0u);
    EXPECT_NE(read->GetStreamB(), 0u);
    EXPECT_EQ(read->GetVolume(), 30);
    EXPECT_EQ(read->GetMinDistance(), 2.0f);
}

// rand() as the node will see it after srand(seed).
std::vector<int> RandomSequence(unsigned seed, int count) {
    srand(seed);
    std::vector<int> values;
    for (int i = 0; i < count; ++i) values.push_back(rand());
    srand(seed);
    return values;
}

TEST_F(SoundNodes, SoundNode2WithoutSpreadSwitchesExactlyEveryBaseInterval) {
    Pointer<SoundNode2> node(new SoundNode2());
    node->SetFileNames("long.ogg", "tone.ogg");
    node->SetInterval(0.5f, 0.0f);
    node->LoadSounds();
    ASSERT_NE(node->GetStreamB(), 0u);
    const std::vector<int> random = RandomSequence(20261208, 64);
    int switches = 0;
    // Steps of 1/8 s add up exactly: the first update switches, then every half second of
    // time since: after 0.5, 1.0, 1.5 and 2.0 s.
    for (int update = 0; update < 16; ++update) {
        node->UpdateTree(0.125, false);
        if (update == 0 || (update + 1) % 4 == 0) ++switches;
        const bool a = random[size_t(2 * switches - 1)] % 2 == 0;
        EXPECT_EQ(node->GetCurrentStream(), a ? node->GetStreamA() : node->GetStreamB()) << update;
        EXPECT_EQ(SoundManager::ChannelIsActive(a ? node->GetStreamA() : node->GetStreamB()), kBassActivePlaying);
        EXPECT_EQ(SoundManager::ChannelIsActive(a ? node->GetStreamB() : node->GetStreamA()), kBassActiveStopped);
        // Two draws per switch, none in between.
        const int next = rand();
        EXPECT_EQ(next, random[size_t(2 * switches)]) << update;
        srand(20261208);
        for (int i = 0; i < 2 * switches; ++i) rand();
    }
    EXPECT_EQ(switches, 5);

    // One long frame of 1.75 s makes four switches (at 0, 0.5, 1 and 1.5) and ends on the last.
    Pointer<SoundNode2> other(new SoundNode2());
    other->SetFileNames("long.ogg", "tone.ogg");
    other->SetInterval(0.5f, 0.0f);
    other->LoadSounds();
    const std::vector<int> more = RandomSequence(77, 16);
    other->UpdateTree(1.75, false);
    EXPECT_EQ(rand(), more[8]);
    EXPECT_EQ(other->GetCurrentStream(), more[7] % 2 == 0 ? other->GetStreamA() : other->GetStreamB());
}

TEST_F(SoundNodes, SoundNode2WithAnIntervalThatIsNotPositiveStillEndsItsUpdate) {
    Pointer<SoundNode2> node(new SoundNode2());
    node->SetFileNames("long.ogg", "tone.ogg");
    node->LoadSounds();
    for (float base : {0.0f, -1.0f, 1e-30f}) {
        node->SetInterval(base, 0.0f);
        srand(5);
        node->UpdateTree(10.0, false);
        EXPECT_NE(node->GetCurrentStream(), 0u);
    }
}

TEST_F(SoundNodes, AnOnOffTrackStopsAndRestartsItsNode) {
    Pointer<SoundNode> node(new SoundNode());
    ASSERT_EQ(node->LoadSound(Find("long.ogg"), false), 0);
    node->SetPlaying(false);
    Switch(*node, {{0.0, true}, {0.5, false}});
    node->UpdateTree(0.1, false);
    EXPECT_TRUE(node->IsPlaying());
    EXPECT_EQ(SoundManager::ChannelIsActive(node->GetStream()), kBassActivePlaying);
    for (int i = 0; i < 5; ++i) node->UpdateTree(0.1, false); // now at 0.6
    EXPECT_FALSE(node->IsPlaying());
    EXPECT_EQ(SoundManager::ChannelIsActive(node->GetStream()), kBassActiveStopped);
    for (int i = 0; i < 5; ++i) node->UpdateTree(0.1, false); // round to 0.1 again
    EXPECT_TRUE(node->IsPlaying());
    EXPECT_EQ(SoundManager::ChannelIsActive(node->GetStream()), kBassActivePlaying);
}

TEST_F(SoundNodes, StagesOfOtherTracksAndInactiveControllersLeaveTheNodeAlone) {
    Pointer<SoundNode> node(new SoundNode());
    ASSERT_EQ(node->LoadSound(Find("long.ogg"), false), 0);
    node->SetPlaying(false);
    Pointer<SoundNodeAnimationController> controller = Switch(*node, {{0.0, false}});
    // A key-framed node track on a second stage has no on/off byte: the sound track decides.
    Pointer<NodeAnimation> motion(new NodeAnimation());
    test::AddNodeKey(*motion, 0.0, {1, 0, 0});
    controller->SetStageAnimation(motion.Get(), 1, 1.0f);
    controller->SetActive(false);
    node->UpdateTree(0.1, false);
    EXPECT_FALSE(node->IsPlaying());
    controller->SetActive(true);
    node->SetPlaying(true);
    node->UpdateTree(0.1, false);
    EXPECT_FALSE(node->IsPlaying());

    // Owned by something that is not a sound node, the controller does nothing.
    Pointer<Node> plain(new Node());
    Pointer<SoundNodeAnimationController> stray = Switch(*plain, {{0.0, false}});
    EXPECT_EQ(stray->GetOwner(), plain.Get());
    plain->UpdateTree(0.1, false);
}

} // namespace
} // namespace nuv
