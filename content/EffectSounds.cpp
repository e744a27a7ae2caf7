#include "content/EffectSounds.h"

#include <algorithm>
#include <cmath>

namespace nuv {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// xorshift32 noise in -1..1.
class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed ? seed : 1u) {}
    double Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return double(state_ & 0xFFFFFFu) / double(0x7FFFFF) - 1.0;
    }
    double Uniform() { return 0.5 * (Next() + 1.0); }

private:
    uint32_t state_;
};

// One-pole low pass: coefficient from a cut-off frequency.
double LowPassCoefficient(double frequency) { return 1.0 - std::exp(-kTwoPi * frequency / EffectSounds::kSampleRate); }

std::vector<float> Finish(const std::vector<double>& mix, double peak) {
    double largest = 1e-9;
    for (double v : mix) largest = std::max(largest, std::fabs(v));
    std::vector<float> out(mix.size());
    for (size_t i = 0; i < mix.size(); ++i) out[i] = float(mix[i] / largest * peak);
    return out;
}

} // namespace

std::vector<float> EffectSounds::Fire(double seconds) const {
    const size_t count = size_t(seconds * kSampleRate);
    std::vector<double> mix(count, 0.0);
    Noise noise(seed_ ^ 0xF17Eu);
    // The roar: noise through two low passes, breathing slowly.
    double a = 0.0, b = 0.0;
    const double k = LowPassCoefficient(180.0);
    for (size_t i = 0; i < count; ++i) {
        a += k * (noise.Next() - a);
        b += k * (a - b);
        const double breath = 0.75 + 0.25 * std::sin(kTwoPi * 3.0 * double(i) / double(count));
        mix[i] = 2.5 * b * breath;
    }
    // Crackles: short bright bursts at random moments, their tails wrapping into the start.
    const int pops = int(seconds * 9.0);
    for (int p = 0; p < pops; ++p) {
        const size_t start = size_t(noise.Uniform() * double(count));
        const double size = 0.2 + 0.8 * std::pow(noise.Uniform(), 2.0);
        const double decay = 0.002 + 0.01 * noise.Uniform();
        const size_t length = size_t(decay * 6.0 * kSampleRate);
        double previous = 0.0;
        for (size_t i = 0; i < length; ++i) {
            const double t = double(i) / kSampleRate;
            const double white = noise.Next();
            const double bright = white - previous;  // a first difference: high frequencies
            previous = white;
            mix[(start + i) % count] += size * std::exp(-t / decay) * bright;
        }
    }
    return Finish(mix, 0.8);
}

std::vector<float> EffectSounds::Skates(double strideSeconds) const {
    const double seconds = 2.0 * strideSeconds;
    const size_t count = size_t(seconds * kSampleRate);
    std::vector<double> mix(count, 0.0);
    Noise noise(seed_ ^ 0x5CA7u);
    double low = 0.0, band = 0.0;
    const double kLow = LowPassCoefficient(900.0), kHigh = LowPassCoefficient(5000.0);
    const double push = strideSeconds * 0.5;
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / kSampleRate;
        const double white = noise.Next();
        band += kHigh * (white - band);
        low += kLow * (band - low);
        const double scrape = band - low;  // 0.9 to 5 kHz: the blade on the ice
        const double phase = std::fmod(t, push);
        const double envelope = std::min(1.0, phase / 0.04) * std::exp(-phase / 0.22);
        const double side = int(t / push) % 2 == 0 ? 1.0 : 0.8;
        mix[i] = scrape * (0.15 + side * envelope);
    }
    return Finish(mix, 0.7);
}

std::vector<float> EffectSounds::Gust(double seconds, int variant) const {
    const size_t count = size_t(seconds * kSampleRate);
    std::vector<double> mix(count, 0.0);
    Noise noise(seed_ ^ (0x6057u + uint32_t(variant) * 7919u));
    double s1 = 0.0, s2 = 0.0;
    const double rise = variant == 0 ? 0.3 : 0.45;
    for (size_t i = 0; i < count; ++i) {
        const double u = double(i) / double(count);
        // Up to the top of the gust, then dying away; silent at both ends.
        const double shape = u < rise ? std::sin(0.5 * kTwoPi * 0.5 * u / rise) : std::pow(1.0 - (u - rise) / (1.0 - rise), 1.6);
        const double howl = 250.0 + 700.0 * shape + 120.0 * std::sin(kTwoPi * 0.7 * u * seconds);
        const double k = LowPassCoefficient(howl);
        s1 += k * (noise.Next() - s1);
        s2 += k * (s1 - s2);
        double v = 3.0 * s2 * shape;
        if (variant != 0) v += 0.04 * shape * shape * std::sin(kTwoPi * (520.0 + 90.0 * shape) * double(i) / kSampleRate);
        mix[i] = v;
    }
    return Finish(mix, 0.75);
}

std::vector<float> EffectSounds::Bells(double seconds) const {
    const size_t count = size_t(seconds * kSampleRate);
    std::vector<double> mix(count, 0.0);
    // Four small bells, rung high to low, round after round.
    static const double kPitches[] = {1318.5, 1108.7, 987.8, 659.3};
    static const double kPartials[][2] = {{0.5, 0.3}, {1.0, 1.0}, {1.19, 0.5}, {1.56, 0.35}, {2.0, 0.3}, {2.51, 0.15}, {3.0, 0.1}};
    const double gap = 0.45;
    const int strokes = int(seconds / gap);
    for (int s = 0; s < strokes; ++s) {
        const double pitch = kPitches[s % 4];
        const size_t start = size_t(double(s) * gap * kSampleRate);
        const size_t length = size_t(2.5 * kSampleRate);
        for (size_t i = 0; i < length; ++i) {
            const double t = double(i) / kSampleRate;
            double v = 0.0;
            for (const auto& partial : kPartials)
                v += partial[1] * std::exp(-t * (1.5 + 2.0 * partial[0])) * std::sin(kTwoPi * pitch * partial[0] * t);
            mix[(start + i) % count] += v * std::min(1.0, t * 800.0);
        }
    }
    return Finish(mix, 0.7);
}

} // namespace nuv
