// Loading a 14 MB scene whose bulk is vertex buffers, against a plain memcpy of the same
// bytes in the same run: the copy is the limit a loader can approach.
#include "core/Controller.h"
#include "core/Engine.h"
#include "core/SceneFile.h"
#include "core/Stream.h"
#include "core/Vector3Buffer.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace nuv {

// Holds many buffers, as a scene's geometry nodes do.
class BenchHolder : public Controller {
    NUV_DECLARE_OBJECT
public:
    int Save(Stream& stream) override {
        if (Controller::Save(stream)) return 1;
        stream.WriteInt(int32_t(buffers.size()));
        for (auto& b : buffers) stream.WriteObject(b.Get());
        return stream.GetError();
    }
    int Load(Stream& stream) override {
        if (Controller::Load(stream)) return 1;
        int32_t count = 0;
        if (stream.ReadInt(count) || count < 0 || count > stream.GetRemaining() / 4) return 1;
        buffers.resize(size_t(count));
        for (auto& b : buffers) {
            Vector3Buffer* buffer = nullptr;
            if (stream.ReadObjectAs(buffer)) return 1;
            b = buffer;
        }
        return 0;
    }
    std::vector<Pointer<Vector3Buffer>> buffers;
};

NUV_IMPLEMENT_OBJECT(BenchHolder, Controller)

namespace {

// 2000 buffers of 583 vertices (7 KB each, as in a scene of many small meshes) = 14 MB.
std::vector<uint8_t> MakeScene() {
    Pointer<BenchHolder> root(new BenchHolder);
    for (int i = 0; i < 2000; ++i) {
        Pointer<Vector3Buffer> b(new Vector3Buffer(583));
        for (int v = 0; v < 583; ++v) b->GetElements()[v] = Vector3(float(i), float(v), 0.5f);
        root->buffers.push_back(b);
    }
    Stream out(0, 1024);
    SceneFile::Write(out, root.Get());
    return std::vector<uint8_t>(out.GetData(), out.GetData() + out.GetPosition());
}

const std::vector<uint8_t>& Scene() {
    static const std::vector<uint8_t> scene = MakeScene();
    return scene;
}

void BM_LoadScene(benchmark::State& state) {
    const auto& scene = Scene();
    for (auto _ : state) {
        Stream in(0, 1024);
        in.Assign(scene.data(), int(scene.size()));  // a file is read whole into its buffer
        Pointer<Object> root;
        if (SceneFile::Read(in, root) != 0) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(root.Get());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(scene.size()));
}

// The same without bringing the bytes into the stream: objects, allocations and element copies.
void BM_ParseLoadedBytes(benchmark::State& state) {
    const auto& scene = Scene();
    Stream in(0, 1024);
    in.Assign(scene.data(), int(scene.size()));
    for (auto _ : state) {
        in.SetPosition(0);
        in.ClearIdMap();
        Pointer<Object> root;
        if (SceneFile::Read(in, root) != 0) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(root.Get());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(scene.size()));
}

void BM_Memcpy(benchmark::State& state) {
    const auto& scene = Scene();
    std::vector<uint8_t> copy(scene.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), scene.data(), scene.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(scene.size()));
}

BENCHMARK(BM_LoadScene)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseLoadedBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace nuv

int main(int argc, char** argv) {
    nuv::InitializeEngine();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
