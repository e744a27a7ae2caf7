// The sound library through the manager's table, on OpenAL Soft's null output (paced like a
// device, silent): streams, their state, their handles and hostile bytes.
#include "OggSynth.h"
#include "sound/SoundManager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace nuv {
namespace {

const std::vector<uint8_t>& Tone() {
    static const std::vector<uint8_t> file = test::EncodeOgg(test::Sine(440.0, 0.3, 44100, 1, 0.5f), 1, 44100);
    return file;
}

BassHandle Create(const std::vector<uint8_t>& file, BassDword flags) {
    return SoundManager::StreamCreateFile(1, file.data(), 0, BassDword(file.size()), flags);
}

void Wait(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

class SoundLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        if (getenv("NUV_EXPECT_NO_SOUND_DEVICE")) GTEST_SKIP() << "runs with an output device only";
        ASSERT_TRUE(SoundManager::IsLoaded());
    }
};

TEST_F(SoundLibrary, StreamsPlayStopEndAndLoop) {
    const BassHandle once = Create(Tone(), 0);
    const BassHandle looped = Create(Tone(), kBassSampleLoop);
    ASSERT_NE(once, 0u);
    ASSERT_NE(looped, 0u);
    EXPECT_NE(once, looped);
    EXPECT_EQ(SoundManager::ChannelIsActive(once), kBassActiveStopped);

    EXPECT_TRUE(SoundManager::ChannelPlay(once, 0));
    EXPECT_TRUE(SoundManager::ChannelPlay(looped, 0));
    EXPECT_EQ(SoundManager::ChannelIsActive(once), kBassActivePlaying);
    Wait(0.7);
    // The 0.3 s sound has ended; the looping one goes on.
    EXPECT_EQ(SoundManager::ChannelIsActive(once), kBassActiveStopped);
    EXPECT_EQ(SoundManager::ChannelIsActive(looped), kBassActivePlaying);
    // Without restart an ended stream stays ended; with restart it plays again.
    EXPECT_TRUE(SoundManager::ChannelPlay(once, 0));
    EXPECT_EQ(SoundManager::ChannelIsActive(once), kBassActiveStopped);
    EXPECT_TRUE(SoundManager::ChannelPlay(once, 1));
    EXPECT_EQ(SoundManager::ChannelIsActive(once), kBassActivePlaying);

    // Clearing the loop flag lets the looping stream run out.
    EXPECT_TRUE(SoundManager::ChannelSetFlags(looped, 0));
    Wait(0.9);
    EXPECT_EQ(SoundManager::ChannelIsActive(looped), kBassActiveStopped);
    EXPECT_EQ(SoundManager::ChannelIsActive(once), kBassActiveStopped);

    EXPECT_TRUE(SoundManager::ChannelSetFlags(looped, kBassSampleLoop));
    EXPECT_TRUE(SoundManager::ChannelPlay(looped, 1));
    EXPECT_TRUE(SoundManager::ChannelStop(looped));
    EXPECT_EQ(SoundManager::ChannelIsActive(looped), kBassActiveStopped);
    SoundManager::StreamFree(once);
    SoundManager::StreamFree(looped);
}

TEST_F(SoundLibrary, FreedAndUnknownHandlesFailWithTheHandleError) {
    const BassHandle stream = Create(Tone(), kBassSample3D);
    ASSERT_NE(stream, 0u);
    SoundManager::StreamFree(stream);
    EXPECT_EQ(SoundManager::ErrorGetCode(), kBassOk);
    for (BassHandle handle : {stream, BassHandle(0), BassHandle(12345)}) {
        EXPECT_FALSE(SoundManager::ChannelPlay(handle, 1));
        EXPECT_EQ(SoundManager::ErrorGetCode(), kBassErrorHandle);
        EXPECT_FALSE(SoundManager::ChannelStop(handle));
        EXPECT_EQ(SoundManager::ChannelIsActive(handle), kBassActiveStopped);
        EXPECT_FALSE(SoundManager::ChannelSetAttributes(handle, -1, 50, -101));
        SoundManager::StreamFree(handle);
        EXPECT_EQ(SoundManager::ErrorGetCode(), kBassErrorHandle);
    }
    // A new stream never takes the handle of a freed one.
    const BassHandle next = Create(Tone(), 0);
    EXPECT_NE(next, 0u);
    EXPECT_NE(next, stream);
    SoundManager::StreamFree(next);
}

