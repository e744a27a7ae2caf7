// Decoding a 2048 x 2048 picture with our codecs, side by side with ImageMagick's convert turning
// the same file into raw pixels. convert runs as a process per iteration, so its start-up cost
// is measured on its own (a 1 x 1 picture) to be taken off when the two are compared.
#include "media/image/BmpImageCodec.h"
#include "media/image/Image.h"
#include "media/image/TgaImageCodec.h"
#ifdef NUV_HAVE_JPEG
#include "media/image/JpgImageCodec.h"
#endif

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr int kSize = 2048;

bool HaveConvert() {
    static const bool have = std::system("convert -version >/dev/null 2>&1") == 0;
    return have;
}

fs::path Folder() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("nuv_image_bench_" + std::to_string(getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

// Made after the folder's name, so that it is destroyed before it.
struct Cleanup {
    Cleanup() { Folder(); }
    ~Cleanup() {
        std::error_code ec;
        fs::remove_all(Folder(), ec);
    }
} gCleanup;

// The picture as a file of the given extension: made by convert from a seeded plasma (a
// photo-like picture), or without convert by our own encoder from a synthetic one.
const Bytes& File(const std::string& extension) {
    static std::map<std::string, Bytes> files;
    Bytes& bytes = files[extension];
    if (!bytes.empty()) return bytes;
    const fs::path path = Folder() / ("picture." + extension);
    if (HaveConvert()) {
        const fs::path png = Folder() / "picture.png";
        if (!fs::exists(png))
            std::system(("convert -seed 11 -size " + std::to_string(kSize) + "x" + std::to_string(kSize) +
                         " plasma: '" + png.string() + "'").c_str());
        const std::string prefix = extension == "bmp" ? "BMP3:" : "";
        std::system(("convert '" + png.string() + "' -alpha off " + prefix + "'" + path.string() + "'").c_str());
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (bytes.empty()) {
        nuv::Pointer<nuv::Image> image = new nuv::Image("bench", kSize, kSize, nuv::Image::kRgb);
        for (int i = 0; i < image->GetDataSize(); ++i) image->GetPixels()[i] = uint8_t((i / 3 % kSize) ^ (i / 3 / kSize));
        if (extension == "bmp") nuv::BmpImageCodec().Encode(*image, bytes);
        if (extension == "tga") nuv::TgaImageCodec().Encode(*image, bytes);
#ifdef NUV_HAVE_JPEG
        if (extension == "jpg") nuv::JpgImageCodec().Encode(*image, bytes);
#endif
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    return bytes;
}

template <class Codec>
void Ours(benchmark::State& state, const char* extension) {
    const Bytes& file = File(extension);
    Codec codec;
    for (auto _ : state) {
        nuv::Pointer<nuv::Image> image = new nuv::Image;
        if (codec.Decode(file.data(), int(file.size()), *image, extension) != 0) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(image->GetPixels());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSize * kSize * 3);
}

void OursTga(benchmark::State& state, const char* extension) {
    Ours<nuv::TgaImageCodec>(state, extension);
}
void OursBmp(benchmark::State& state, const char* extension) {
    Ours<nuv::BmpImageCodec>(state, extension);
}
#ifdef NUV_HAVE_JPEG
void OursJpg(benchmark::State& state, const char* extension) {
    Ours<nuv::JpgImageCodec>(state, extension);
}
#endif

void Convert(benchmark::State& state, const char* extension) {
    if (!HaveConvert()) {
        state.SkipWithError("convert is not installed");
        return;
    }
    File(extension);
    const std::string command =
        "convert '" + (Folder() / ("picture." + std::string(extension))).string() + "' -depth 8 rgb:/dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("convert failed");
    state.SetBytesProcessed(int64_t(state.iterations()) * kSize * kSize * 3);
}

void ConvertStartup(benchmark::State& state) {
    if (!HaveConvert()) {
        state.SkipWithError("convert is not installed");
        return;
    }
    for (auto _ : state)
        if (std::system("convert xc:black -depth 8 rgb:/dev/null") != 0) state.SkipWithError("convert failed");
}

BENCHMARK_CAPTURE(OursTga, tga, "tga")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Convert, tga, "tga")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(OursBmp, bmp, "bmp")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Convert, bmp, "bmp")->Unit(benchmark::kMillisecond)->UseRealTime();
#ifdef NUV_HAVE_JPEG
BENCHMARK_CAPTURE(OursJpg, jpg, "jpg")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Convert, jpg, "jpg")->Unit(benchmark::kMillisecond)->UseRealTime();
#endif
BENCHMARK(ConvertStartup)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
