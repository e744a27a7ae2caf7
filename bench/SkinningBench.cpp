// Skinning a 20 000-vertex mesh by 40 bones, four influences per vertex: the SIMD and the scalar
// routine over the same data in one run (vertices per second as the items rate), and the whole
// controller step of a frame (bone matrices, vertices, bound).
#include "animation/SkinController.h"
#include "animation/Skinning.h"
#include "scene/Triangles.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace nuv {
namespace {

constexpr int kVertices = 20000;
constexpr int kBones = 40;

struct SkinData {
    std::vector<Vector3> bind = std::vector<Vector3>(kVertices);
    std::vector<Vector4> weights = std::vector<Vector4>(kVertices);
    std::vector<Vector4> indices = std::vector<Vector4>(kVertices);
    std::vector<Matrix4> matrices = std::vector<Matrix4>(kBones);
    std::vector<Vector3> out = std::vector<Vector3>(kVertices);

    SkinData() {
        std::mt19937 random(3);
        std::uniform_real_distribution<float> coordinate(-1.0f, 1.0f);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        for (int b = 0; b < kBones; ++b) {
            Transform t(Vector3(coordinate(random), coordinate(random), coordinate(random)),
                        Quaternion(coordinate(random), coordinate(random), coordinate(random), 1.0f).Normalized(),
                        Vector3(1, 1, 1));
            matrices[b] = t.ToMatrix();
        }
        for (int v = 0; v < kVertices; ++v) {
            bind[v] = Vector3(coordinate(random), coordinate(random), coordinate(random));
            // Four influences whose weights sum to one, as exported characters have them.
            float w[4], sum = 0.0f;
            for (float& x : w) sum += x = unit(random) + 0.05f;
            for (int j = 0; j < 4; ++j) {
                weights[v][j] = w[j] / sum;
                indices[v][j] = float(int(unit(random) * kBones) % kBones);
            }
        }
    }
    SkinningJob Job() {
        return {bind.data(), weights.data(), indices.data(), kVertices, matrices.data(), kBones, out.data()};
    }
};

SkinData& Data() {
    static SkinData data;
    return data;
}

void BM_SkinSimd(benchmark::State& state) {
    if (!HasSimdSkinning()) {
        state.SkipWithError("no SIMD routine on this processor");
        return;
    }
    const SkinningJob job = Data().Job();
    for (auto _ : state) {
        SkinVerticesSimd(job);
        benchmark::DoNotOptimize(Data().out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kVertices);
}
BENCHMARK(BM_SkinSimd)->Unit(benchmark::kMicrosecond);

void BM_SkinScalar(benchmark::State& state) {
    const SkinningJob job = Data().Job();
    for (auto _ : state) {
        SkinVerticesScalar(job);
        benchmark::DoNotOptimize(Data().out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kVertices);
}
BENCHMARK(BM_SkinScalar)->Unit(benchmark::kMicrosecond);

// The controller's frame: 40 bone matrices from their nodes, the vertices, the bone bound.
void BM_SkinControllerFrame(benchmark::State& state) {
    SkinData& data = Data();
    Pointer<Triangles> mesh(new Triangles());
    Pointer<SkinController> skin(new SkinController());
    Pointer<Vector3Buffer> vertices(new Vector3Buffer(kVertices));
    Pointer<Vector3Buffer> bind(new Vector3Buffer(kVertices));
    Pointer<Vector4Buffer> weights(new Vector4Buffer(kVertices));
    Pointer<Vector4Buffer> indices(new Vector4Buffer(kVertices));
    for (int v = 0; v < kVertices; ++v) {
        bind->GetElements()[v] = data.bind[v];
        weights->GetElements()[v] = data.weights[v];
        indices->GetElements()[v] = data.indices[v];
    }
    std::vector<Pointer<Node>> bones;
    for (int b = 0; b < kBones; ++b) {
        Pointer<Node> bone(new Node());
        bone->GetLocalTransform().SetTranslation(Vector3(float(b), 0, 0));
        bone->ComputeWorldTransform();
        skin->AddBone(bone.Get(), Transform(Vector3(0, 1, 0), Quaternion(), Vector3(1, 1, 1)));
        bones.push_back(bone);
    }
    mesh->SetVertices(vertices.Get());
    skin->SetBindVertices(bind.Get());
    skin->SetWeights(weights.Get());
    skin->SetBoneIndices(indices.Get());
    mesh->AddController(skin.Get());
    for (auto _ : state) {
        mesh->Update(0.016);
        benchmark::DoNotOptimize(vertices->GetElements());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kVertices);
}
BENCHMARK(BM_SkinControllerFrame)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace nuv

BENCHMARK_MAIN();
