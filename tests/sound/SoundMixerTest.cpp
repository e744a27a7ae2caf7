// The software mix of the Windows sound library, rendered straight into memory: levels, panning,
// distance, looping, the end of a stream, resuming and the master volume.
#include "OggSynth.h"
#include "sound/library/SoundMixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace nuv {
namespace {

constexpr int kRate = 44100;

const std::vector<uint8_t>& Tone() {
    // 0.3 s of 441 Hz at half scale: a whole number of periods, so a loop joins without a step.
    static const std::vector<uint8_t> file = test::EncodeOgg(test::Sine(441.0, 0.3, kRate, 1, 0.5f), 1, kRate);
    return file;
}

struct Channels {
    double left = 0.0, right = 0.0;
};

// Renders frames and measures each channel's RMS over them.
Channels RenderRms(SoundMixer& mixer, int frames) {
    std::vector<int16_t> out(size_t(frames) * 2);
    mixer.Render(out.data(), frames);
    double l = 0.0, r = 0.0;
    for (int i = 0; i < frames; ++i) {
        l += double(out[2 * size_t(i)]) * out[2 * size_t(i)];
        r += double(out[2 * size_t(i) + 1]) * out[2 * size_t(i) + 1];
    }
    return {std::sqrt(l / frames) / 32767.0, std::sqrt(r / frames) / 32767.0};
}

// The number of frames until the mix falls silent for good (within limit).
int SoundingFrames(SoundMixer& mixer, int limit) {
    std::vector<int16_t> out(2);
    int last = 0;
    for (int i = 0; i < limit; ++i) {
        mixer.Render(out.data(), 1);
        if (out[0] != 0 || out[1] != 0) last = i + 1;
    }
    return last;
}

class Mixer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Tone().empty());
        ASSERT_EQ(mixer_.Open(kRate, true), kBassOk);
    }
    BassHandle Stream(BassDword flags) {
        BassHandle handle = 0;
        EXPECT_EQ(mixer_.StreamCreate(Tone().data(), BassDword(Tone().size()), flags, &handle), kBassOk);
        return handle;
    }
    SoundMixer mixer_;
};

TEST_F(Mixer, APlainStreamPlaysAtItsLevelOnBothChannelsAndPansByBalance) {
    const BassHandle stream = Stream(kBassSampleLoop);
    ASSERT_EQ(mixer_.ChannelPlay(stream, false), kBassOk);
    Channels level = RenderRms(mixer_, kRate / 2);
    // A sine of amplitude 0.5 has an RMS of 0.354 (Vorbis is near enough at this quality).
    EXPECT_NEAR(level.left, 0.354, 0.02);
    EXPECT_NEAR(level.right, level.left, 0.002);

    struct Case {
        int volume, pan;
        double left, right; // expected gains
    };
    const Case cases[] = {{100, -100, 1.0, 0.0}, {100, 50, 0.5, 1.0}, {50, 0, 0.5, 0.5}, {0, 0, 0.0, 0.0}};
    for (const Case& c : cases) {
        ASSERT_EQ(mixer_.ChannelSetAttributes(stream, -1, c.volume, c.pan), kBassOk);
        level = RenderRms(mixer_, kRate / 4);
        EXPECT_NEAR(level.left, 0.354 * c.left, 0.02) << c.volume << " " << c.pan;
        EXPECT_NEAR(level.right, 0.354 * c.right, 0.02) << c.volume << " " << c.pan;
    }
    EXPECT_EQ(mixer_.ChannelSetAttributes(stream, -1, 101, 0), kBassErrorIllegalParameter);
    EXPECT_EQ(mixer_.ChannelSetAttributes(stream, -1, 50, 101), kBassErrorIllegalParameter);
}

