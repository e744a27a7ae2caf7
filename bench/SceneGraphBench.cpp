// The per-frame scene passes over a generated tree of 10 000 nodes (1 root, 100 groups,
// 900 subgroups, 8 999 leaves of which 1 000 are triangle meshes), in nanoseconds per node,
// and bounding-sphere fitting of 100 000 points with the SIMD and the scalar routine.
#include "../tests/render/RecordingRenderer.h"

#include "core/Vector3Buffer.h"
#include "scene/Camera.h"
#include "scene/SceneNode.h"
#include "scene/SphereBoundingVolume.h"
#include "scene/SphereFit.h"
#include "scene/Triangles.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace nuv {
namespace {

constexpr int kGroups = 100;
constexpr int kSubgroups = 900;
constexpr int kLeaves = 8999;
constexpr int kNodes = 1 + kGroups + kSubgroups + kLeaves;

struct Scene {
    Pointer<SceneNode> root{new SceneNode()};
    // Meshes without an effect: the cull pass reaches them and draws nothing.
    Pointer<test::RecordingRenderer> renderer{new test::RecordingRenderer()};

    Scene() {
        std::mt19937 rng(42);
        std::uniform_real_distribution<float> spread(-400, 400), local(-20, 20), angle(-3, 3), unit(-1, 1);
        auto place = [&](Node& node, std::uniform_real_distribution<float>& d, bool turn) {
            node.GetLocalTransform().SetTranslation(Vector3(d(rng), d(rng), d(rng)));
            if (turn) node.GetLocalTransform().SetRotation(
                Quaternion::FromAxisAngle(Vector3(unit(rng), unit(rng), unit(rng)), angle(rng)));
        };
        // One cube's corners, shared by every mesh as scenes share their buffers.
        Pointer<Vector3Buffer> corners(new Vector3Buffer(8));
        for (int i = 0; i < 8; ++i) corners->GetElements()[i] = Vector3(i & 1 ? 1 : -1, i & 2 ? 1 : -1, i & 4 ? 1 : -1);

        std::vector<SceneNode*> subgroups;
        for (int g = 0; g < kGroups; ++g) {
            Pointer<SceneNode> group(new SceneNode());
            place(*group, spread, false);
            root->AttachChild(group.Get());
            for (int s = 0; s < kSubgroups / kGroups; ++s) {
                Pointer<SceneNode> sub(new SceneNode());
                place(*sub, local, true);
                group->AttachChild(sub.Get());
                subgroups.push_back(sub.Get());
            }
        }
        for (int i = 0; i < kLeaves; ++i) {
            Pointer<Node> leaf;
            if (i % 9 == 0) {
                Pointer<Triangles> mesh(new Triangles());
                mesh->SetVertices(corners.Get());
                mesh->ComputeModelBound();
                leaf = mesh;
            } else {
                leaf = new Node();
            }
            place(*leaf, local, i % 2 == 0);
            subgroups[size_t(i) % subgroups.size()]->AttachChild(leaf.Get());
        }
        // At the centre looking along +z: about half the scene is in view.
        renderer->SetCamera(Pointer<Camera>(new Camera()).Get());
        renderer->GetCamera()->UpdateTree(0, false);
        root->UpdateTree(0, true);
    }
};

void BM_UpdatePass(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) scene.root->UpdateTree(0.016, true);
    state.counters["ns/node"] =
        benchmark::Counter(double(kNodes), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_UpdatePass)->Unit(benchmark::kMicrosecond);

void BM_CullPass(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) {
        scene.renderer->GetCamera()->SetPlaneMask(Camera::kAllPlanes);
        scene.root->CullAndRender(*scene.renderer);
    }
    state.counters["ns/node"] =
        benchmark::Counter(double(kNodes), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CullPass)->Unit(benchmark::kMicrosecond);

std::vector<Vector3> Cloud() {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> d(-1000, 1000);
    std::vector<Vector3> points(100000);
    for (Vector3& p : points) p = {d(rng), d(rng), d(rng)};
    return points;
}

void BM_FitScalar(benchmark::State& state) {
    const std::vector<Vector3> points = Cloud();
    Vector3 center;
    float radius = 0;
    for (auto _ : state) {
        FitSphereScalar(points.data(), int(points.size()), center, radius);
        benchmark::DoNotOptimize(radius);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(points.size()));
}
BENCHMARK(BM_FitScalar)->Unit(benchmark::kMicrosecond);

void BM_FitSimd(benchmark::State& state) {
    const std::vector<Vector3> points = Cloud();
    Vector3 center;
    float radius = 0;
    if (!HasSimdSphereFit()) state.SkipWithError("no SIMD routine here");
    for (auto _ : state) {
        FitSphereSimd(points.data(), int(points.size()), center, radius);
        benchmark::DoNotOptimize(radius);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(points.size()));
}
BENCHMARK(BM_FitSimd)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace nuv

BENCHMARK_MAIN();
