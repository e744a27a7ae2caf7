#pragma once

// Reads what OpenAL Soft's wave backend wrote, for measuring levels per channel.
#include <string>
#include <vector>

namespace nuv::test {

struct WavFile {
    int rate = 0;
    int channels = 0;
    // Per channel, samples as floats in -1..1.
    std::vector<std::vector<float>> samples;

    // 16-bit or float PCM (plain or extensible); false for anything else.
    bool Read(const std::string& path);
    size_t GetFrameCount() const { return samples.empty() ? 0 : samples[0].size(); }
    // Root mean square of a channel over [begin, end) seconds.
    double Rms(int channel, double begin, double end) const;
};

// 20·log10(a / b).
double Decibels(double a, double b);

} // namespace nuv::test
