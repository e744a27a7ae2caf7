// Speed of the RAR 2.0 writer's compressed stream on three kinds of data, with the packed
// size as a fraction of the input ("ratio") beside each figure.
#include "RarBenchData.h"
#include "media/rarwriter/Rar2Encoder.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

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
    static const Bytes data = nuv::RarBenchData::Text(kSize);
    Run(state, data, {});
}
void BM_EncodeBinary(benchmark::State& state) {
    static const Bytes data = nuv::RarBenchData::Binary(kSize);
    Run(state, data, {});
}
void BM_EncodePcmLz(benchmark::State& state) {
    static const Bytes data = nuv::RarBenchData::Pcm(kSize);
    Run(state, data, {});
}
void BM_EncodePcmAudio(benchmark::State& state) {
    static const Bytes data = nuv::RarBenchData::Pcm(kSize);
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
