// Speed of RAR 2.0 extraction (decoding and the CRC check) on archives our writer packed from
// the three kinds of benchmark data: LZ text, LZ machine code and audio-coded PCM.
// "--write-inputs DIR" instead writes the whole-process comparison's inputs (bench/rar_vs_lsar.sh):
// DIR/text/corpus.txt (20 MiB), DIR/binary/program.bin (16 MiB), DIR/pcm/tones.pcm (10 MiB).
#include "RarBenchData.h"
#include "media/rar/Rar2Archive.h"
#include "media/rarwriter/Rar2Writer.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kSize = 2 << 20;

Bytes Pack(const Bytes& data, bool audio) {
    nuv::Rar2Writer::Options options;
    options.audio = audio;
    options.audioChannels = 4;
    nuv::Rar2Writer writer(options);
    if (writer.AddFile("data", data.data(), data.size(), 0) != 0) std::abort();
    return writer.GetBytes();
}

void Run(benchmark::State& state, const Bytes& archive) {
    Bytes out;
    for (auto _ : state) {
        nuv::Rar2Archive reader(archive.data(), archive.size());
        if (reader.Extract(0, "", out) != nuv::Rar2Result::Ok) {
            state.SkipWithError("extraction failed");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kSize));
}

void BM_ExtractText(benchmark::State& state) {
    static const Bytes archive = Pack(nuv::RarBenchData::Text(kSize), false);
    Run(state, archive);
}
void BM_ExtractBinary(benchmark::State& state) {
    static const Bytes archive = Pack(nuv::RarBenchData::Binary(kSize), false);
    Run(state, archive);
}
void BM_ExtractPcmAudio(benchmark::State& state) {
    static const Bytes archive = Pack(nuv::RarBenchData::Pcm(kSize), true);
    Run(state, archive);
}

BENCHMARK(BM_ExtractText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtractBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtractPcmAudio)->Unit(benchmark::kMillisecond);

int WriteInputs(const char* dir) {
    namespace fs = std::filesystem;
    struct Input {
        const char* path;
        Bytes bytes;
    };
    const Input inputs[] = {{"text/corpus.txt", nuv::RarBenchData::Text(20u << 20)},
                            {"binary/program.bin", nuv::RarBenchData::Binary(16u << 20)},
                            {"pcm/tones.pcm", nuv::RarBenchData::Pcm(10u << 20)}};
    for (const Input& input : inputs) {
        const fs::path path = fs::path(dir) / input.path;
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        std::ofstream f(path, std::ios::binary);
        f.write(reinterpret_cast<const char*>(input.bytes.data()), std::streamsize(input.bytes.size()));
        if (!f.good()) {
            std::fprintf(stderr, "bench_rar_decode: cannot write '%s'\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-inputs") == 0) return WriteInputs(argv[2]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