TEST_F(SoundLibrary, AttributesAreCheckedAnd3DCallsNeedA3DStream) {
    const BassHandle plain = Create(Tone(), 0);
    const BassHandle spatial = Create(Tone(), kBassSample3D);
    ASSERT_NE(plain, 0u);
    ASSERT_NE(spatial, 0u);
    EXPECT_TRUE(SoundManager::ChannelSetAttributes(plain, -1, 100, -101));
    EXPECT_TRUE(SoundManager::ChannelSetAttributes(plain, 22050, 0, -100));
    EXPECT_FALSE(SoundManager::ChannelSetAttributes(plain, -1, 101, -101));
    EXPECT_EQ(SoundManager::ErrorGetCode(), kBassErrorIllegalParameter);
    EXPECT_FALSE(SoundManager::ChannelSetAttributes(plain, -1, 50, 300));

    const Bass3DVector position = {1.0f, 2.0f, 3.0f};
    EXPECT_FALSE(SoundManager::ChannelSet3DPosition(plain, &position, nullptr, nullptr));
    EXPECT_EQ(SoundManager::ErrorGetCode(), kBassErrorNo3D);
    EXPECT_FALSE(SoundManager::ChannelSet3DAttributes(plain, kBass3DModeNormal, 5.0f, -1.0f, -1, -1, -1));
    EXPECT_TRUE(SoundManager::ChannelSet3DPosition(spatial, &position, nullptr, nullptr));
    // The largest float, a sound node's default minimum distance, is accepted.
    EXPECT_TRUE(SoundManager::ChannelSet3DAttributes(spatial, kBass3DModeNormal, 3.402823466e+38f, -1.0f, -1, -1, -1));
    SoundManager::Apply3D();
    EXPECT_EQ(SoundManager::ErrorGetCode(), kBassOk);
    SoundManager::StreamFree(plain);
    SoundManager::StreamFree(spatial);
}

// Sound files are outside bytes: whatever they hold, stream creation fails cleanly or works.
TEST_F(SoundLibrary, EmptyTruncatedAndForeignFilesGiveNoStream) {
    EXPECT_EQ(SoundManager::StreamCreateFile(1, nullptr, 0, 100, 0), 0u);
    EXPECT_EQ(SoundManager::ErrorGetCode(), kBassErrorIllegalParameter);
    EXPECT_EQ(SoundManager::StreamCreateFile(1, Tone().data(), 0, 0, 0), 0u);
    std::vector<uint8_t> text(400, 'x');
    EXPECT_EQ(Create(text, 0), 0u);
    EXPECT_EQ(SoundManager::ErrorGetCode(), kBassErrorFileForm);
    const std::vector<uint8_t> headerOnly(Tone().begin(), Tone().begin() + 30);
    EXPECT_EQ(Create(headerOnly, kBassSample3D), 0u);
    // Only memory streams: a file name is not read.
    EXPECT_EQ(SoundManager::StreamCreateFile(0, "/etc/passwd", 0, 0, 0), 0u);
    // The offset selects where the file starts in the block.
    std::vector<uint8_t> padded(16, 0);
    padded.insert(padded.end(), Tone().begin(), Tone().end());
    const BassHandle offset = SoundManager::StreamCreateFile(1, padded.data(), 16, BassDword(Tone().size()), 0);
    EXPECT_NE(offset, 0u);
    SoundManager::StreamFree(offset);
}

} // namespace
} // namespace nuv
