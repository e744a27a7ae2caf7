// What would be heard: OpenAL Soft's wave output records the mix to a WAV file, which is then
// measured per channel (and once by sox as an outside witness).
#include "../render/RecordingRenderer.h"
#include "OggSynth.h"
#include "SoundTestSupport.h"
#include "WavFile.h"
#include "animation/BoolAnimation.h"
#include "media/MemoryFile.h"
#include "media/ModuleManager.h"
#include "scene/Camera.h"
#include "sound/SoundManager.h"
#include "sound/SoundNode.h"
#include "sound/SoundNodeAnimation.h"
#include "sound/SoundNodeAnimationController.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

namespace nuv {
namespace {

// OpenAL Soft reads its configuration once per process, so every test records to this file;
// each device open starts it anew.
std::string RecordingFolder() {
    static const std::string folder = [] {
        const std::string path = std::filesystem::temp_directory_path() / ("nuv-sound-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

// Before main: the engine opens the device when the test environment starts it.
struct WaveOutput {
    WaveOutput() {
        const std::string conf = RecordingFolder() + "/alsoft.conf";
        std::ofstream out(conf);
        out << "[general]\ndrivers = wave\nchannels = stereo\nsample-type = int16\ndither = false\nfrequency = 44100\n"
               "hrtf = false\nstereo-encoding = panpot\n[wave]\nfile = "
            << RecordingFolder() << "/out.wav\n";
        out.close();
        setenv("ALSOFT_CONF", conf.c_str(), 1);
        unsetenv("ALSOFT_DRIVERS");
    }
    ~WaveOutput() { std::filesystem::remove_all(RecordingFolder()); }
};
const WaveOutput gWaveOutput;

class Recording : public ::testing::Test {
protected:
    // The engine started the manager (and with it the device); each test records afresh.
    void SetUp() override {
        SoundManager::Stop();
        ASSERT_EQ(SoundManager::Start(), 0);
    }
    void TearDown() override {
        for (BassHandle stream : streams_) SoundManager::StreamFree(stream);
        SoundManager::Stop();
    }

    BassHandle Stream(const std::vector<uint8_t>& file, BassDword flags) {
        const BassHandle stream = SoundManager::StreamCreateFile(1, file.data(), 0, BassDword(file.size()), flags);
        if (stream) streams_.push_back(stream);
        return stream;
    }
    static void Wait(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

    bool Finish(test::WavFile& wav) {
        for (BassHandle stream : streams_) SoundManager::StreamFree(stream);
        streams_.clear();
        SoundManager::Stop();
        return wav.Read(RecordingFolder() + "/out.wav") && wav.channels == 2;
    }

    std::vector<BassHandle> streams_;
};

const std::vector<uint8_t>& Tone() {
    // 0.3 s of 440 Hz is a whole number of periods, so a loop joins without a step.
    static const std::vector<uint8_t> file = test::EncodeOgg(test::Sine(440.0, 0.3, 44100, 1, 0.5f), 1, 44100);
    return file;
}

constexpr double kWindow = 0.005;

double Both(const test::WavFile& wav, double begin, double end) {
    return std::hypot(wav.Rms(0, begin, end), wav.Rms(1, begin, end));
}

struct Stretch {
    double begin, end;
};

// The stretches of sound in a recording: the mixer writes exact zeros when nothing plays. The
// output may lag the wall clock on a busy machine, so the tests separate what they compare by
// silences and find them here rather than by timing.
std::vector<Stretch> Stretches(const test::WavFile& wav) {
    std::vector<Stretch> runs;
    const double length = double(wav.GetFrameCount()) / wav.rate;
    for (double t = 0.0; t + kWindow <= length; t += kWindow) {
        if (Both(wav, t, t + kWindow) < 1e-5) continue;
        if (!runs.empty() && t - runs.back().end < 0.05)
            runs.back().end = t + kWindow;
        else
            runs.push_back({t, t + kWindow});
    }
    return runs;
}

// The level of a run without its first and last 50 ms, where the mix may still change.
double Level(const test::WavFile& wav, const Stretch& run, int channel = -1) {
    const double begin = run.begin + 0.05, end = run.end - 0.05;
    return channel < 0 ? Both(wav, begin, end) : wav.Rms(channel, begin, end);
}

TEST_F(Recording, MusicPlaysAndLoopsWithoutAGapWhileAShortSoundEndsOnce) {
    const BassHandle music = Stream(Tone(), kBassSampleLoop);
    ASSERT_NE(music, 0u);
    ASSERT_TRUE(SoundManager::ChannelPlay(music, 0));
    Wait(1.2);
    EXPECT_EQ(SoundManager::ChannelIsActive(music), kBassActivePlaying);
    SoundManager::ChannelStop(music);
    Wait(0.2);
    const BassHandle once = Stream(Tone(), 0);
    ASSERT_TRUE(SoundManager::ChannelPlay(once, 0));
    Wait(0.8);
    EXPECT_EQ(SoundManager::ChannelIsActive(once), kBassActiveStopped);

    test::WavFile wav;
    ASSERT_TRUE(Finish(wav));
    const std::vector<Stretch> runs = Stretches(wav);
    ASSERT_EQ(runs.size(), 2u);
    // Four times round the loop in 5 ms windows: a gap of even a few milliseconds would show.
    EXPECT_GT(runs[0].end - runs[0].begin, 1.0);
    int quiet = 0;
    for (double t = runs[0].begin + 0.02; t + kWindow < runs[0].end - 0.02; t += kWindow)
        if (Both(wav, t, t + kWindow) < 0.1) ++quiet;
    EXPECT_EQ(quiet, 0);
    EXPECT_NEAR(runs[1].end - runs[1].begin, 0.3, 0.03);
    EXPECT_NEAR(Level(wav, runs[1]), Level(wav, runs[0]), 0.05);
}

TEST_F(Recording, ASourceOnTheRightIsLouderRightUntilTheListenerTurnsRound) {
    const BassHandle source = Stream(Tone(), kBassSample3D | kBassSampleLoop);
    ASSERT_NE(source, 0u);
    const Bass3DVector right = {2.0f, 0.0f, 0.0f};
    const Bass3DVector ahead = {0.0f, 0.0f, 1.0f}, behind = {0.0f, 0.0f, -1.0f}, up = {0.0f, 1.0f, 0.0f};
    SoundManager::ChannelSet3DPosition(source, &right, nullptr, nullptr);
    SoundManager::Set3DPosition(nullptr, nullptr, &ahead, &up);
    SoundManager::Apply3D();
    SoundManager::ChannelPlay(source, 0);
    Wait(0.4);
    SoundManager::ChannelStop(source);
    Wait(0.2);
    SoundManager::Set3DPosition(nullptr, nullptr, &behind, &up);
    SoundManager::Apply3D();
    SoundManager::ChannelPlay(source, 1);
    Wait(0.4);

    test::WavFile wav;
    ASSERT_TRUE(Finish(wav));
    const std::vector<Stretch> runs = Stretches(wav);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_GT(test::Decibels(Level(wav, runs[0], 1), Level(wav, runs[0], 0)), 10.0);
    EXPECT_GT(test::Decibels(Level(wav, runs[1], 0), Level(wav, runs[1], 1)), 10.0);
}

// The gain of a source at two distances: inverse distance, clamped at the minimum distance.
TEST_F(Recording, MinimumDistanceAndRollOffSetTheLevelRatioOfTwoDistances) {
    const BassHandle source = Stream(Tone(), kBassSample3D | kBassSampleLoop);
    ASSERT_NE(source, 0u);
    struct Case {
        float minDistance, rollOff, near, far;
    };
    const Case cases[] = {{1.0f, 1.0f, 2.0f, 8.0f}, {4.0f, 1.0f, 2.0f, 8.0f}, {1.0f, 7.0f, 2.0f, 8.0f}};
    const Bass3DVector ahead = {0.0f, 0.0f, 1.0f}, up = {0.0f, 1.0f, 0.0f};
    SoundManager::Set3DPosition(nullptr, nullptr, &ahead, &up);
    for (const Case& c : cases) {
        SoundManager::Set3DFactors(1.0f, c.rollOff, 1.0f);
        SoundManager::ChannelSet3DAttributes(source, kBass3DModeNormal, c.minDistance, -1.0f, -1, -1, -1);
        for (float distance : {c.near, c.far}) {
            const Bass3DVector position = {0.0f, 0.0f, distance};
            SoundManager::ChannelSet3DPosition(source, &position, nullptr, nullptr);
            SoundManager::Apply3D();
            SoundManager::ChannelPlay(source, 1);
            Wait(0.3);
            SoundManager::ChannelStop(source);
            Wait(0.15);
        }
    }

    test::WavFile wav;
    ASSERT_TRUE(Finish(wav));
    const std::vector<Stretch> runs = Stretches(wav);
    ASSERT_EQ(runs.size(), 6u);
    for (int i = 0; i < 3; ++i) {
        const Case& c = cases[i];
        auto gain = [&c](float d) {
            return c.minDistance / (c.minDistance + c.rollOff * (std::max(d, c.minDistance) - c.minDistance));
        };
        const double expected = test::Decibels(gain(c.near), gain(c.far));
        const double measured = test::Decibels(Level(wav, runs[size_t(2 * i)]), Level(wav, runs[size_t(2 * i + 1)]));
        EXPECT_NEAR(measured, expected, 1.0) << "case " << i;
    }
}

TEST_F(Recording, MasterVolumeZeroIsSilenceWhileTheStreamKeepsPlaying) {
    const BassHandle music = Stream(Tone(), kBassSampleLoop);
    ASSERT_NE(music, 0u);
    SoundManager::SetSoundVolume(100);
    SoundManager::ChannelPlay(music, 0);
    Wait(0.4);
    SoundManager::SetSoundVolume(0);
    Wait(0.4);
    EXPECT_EQ(SoundManager::ChannelIsActive(music), kBassActivePlaying);
    SoundManager::SetSoundVolume(250); // taken as 100
    Wait(0.4);

    test::WavFile wav;
    ASSERT_TRUE(Finish(wav));
    const std::vector<Stretch> runs = Stretches(wav);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_GT(runs[1].begin - runs[0].end, 0.3);
    EXPECT_GT(Level(wav, runs[0]), 0.1);
    EXPECT_NEAR(test::Decibels(Level(wav, runs[1]), Level(wav, runs[0])), 0.0, 0.5);
}

// sox reads the same recording and must find the same levels per channel.
TEST_F(Recording, SoxMeasuresTheSameChannelLevels) {
    if (std::system("command -v sox >/dev/null 2>&1") != 0) GTEST_SKIP() << "sox is not installed";
    const BassHandle source = Stream(Tone(), kBassSample3D | kBassSampleLoop);
    ASSERT_NE(source, 0u);
    const Bass3DVector left = {-1.0f, 0.0f, 1.0f}, ahead = {0.0f, 0.0f, 1.0f}, up = {0.0f, 1.0f, 0.0f};
    SoundManager::ChannelSet3DPosition(source, &left, nullptr, nullptr);
    SoundManager::Set3DPosition(nullptr, nullptr, &ahead, &up);
    SoundManager::Apply3D();
    SoundManager::ChannelPlay(source, 0);
    Wait(0.5);

    test::WavFile wav;
    ASSERT_TRUE(Finish(wav));
    const std::string path = RecordingFolder() + "/out.wav";
    for (int channel = 0; channel < 2; ++channel) {
        const std::string command = "sox '" + path + "' -n remix " + std::to_string(channel + 1) + " stat 2>&1";
        std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), &pclose);
        ASSERT_TRUE(pipe);
        double soxRms = -1.0;
        char line[256];
        while (fgets(line, sizeof line, pipe.get()))
            if (std::sscanf(line, "RMS amplitude: %lf", &soxRms) == 1) break;
        ASSERT_GE(soxRms, 0.0) << "no RMS from sox";
        const double ours = wav.Rms(channel, 0.0, double(wav.GetFrameCount()) / wav.rate + 1.0);
        EXPECT_NEAR(soxRms, ours, 0.01 * ours + 1e-6) << "channel " << channel;
    }
    // The source is ahead and to the left.
    EXPECT_GT(wav.Rms(0, 0.0, 10.0), 1.5 * wav.Rms(1, 0.0, 10.0));
}

// Sound nodes heard through a renderer with a current camera.
class NodeRecording : public Recording {
protected:
    void SetUp() override {
        Recording::SetUp();
        ASSERT_EQ(test::UseRecordingRenderer(), 0);
        camera_ = new Camera();
        ModuleManager::GetRenderer()->SetCamera(camera_.Get());
    }
    void TearDown() override {
        ModuleManager::DestroyRenderer();
        Recording::TearDown();
    }
    // Frames of about 20 ms for a while, each stepping by the time that really passed (a busy
    // machine stretches frames): the scene update, then the frame start that turns the listener.
    void Frames(Node& node, double seconds) {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point start = Clock::now();
        Clock::time_point last = start;
        while (std::chrono::duration<double>(last - start).count() < seconds) {
            const Clock::time_point now = Clock::now();
            node.UpdateTree(std::chrono::duration<double>(now - last).count(), false);
            last = now;
            camera_->UpdateTree(0.0, false);
            ModuleManager::GetRenderer()->BeginFrame();
            Wait(0.02);
        }
    }
    void PlaceCamera(const Vector3& position, const Quaternion& rotation) {
        camera_->GetLocalTransform().SetTranslation(position);
        camera_->GetLocalTransform().SetRotation(rotation);
        camera_->UpdateTree(0.0, false);
    }
    static File* Sound(const char* name, std::vector<uint8_t> bytes) {
        auto* file = new MemoryFile(String(name));
        file->SetContent(std::move(bytes));
        return file;
    }

    Pointer<Camera> camera_;
};

TEST_F(NodeRecording, A3DNodeIsHeardWhereItIsRelativeToTheCameraAndItsOrientation) {
    Pointer<File> file(Sound("tone.ogg", Tone()));
    Pointer<SoundNode> node(new SoundNode());
    node->SetLoop(true);
    node->SetMinDistance(10.0f); // inside it, only the direction changes
    ASSERT_EQ(node->LoadSound(file.Get(), true), 0);
    ASSERT_NE(node->GetStream(), 0u);
    node->GetLocalTransform().SetTranslation(Vector3(5.0f, 0.0f, 0.0f));
    const Quaternion facingBack(0.0f, 1.0f, 0.0f, 0.0f); // half a turn about y

    const std::pair<Vector3, Quaternion> cameras[] = {
        {Vector3(10.0f, 0.0f, 0.0f), Quaternion()}, // the node is 5 to the camera's left
        {Vector3(0.0f, 0.0f, 0.0f), Quaternion()},  // 5 to its right
        {Vector3(0.0f, 0.0f, 0.0f), facingBack},    // to its left again: the camera looks back
    };
    for (const auto& [position, rotation] : cameras) {
        PlaceCamera(position, rotation);
        node->SetPlaying(true);
        Frames(*node, 0.4);
        node->SetPlaying(false);
        SoundManager::ChannelStop(node->GetStream());
        Wait(0.2);
    }

    test::WavFile wav;
    ASSERT_TRUE(Finish(wav));
    const std::vector<Stretch> runs = Stretches(wav);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_GT(test::Decibels(Level(wav, runs[0], 0), Level(wav, runs[0], 1)), 10.0);
    EXPECT_GT(test::Decibels(Level(wav, runs[1], 1), Level(wav, runs[1], 0)), 10.0);
    EXPECT_GT(test::Decibels(Level(wav, runs[2], 0), Level(wav, runs[2], 1)), 10.0);
}

// A click at the start of a silence longer than the test plays it: every start of the sound
// is heard as one click.
std::vector<uint8_t> Click() {
    std::vector<float> samples(size_t(44100 * 4), 0.0f);
    const std::vector<float> burst = test::Sine(1000.0, 0.02, 44100, 1, 0.8f);
    std::copy(burst.begin(), burst.end(), samples.begin());
    return test::EncodeOgg(samples, 1, 44100);
}

TEST_F(NodeRecording, AnOnTrackStartsItsSoundOnceAndAnOnOffOnTrackTwice) {
    Pointer<File> file(Sound("click.ogg", Click()));
    Pointer<SoundNode> steady(new SoundNode());
    ASSERT_EQ(steady->LoadSound(file.Get(), false), 0);
    steady->SetPlaying(false);
    test::Switch(*steady, {{0.0, true}, {0.5, true}}, 1.0);
    Frames(*steady, 1.2);
    SoundManager::ChannelStop(steady->GetStream());
    steady->SetPlaying(false);
    steady->RemoveAllControllers();
    Wait(0.2);

    Pointer<SoundNode> blinking(new SoundNode());
    ASSERT_EQ(blinking->LoadSound(file.Get(), false), 0);
    test::Switch(*blinking, {{0.0, true}, {0.5, false}}, 0.8);
    Frames(*blinking, 1.2);

    test::WavFile wav;
    ASSERT_TRUE(Finish(wav));
    const std::vector<Stretch> runs = Stretches(wav);
    ASSERT_EQ(runs.size(), 3u);
    for (const Stretch& run : runs) EXPECT_LT(run.end - run.begin, 0.15);
    EXPECT_NEAR(runs[2].begin - runs[1].begin, 0.8, 0.1);
}

} // namespace
} // namespace nuv