TEST_F(Mixer, A3DSourceIsPlacedAcrossTheListenerAndAttenuatedByInverseDistance) {
    const MixListener ahead;
    MixListener turned;
    turned.front = {0.0f, 0.0f, -1.0f};
    struct Case {
        Bass3DVector position;
        int mode;
        float minDistance, rollOff;
        const MixListener* listener;
        double left, right;
    };
    const double h = std::sqrt(0.5);
    const Case cases[] = {
        {{2.0f, 0.0f, 0.0f}, kBass3DModeNormal, 2.0f, 1.0f, &ahead, 0.0, 1.0},       // right, at min distance
        {{-2.0f, 0.0f, 0.0f}, kBass3DModeNormal, 2.0f, 1.0f, &ahead, 1.0, 0.0},      // left
        {{2.0f, 0.0f, 0.0f}, kBass3DModeNormal, 2.0f, 1.0f, &turned, 1.0, 0.0},      // listener turned round
        {{0.0f, 0.0f, 1.0f}, kBass3DModeNormal, 1.0f, 1.0f, &ahead, h, h},           // straight ahead
        {{0.0f, 0.0f, 4.0f}, kBass3DModeNormal, 1.0f, 1.0f, &ahead, h / 4, h / 4},   // 1 / (1 + 3)
        {{0.0f, 0.0f, 4.0f}, kBass3DModeNormal, 1.0f, 7.0f, &ahead, h / 22, h / 22}, // 1 / (1 + 7 * 3)
        {{0.0f, 0.0f, 0.5f}, kBass3DModeNormal, 1.0f, 7.0f, &ahead, h, h},           // inside the minimum
        {{2.0f, 0.0f, 0.0f}, kBass3DModeRelative, 2.0f, 1.0f, &turned, 0.0, 1.0},    // relative: no turning
        {{9.0f, 0.0f, 0.0f}, kBass3DModeOff, 1.0f, 1.0f, &ahead, 1.0, 1.0},          // off: plain
    };
    for (const Case& c : cases) {
        MixListener listener = *c.listener;
        listener.rollOff = c.rollOff;
        float left = -1.0f, right = -1.0f;
        MixerStream::Gains3D(c.position, c.mode, c.minDistance, 1.0e9f, listener, &left, &right);
        EXPECT_NEAR(left, c.left, 1e-4) << c.position.x << " " << c.position.z << " mode " << c.mode;
        EXPECT_NEAR(right, c.right, 1e-4) << c.position.x << " " << c.position.z << " mode " << c.mode;
    }

    // The same through the mix: a source on the right is heard right once Apply3D has run.
    const BassHandle source = Stream(kBassSample3D | kBassSampleLoop);
    const Bass3DVector right = {3.0f, 0.0f, 0.0f};
    ASSERT_EQ(mixer_.ChannelSet3DPosition(source, &right, nullptr), kBassOk);
    ASSERT_EQ(mixer_.ChannelSet3DAttributes(source, kBass3DModeNormal, 3.0f, -1.0f), kBassOk);
    ASSERT_EQ(mixer_.ChannelPlay(source, false), kBassOk);
    Channels level = RenderRms(mixer_, kRate / 4);
    EXPECT_NEAR(level.left, level.right, 0.01); // not applied yet: at the origin
    ASSERT_EQ(mixer_.Apply3D(), kBassOk);
    level = RenderRms(mixer_, kRate / 4);
    EXPECT_LT(level.left, 0.001);
    EXPECT_NEAR(level.right, 0.354, 0.02);
}

