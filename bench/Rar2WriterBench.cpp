// Speed of the RAR 2.0 writer's compressed stream on three kinds of data, with the packed
// size as a fraction of the input ("ratio") beside each figure.
#include "media/rarwriter/Rar2Encoder.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Text-like: words from a vocabulary of 64 with a skewed choice, lines of varying length.
Bytes MakeText(size_t size) {
    Bytes b;
    uint32_t x = 12345;
    std::vector<std::string> words;
    for (int i = 0; i < 64; ++i) {
        std::string w;
        for (int k = 0; k < 3 + i % 7; ++k) w += char('a' + (i * 7 + k * 13) % 26);
        words.push_back(w);
    }
    while (b.size() < size) {
        x = x * 1103515245u + 12345u;
        const uint32_t r = (x >> 16) & 0x7FFF;
        const std::string& w = words[(r * r >> 24) % 64];
        b.insert(b.end(), w.begin(), w.end());
        b.push_back((r & 15) == 0 ? '\n' : ' ');
    }
    b.resize(size);
    return b;
}

// Machine-code-like: short repeated instruction patterns with varying operands.
Bytes MakeBinary(size_t size) {
    Bytes b;
    uint32_t x = 777;
    while (b.size() < size) {
        x = x * 1664525u + 1013904223u;
        const uint8_t ops[][4] = {{0x48, 0x89, 0xC7, 0}, {0xE8, 0, 0, 0}, {0x48, 0x8B, 0x45, 0}, {0x0F, 0x1F, 0x44, 0}};
        const auto& op = ops[(x >> 28) & 3];
        b.insert(b.end(), op, op + 3);
        b.push_back(uint8_t(x >> 8));
        if ((x & 3) == 0) b.push_back(uint8_t(x >> 16));
    }
    b.resize(size);
    return b;
}

// 16-bit stereo PCM: two tones with a little noise.
Bytes MakePcm(size_t size) {
    Bytes b;
    int32_t a = 0, v = 6000, c = 0, w = -4000;
    uint32_t x = 99;
    while (b.size() < size) {
        v -= a / 60;
        a += v / 60;
        w -= c / 37;
        c += w / 37;
        for (int32_t s : {a, c}) {
            x = x * 1664525u + 1013904223u;
            s += int32_t(x >> 27) - 16;
            b.push_back(uint8_t(s));
            b.push_back(uint8_t(s >> 8));
        }
    }
    b.resize(size);
    return b;
}

void Run(benchmark::State& state, const Bytes& data, const nuv::Rar2Encoder::Settings& settings) {
    nuv::Rar2Encoder encoder(settings);
    Bytes packed;
    for (auto _ : state) {
        encoder.Reset();
        encoder.Encode(data.data(), data.size(), packed);
        benchmark::DoNotOptimize(packed.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
    state.counters["ratio"] = double(packed.size()) / double(data.size());
}

constexpr size_t kSize = 4 << 20;

void BM_EncodeText(benchmark::State& state) {
    static const Bytes data = MakeText(kSize);
    Run(state, data, {});
}
void BM_EncodeBinary(benchmark::State& state) {
    static const Bytes data = MakeBinary(kSize);
    Run(state, data, {});
}
void BM_EncodePcmLz(benchmark::State& state) {
    static const Bytes data = MakePcm(kSize);
    Run(state, data, {});
}
void BM_EncodePcmAudio(benchmark::State& state) {
    static const Bytes data = MakePcm(kSize);
    nuv::Rar2Encoder::Settings s;
    s.audio = true;
    s.channels = 4;
    Run(state, data, s);
}

BENCHMARK(BM_EncodeText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodePcmLz)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodePcmAudio)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
