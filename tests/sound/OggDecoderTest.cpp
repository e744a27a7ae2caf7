// The library's Ogg Vorbis path on synthesised files: lengths, channel folding, gapless
// looping, and damaged or foreign bytes.
#include "OggSynth.h"
#include "sound/library/OggMemoryDecoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace nuv {
namespace {

constexpr int kRate = 44100;
constexpr int kToneFrames = 13230; // 0.3 s

std::vector<int16_t> DecodeAll(OggMemoryDecoder& decoder, bool loop, size_t limit) {
    std::vector<int16_t> out;
    std::vector<int16_t> chunk(size_t(1000) * size_t(decoder.GetChannels()));
    while (out.size() < limit) {
        const int frames = decoder.Read(chunk.data(), 1000, loop);
        if (frames == 0) break;
        out.insert(out.end(), chunk.begin(), chunk.begin() + frames * decoder.GetChannels());
    }
    return out;
}

double Rms(const std::vector<int16_t>& samples, int channels, int channel) {
    double sum = 0.0;
    size_t count = 0;
    for (size_t i = size_t(channel); i < samples.size(); i += size_t(channels), ++count)
        sum += double(samples[i]) * samples[i];
    return count ? std::sqrt(sum / double(count)) / 32768.0 : 0.0;
}

TEST(OggMemoryDecoder, DecodesEveryFrameOfAMonoToneAndRewinds) {
    const std::vector<uint8_t> file = test::EncodeOgg(test::Sine(440.0, 0.3, kRate, 1, 0.5f), 1, kRate);
    ASSERT_FALSE(file.empty());
    OggMemoryDecoder decoder;
    ASSERT_EQ(decoder.Open(file.data(), file.size(), false), 0);
    EXPECT_EQ(decoder.GetChannels(), 1);
    EXPECT_EQ(decoder.GetRate(), kRate);
    const std::vector<int16_t> first = DecodeAll(decoder, false, 1 << 20);
    EXPECT_EQ(first.size(), size_t(kToneFrames));
    EXPECT_NEAR(Rms(first, 1, 0), 0.5 / std::sqrt(2.0), 0.02);
    std::vector<int16_t> none(100);
    EXPECT_EQ(decoder.Read(none.data(), 100, false), 0);
    ASSERT_EQ(decoder.Rewind(), 0);
    EXPECT_EQ(DecodeAll(decoder, false, 1 << 20), first);
}

TEST(OggMemoryDecoder, KeepsStereoAndFoldsItToMonoOrMoreChannelsToStereo) {
    // Left a tone, right silent.
    std::vector<float> samples = test::Sine(440.0, 0.3, kRate, 2, 0.5f);
    for (size_t i = 1; i < samples.size(); i += 2) samples[i] = 0.0f;
    const std::vector<uint8_t> stereo = test::EncodeOgg(samples, 2, kRate);
    OggMemoryDecoder decoder;
    ASSERT_EQ(decoder.Open(stereo.data(), stereo.size(), false), 0);
    EXPECT_EQ(decoder.GetChannels(), 2);
    const std::vector<int16_t> both = DecodeAll(decoder, false, 1 << 20);
    EXPECT_NEAR(Rms(both, 2, 0), 0.354, 0.02);
    EXPECT_LT(Rms(both, 2, 1), 0.02);

    // A 3D sound is mono: the average of the channels.
    ASSERT_EQ(decoder.Open(stereo.data(), stereo.size(), true), 0);
    EXPECT_EQ(decoder.GetChannels(), 1);
    EXPECT_NEAR(Rms(DecodeAll(decoder, false, 1 << 20), 1, 0), 0.177, 0.015);

    // Four channels, only the first (a left one) sounding.
    std::vector<float> quad = test::Sine(440.0, 0.3, kRate, 4, 0.5f);
    for (size_t i = 0; i < quad.size(); ++i)
        if (i % 4 != 0) quad[i] = 0.0f;
    const std::vector<uint8_t> four = test::EncodeOgg(quad, 4, kRate);
    ASSERT_EQ(decoder.Open(four.data(), four.size(), false), 0);
    EXPECT_EQ(decoder.GetChannels(), 2);
    const std::vector<int16_t> folded = DecodeAll(decoder, false, 1 << 20);
    EXPECT_NEAR(Rms(folded, 2, 0), 0.177, 0.015);
    EXPECT_LT(Rms(folded, 2, 1), 0.02);
}

TEST(OggMemoryDecoder, LoopingWrapsInsideOneReadWithoutAGapOrAStep) {
    const std::vector<uint8_t> file = test::EncodeOgg(test::Sine(440.0, 0.3, kRate, 1, 0.5f), 1, kRate);
    OggMemoryDecoder decoder;
    ASSERT_EQ(decoder.Open(file.data(), file.size(), false), 0);
    // Chunks of 1000 frames never line up with the 13230-frame file: wraps fall mid-chunk.
    const std::vector<int16_t> looped = DecodeAll(decoder, true, size_t(kToneFrames) * 3 + 500);
    ASSERT_GE(looped.size(), size_t(kToneFrames) * 3);
    // A 440 Hz sine of amplitude 0.5 moves by at most about 1030 per sample.
    int worst = 0;
    for (size_t i = 1; i < looped.size(); ++i) worst = std::max(worst, std::abs(looped[i] - looped[i - 1]));
    EXPECT_LT(worst, 1600);
    // The wrap lands exactly on the first frame again.
    std::vector<int16_t> start(200);
    ASSERT_EQ(decoder.Rewind(), 0);
    ASSERT_EQ(decoder.Read(start.data(), 200, false), 200);
    for (size_t i = 0; i < 200; ++i) EXPECT_EQ(looped[size_t(kToneFrames) + i], start[i]) << i;
}

// Files of several logical streams one after the other (chains) are refused before the Vorbis
// library reads them (it loses memory on damaged ones); one stream, whatever its length, opens.
TEST(OggMemoryDecoder, RefusesChainedStreams) {
    const std::vector<uint8_t> first = test::EncodeOgg(test::Sine(440.0, 0.2, kRate, 1, 0.5f), 1, kRate, 1);
    const std::vector<uint8_t> second = test::EncodeOgg(test::Sine(660.0, 0.2, kRate, 1, 0.5f), 1, kRate, 7);
    OggMemoryDecoder decoder;
    ASSERT_EQ(decoder.Open(first.data(), first.size(), false), 0);
    ASSERT_EQ(decoder.Open(second.data(), second.size(), false), 0);
    std::vector<uint8_t> chained = first;
    chained.insert(chained.end(), second.begin(), second.end());
    EXPECT_EQ(decoder.Open(chained.data(), chained.size(), false), 1);
    EXPECT_FALSE(decoder.IsOpen());
    // A chain whose second link is damaged: the case that lost memory.
    for (size_t i = first.size() + 60; i < chained.size(); i += 97) chained[i] ^= 0x33;
    EXPECT_EQ(decoder.Open(chained.data(), chained.size(), false), 1);
    // The same stream twice is one stream and still opens.
    std::vector<uint8_t> twice = first;
    twice.insert(twice.end(), first.begin(), first.end());
    EXPECT_EQ(decoder.Open(twice.data(), twice.size(), false), 0);
}

TEST(OggMemoryDecoder, RefusesEmptyForeignAndDamagedBytesAndEndsOnATruncatedFile) {
    OggMemoryDecoder decoder;
    EXPECT_EQ(decoder.Open(nullptr, 10, false), 3);
    const uint8_t one = 0;
    EXPECT_EQ(decoder.Open(&one, 0, false), 3);
    EXPECT_FALSE(decoder.IsOpen());

    const char wav[] = "RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x44\xac\0\0\x88\x58\x01\0\x02\0\x10\0data\0\0\0\0";
    EXPECT_EQ(decoder.Open(reinterpret_cast<const uint8_t*>(wav), sizeof wav - 1, false), 1);
    std::vector<uint8_t> noise(5000);
    srand(7);
    for (uint8_t& b : noise) b = uint8_t(rand());
    EXPECT_EQ(decoder.Open(noise.data(), noise.size(), false), 1);
    EXPECT_FALSE(decoder.IsOpen());
    std::vector<int16_t> out(100);
    EXPECT_EQ(decoder.Read(out.data(), 100, true), 0);

    const std::vector<uint8_t> file = test::EncodeOgg(test::Sine(441.0, 1.0, kRate, 1, 0.5f), 1, kRate);
    // The headers alone, or the headers and part of the audio: whatever opens must end.
    for (size_t keep : {size_t(40), file.size() / 8, file.size() / 2, file.size() - 7}) {
        const std::vector<uint8_t> cut(file.begin(), file.begin() + std::ptrdiff_t(keep));
        if (decoder.Open(cut.data(), cut.size(), false) != 0) continue;
        const size_t played = DecodeAll(decoder, false, 1 << 22).size();
        EXPECT_LE(played, size_t(kRate));
        // Looping a file without audio must not spin; with some, it repeats what there is.
        decoder.Rewind();
        const size_t looped = DecodeAll(decoder, true, size_t(kRate) * 4).size();
        if (played == 0) {
            EXPECT_EQ(looped, 0u);
        } else {
            EXPECT_GE(looped, played);
        }
    }
    // Damage in the middle of the audio: refused, or decoded as far as it goes.
    std::vector<uint8_t> damaged = file;
    for (size_t i = damaged.size() / 2; i < damaged.size() / 2 + 64; ++i) damaged[i] ^= 0x5a;
    if (decoder.Open(damaged.data(), damaged.size(), false) == 0) {
        EXPECT_LE(DecodeAll(decoder, false, 1 << 22).size(), size_t(kRate));
    }
}

} // namespace
} // namespace nuv