TEST_F(Mixer, AStreamEndsAfterItsLengthLoopsWithoutEndAndResumesWhereItStopped) {
    const int length = int(0.3 * kRate);
    const BassHandle once = Stream(0);
    ASSERT_EQ(mixer_.ChannelPlay(once, false), kBassOk);
    EXPECT_NEAR(SoundingFrames(mixer_, 2 * length), length, 50);
    BassDword active = 9;
    ASSERT_EQ(mixer_.ChannelIsActive(once, &active), kBassOk);
    EXPECT_EQ(active, kBassActiveStopped);
    // An ended stream stays ended until restarted.
    ASSERT_EQ(mixer_.ChannelPlay(once, false), kBassOk);
    EXPECT_EQ(SoundingFrames(mixer_, 100), 0);

    // Stopped half way and played again without restart: the rest, not the whole.
    ASSERT_EQ(mixer_.ChannelPlay(once, true), kBassOk);
    RenderRms(mixer_, length / 2);
    ASSERT_EQ(mixer_.ChannelStop(once), kBassOk);
    EXPECT_EQ(SoundingFrames(mixer_, 100), 0);
    ASSERT_EQ(mixer_.ChannelPlay(once, false), kBassOk);
    EXPECT_NEAR(SoundingFrames(mixer_, 2 * length), length - length / 2, 50);

    // Twice the frequency plays the file in half the time.
    ASSERT_EQ(mixer_.ChannelSetAttributes(once, 2 * kRate, -1, -101), kBassOk);
    ASSERT_EQ(mixer_.ChannelPlay(once, true), kBassOk);
    EXPECT_NEAR(SoundingFrames(mixer_, 2 * length), length / 2, 50);

    ASSERT_EQ(mixer_.StreamFree(once), kBassOk);
    const BassHandle loop = Stream(kBassSampleLoop);
    ASSERT_EQ(mixer_.ChannelPlay(loop, false), kBassOk);
    // Four times round: no frame of silence where the loop joins.
    std::vector<int16_t> out(size_t(4 * length) * 2);
    mixer_.Render(out.data(), 4 * length);
    int quietRun = 0, longestQuiet = 0;
    for (size_t i = 0; i < out.size(); i += 2) {
        quietRun = std::abs(out[i]) < 200 ? quietRun + 1 : 0;
        longestQuiet = std::max(longestQuiet, quietRun);
    }
    EXPECT_LT(longestQuiet, 5);
    ASSERT_EQ(mixer_.ChannelIsActive(loop, &active), kBassOk);
    EXPECT_EQ(active, kBassActivePlaying);
}

TEST_F(Mixer, MasterVolumeScalesEveryStreamAndZeroKeepsThemPlaying) {
    const BassHandle stream = Stream(kBassSampleLoop);
    ASSERT_EQ(mixer_.ChannelPlay(stream, false), kBassOk);
    BassDword result = 0;
    struct Case {
        BassDword volume;
        double gain;
    };
    for (const Case& c : {Case{100, 1.0}, Case{25, 0.25}, Case{0, 0.0}, Case{250, 1.0}}) {
        ASSERT_EQ(mixer_.SetConfig(kBassConfigGlobalStreamVolume, c.volume, &result), kBassOk);
        EXPECT_EQ(result, std::min<BassDword>(c.volume, 100));
        const Channels level = RenderRms(mixer_, kRate / 4);
        EXPECT_NEAR(level.left, 0.354 * c.gain, 0.02) << c.volume;
    }
    BassDword active = 0;
    ASSERT_EQ(mixer_.ChannelIsActive(stream, &active), kBassOk);
    EXPECT_EQ(active, kBassActivePlaying);
}

TEST(MixerErrors, CallsBeforeOpenOrOnUnknownHandlesAndBadFilesFailWithTheirCodes) {
    SoundMixer mixer;
    BassHandle handle = 0;
    EXPECT_EQ(mixer.StreamCreate(Tone().data(), BassDword(Tone().size()), 0, &handle), kBassErrorInit);
    std::vector<int16_t> out(64, 7);
    mixer.Render(out.data(), 32);
    for (int16_t v : out) EXPECT_EQ(v, 0);

    ASSERT_EQ(mixer.Open(kRate, false), kBassOk);
    EXPECT_EQ(mixer.Open(kRate, false), kBassErrorAlready);
    EXPECT_EQ(mixer.StreamCreate(Tone().data(), BassDword(Tone().size()), kBassSample3D, &handle), kBassErrorNo3D);
    const uint8_t junk[64] = {'O', 'g', 'g', 'S'};
    EXPECT_EQ(mixer.StreamCreate(junk, sizeof junk, 0, &handle), kBassErrorFileForm);
    EXPECT_EQ(mixer.ChannelPlay(0x12345, false), kBassErrorHandle);
    EXPECT_EQ(mixer.StreamFree(0x12345), kBassErrorHandle);
    EXPECT_EQ(mixer.Set3DFactors(1.0f, 1.0f, 1.0f), kBassErrorNo3D);
    EXPECT_EQ(mixer.Close(), kBassOk);
    EXPECT_EQ(mixer.Close(), kBassErrorInit);
}

} // namespace
} // namespace nuv
