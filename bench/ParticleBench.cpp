// A 5 000-particle snow system: the 30-second pre-run the host does while caching (3 000 steps
// of 0.01 s), and one frame's update and submission, split into where the time goes: the
// simulation alone, the sprite buffer fill (points or quads), the bound fit and the draw.
#include "../tests/render/RecordingRenderer.h"

#include "core/Engine.h"
#include "media/ModuleManager.h"
#include "media/StaticModule.h"
#include "scene/Camera.h"
#include "scene/SphereVolumeEmitter.h"
#include "scene/SpriteParticleSystem.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace nuv {
namespace {

bool gPointSprites = true;

int CreateRenderer(Renderer** out) {
    auto* renderer = new test::RecordingRenderer;
    RendererCaps caps;
    caps.textureUnits = 4;
    caps.pointSprites = gPointSprites ? 1 : 0;
    renderer->SetDeviceCaps(caps);
    *out = renderer;
    return 0;
}
int Zero() {
    return 0;
}

// The bench renderer's module, made once; the renderer is re-created for each form.
void UseRenderer(bool pointSprites) {
    static bool registered = false;
    if (!registered) {
        Pointer<StaticModule> module(new StaticModule("BenchRenderer"));
        module->AddFunction("Initialize", &Zero);
        module->AddFunction("Shutdown", &Zero);
        module->AddFunction("CreateRenderer", &CreateRenderer);
        ModuleManager::RegisterModule(module.Get());
        registered = true;
    }
    gPointSprites = pointSprites;
    ModuleManager::DestroyRenderer();
    ModuleManager::CreateRenderer("BenchRenderer");
    static Pointer<Camera> camera(new Camera);
    ModuleManager::GetRenderer()->SetCamera(camera.Get());
}

// Snow over a 50-unit disc, falling for 10 ± 2 s: 600 flakes a second fill the pool of 5 000.
template <class T>
Pointer<T> MakeSnow() {
    Pointer<T> snow(new T);
    Pointer<SphereVolumeEmitter> emitter(new SphereVolumeEmitter);
    emitter->radius = 50.0f;
    emitter->maxAngle = 0.3f;
    snow->SetEmitter(emitter.Get());
    snow->SetMaxParticles(5000);
    snow->emissionPeriod = 0.1f;
    snow->emissionPeriodVariance = 0.02f;
    snow->burstSize = 60;
    snow->burstSizeVariance = 10;
    snow->speed = -1.5f;
    snow->speedVariance = 0.5f;
    snow->accelerationVariance = Vector3(0.3f, 0.0f, 0.3f);
    snow->lifetime = 10.0f;
    snow->lifetimeVariance = 2.0f;
    snow->startSize = 0.3f;
    snow->startSizeVariance = 0.1f;
    snow->endSize = 0.2f;
    snow->GetLocalTransform().SetTranslation(Vector3(0.0f, 30.0f, 60.0f));
    return snow;
}

template <class T>
void PreRun(T& snow) {
    snow.Reset();
    for (double t = 0.0; t < 30.0; t += 0.01) snow.UpdateTree(0.01, true);
}

void BM_PreRun30Seconds(benchmark::State& state) {
    UseRenderer(state.range(0) != 0);
    for (auto _ : state) {
        std::srand(1);
        Pointer<SpriteParticleSystem> snow = MakeSnow<SpriteParticleSystem>();
        PreRun(*snow);
        benchmark::DoNotOptimize(snow->GetLiveCount());
    }
    state.SetLabel(state.range(0) ? "point sprites" : "quads");
}
BENCHMARK(BM_PreRun30Seconds)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The same pre-run without any sprite buffers: the simulation's share.
void BM_PreRun30SecondsSimulationOnly(benchmark::State& state) {
    for (auto _ : state) {
        std::srand(1);
        Pointer<ParticleSystem> snow = MakeSnow<ParticleSystem>();
        PreRun(*snow);
        benchmark::DoNotOptimize(snow->GetLiveCount());
    }
}
BENCHMARK(BM_PreRun30SecondsSimulationOnly)->Unit(benchmark::kMillisecond);

// One frame once the pool is full: update (simulation + buffer fill), bound, submission.
void BM_Frame(benchmark::State& state) {
    UseRenderer(state.range(0) != 0);
    std::srand(1);
    Pointer<SpriteParticleSystem> snow = MakeSnow<SpriteParticleSystem>();
    PreRun(*snow);
    Renderer& renderer = *ModuleManager::GetRenderer();
    auto& recording = static_cast<test::RecordingRenderer&>(renderer);
    for (auto _ : state) {
        snow->UpdateTree(0.016, true);
        snow->CullAndRender(renderer);
        recording.calls.clear();
    }
    state.counters["live"] = snow->GetLiveCount();
    state.SetLabel(state.range(0) ? "point sprites" : "quads");
}
BENCHMARK(BM_Frame)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_FrameSimulationOnly(benchmark::State& state) {
    std::srand(1);
    Pointer<ParticleSystem> snow = MakeSnow<ParticleSystem>();
    PreRun(*snow);
    for (auto _ : state) snow->UpdateWorld(0.016);
    state.counters["live"] = snow->GetLiveCount();
}
BENCHMARK(BM_FrameSimulationOnly)->Unit(benchmark::kMicrosecond);

void BM_FrameBoundOnly(benchmark::State& state) {
    UseRenderer(state.range(0) != 0);
    std::srand(1);
    Pointer<SpriteParticleSystem> snow = MakeSnow<SpriteParticleSystem>();
    PreRun(*snow);
    for (auto _ : state) snow->UpdateBound();
    state.SetLabel(state.range(0) ? "point sprites" : "quads");
}
BENCHMARK(BM_FrameBoundOnly)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace nuv

// The engine is started as the host starts it: the module manager must be up.
int main(int argc, char** argv) {
    if (nuv::InitializeEngine() != 0) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    nuv::ModuleManager::DestroyRenderer();
    return nuv::ShutdownEngine();
}
