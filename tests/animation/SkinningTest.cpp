// Skinning: bone matrices, the vertex blend and its damaged-data rules, the two routines
// against each other, the pinned world transform and the bone bound; the skeleton controller.
#include "AnimationTestSupport.h"

#include "animation/NodeAnimationController.h"
#include "animation/SkeletonAnimationController.h"
#include "animation/SkinController.h"
#include "animation/Skinning.h"
#include "scene/SphereBoundingVolume.h"
#include "scene/Triangles.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace nuv {
namespace {

using test::AddNodeKey;

// A mesh of the given bind positions, skinned by bones placed at the given world translations.
struct SkinRig {
    Pointer<Triangles> mesh{new Triangles()};
    Pointer<SkinController> skin{new SkinController()};
    std::vector<Pointer<Node>> bones;

    SkinRig(const std::vector<Vector3>& bind, const std::vector<Vector4>& weights, const std::vector<Vector4>& indices,
            const std::vector<Vector3>& bonePlaces) {
        const int n = int(bind.size());
        Pointer<Vector3Buffer> vertices(new Vector3Buffer(n));
        Pointer<Vector3Buffer> bindVertices(new Vector3Buffer(n));
        Pointer<Vector4Buffer> w(new Vector4Buffer(int(weights.size())));
        Pointer<Vector4Buffer> i(new Vector4Buffer(int(indices.size())));
        for (int v = 0; v < n; ++v) vertices->GetElements()[v] = bindVertices->GetElements()[v] = bind[v];
        for (size_t v = 0; v < weights.size(); ++v) w->GetElements()[v] = weights[v];
        for (size_t v = 0; v < indices.size(); ++v) i->GetElements()[v] = indices[v];
        mesh->SetVertices(vertices.Get());
        skin->SetBindVertices(bindVertices.Get());
        skin->SetWeights(w.Get());
        skin->SetBoneIndices(i.Get());
        for (const Vector3& place : bonePlaces) {
            Pointer<Node> bone(new Node());
            bone->GetLocalTransform().SetTranslation(place);
            bone->ComputeWorldTransform();
            skin->AddBone(bone.Get(), Transform());
            bones.push_back(bone);
        }
        mesh->AddController(skin.Get());
    }
    Vector3 Vertex(int v) const {
        return static_cast<Vector3Buffer*>(mesh->GetVertices())->GetElements()[v];
    }
    const SphereBoundingVolume& Bound() const { return *static_cast<SphereBoundingVolume*>(mesh->GetWorldBound()); }
};

const std::vector<Vector3> kBonePlaces = {{10, 0, 0}, {0, 20, 0}, {0, 0, 30}, {-40, 0, 0}};

TEST(Skinning, VerticesFollowTheirWeightedBones) {
    SkinRig rig({{1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 2, 3}},
                {{1, 0, 0, 0}, {0, 0.5f, 0.5f, 0}, {1, 0, 0, 0}, {1, 1, 0, 0}, {1, 0, 0, 0}},
                {{2, 0, 0, 0}, {3, 1, 2, 0}, {2.9f, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0, 0}}, kBonePlaces);
    // The third bone is also turned a quarter about z and doubled, through its bind transform.
    Transform bind;
    bind.SetRotation(Quaternion::FromAxisAngle(Vector3(0, 0, 1), 1.5707964f));
    rig.skin->AddBone(rig.bones[0].Get(), bind);
    rig.mesh->GetLocalTransform().SetTranslation(Vector3(100, 100, 100));
    rig.mesh->UpdateTree(0.0, false);

    EXPECT_EQ(rig.Vertex(0), Vector3(1, 1, 31));            // bone 2 exactly
    EXPECT_EQ(rig.Vertex(1), Vector3(1, 11, 16));           // half bone 1, half bone 2; bone 3 ignored
    EXPECT_EQ(rig.Vertex(2), Vector3(1, 1, 31));            // 2.9 truncates to 2
    EXPECT_EQ(rig.Vertex(3), Vector3(12, 22, 2));           // weights summing to 2 double the point
    EXPECT_EQ(rig.Vertex(4), Vector3(11, 2, 3));
    // The positions are in world space: the mesh's own transform is pinned to the identity.
    EXPECT_TRUE(rig.mesh->GetWorldTransform().IsIdentity());
    EXPECT_FALSE(rig.mesh->GetUpdateWorldTransform());
    EXPECT_TRUE(rig.mesh->GetVertices()->IsDirty());

    // The matrix of the turned bone takes (1, 0, 0) to bone 0's place plus the turn.
    const Matrix4& turned = rig.skin->GetBoneMatrices()[4];
    const Vector3 p = turned.TransformPoint(Vector3(1, 0, 0));
    EXPECT_NEAR(p.x, 10.0f, 1e-5f);
    EXPECT_NEAR(std::fabs(p.y), 1.0f, 1e-5f);
}

TEST(Skinning, BoundFollowsTheBones) {
    SkinRig rig({{0, 0, 0}}, {{1, 0, 0, 0}}, {{0, 0, 0, 0}}, {{0, 0, 0}, {4, 0, 0}});
    rig.mesh->UpdateTree(0.0, false);
    EXPECT_EQ(rig.Bound().GetCenter(), Vector3(2, 0, 0));
    EXPECT_FLOAT_EQ(rig.Bound().GetRadius(), 3.0f);
    EXPECT_FALSE(rig.mesh->GetUpdateWorldBound());

    // One bone: a sphere that is never culled.
    SkinRig single({{0, 0, 0}}, {{1, 0, 0, 0}}, {{0, 0, 0, 0}}, {{5, 5, 5}});
    single.mesh->UpdateTree(0.0, false);
    EXPECT_EQ(single.Bound().GetCenter(), Vector3(0, 0, 0));
    EXPECT_EQ(single.Bound().GetRadius(), FLT_MAX);
}

TEST(Skinning, InactiveControllerMovesTheBoundButNotTheVertices) {
    SkinRig rig({{1, 2, 3}}, {{1, 0, 0, 0}}, {{1, 0, 0, 0}}, {{0, 0, 0}, {4, 0, 0}});
    rig.skin->SetActive(false);
    rig.mesh->UpdateTree(0.0, false);
    EXPECT_EQ(rig.Vertex(0), Vector3(1, 2, 3));
    EXPECT_EQ(rig.Bound().GetCenter(), Vector3(2, 0, 0));
    EXPECT_EQ(rig.skin->GetBoneMatrices()[1].GetTranslation(), Vector3(4, 0, 0));
    rig.bones[1]->GetLocalTransform().SetTranslation(Vector3(0, 8, 0));
    rig.bones[1]->ComputeWorldTransform();
    rig.mesh->UpdateTree(0.0, false);
    EXPECT_EQ(rig.Bound().GetCenter(), Vector3(0, 4, 0));
    EXPECT_FLOAT_EQ(rig.Bound().GetRadius(), 6.0f);
    EXPECT_EQ(rig.Vertex(0), Vector3(1, 2, 3));
}

TEST(Skinning, DamagedIndicesAndWeightsDoNotSpread) {
    const float nan = std::nanf("");
    const float inf = INFINITY;
    SkinRig rig({{1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}},
                {{1, 0, 0, 0}, {1, 1, 0, 0}, {nan, 1, 0, 0}, {1, inf, nan, 0}, {1, 0, 0, 0}},
                {{4, 0, 0, 0}, {0, -1, 0, 0}, {0, 1, 0, 0}, {1, 2, 3, 0}, {nan, 0, 0, 0}}, kBonePlaces);
    rig.mesh->UpdateTree(0.0, false);
    EXPECT_EQ(rig.Vertex(0), Vector3(0, 0, 0));   // no such bone: nothing
    EXPECT_EQ(rig.Vertex(1), Vector3(11, 1, 1));  // the bad second bone adds nothing
    EXPECT_EQ(rig.Vertex(2), Vector3(1, 21, 1));  // a NaN first weight counts as 0
    EXPECT_EQ(rig.Vertex(3), Vector3(1, 21, 1));  // infinite and NaN later weights are skipped
    EXPECT_EQ(rig.Vertex(4), Vector3(0, 0, 0));
}

TEST(Skinning, MismatchedDataLeavesTheMeshAsItIs) {
    // Fewer weights than vertices.
    SkinRig shortWeights({{1, 1, 1}, {2, 2, 2}}, {{1, 0, 0, 0}}, {{0, 0, 0, 0}, {0, 0, 0, 0}}, kBonePlaces);
    shortWeights.mesh->UpdateTree(0.0, false);
    EXPECT_EQ(shortWeights.Vertex(1), Vector3(2, 2, 2));
    EXPECT_TRUE(shortWeights.mesh->GetUpdateWorldTransform());

    // Bind pose of another size than the mesh.
    SkinRig rig({{1, 1, 1}}, {{1, 0, 0, 0}}, {{0, 0, 0, 0}}, kBonePlaces);
    rig.skin->SetBindVertices(new Vector3Buffer(2));
    rig.mesh->UpdateTree(0.0, false);
    EXPECT_EQ(rig.Vertex(0), Vector3(1, 1, 1));

    // No bones at all.
    SkinRig boneless({{1, 1, 1}}, {{1, 0, 0, 0}}, {{0, 0, 0, 0}}, {});
    boneless.mesh->UpdateTree(0.0, false);
    EXPECT_EQ(boneless.Vertex(0), Vector3(1, 1, 1));
}

TEST(Skinning, SimdAndScalarAgreeBitForBit) {
    if (!HasSimdSkinning()) GTEST_SKIP() << "no SIMD routine on this processor";
    std::mt19937 random(11);
    std::uniform_real_distribution<float> coordinate(-100.0f, 100.0f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const int bones = 40;
    std::vector<Matrix4> matrices(bones);
    for (Matrix4& m : matrices) {
        Transform t(Vector3(coordinate(random), coordinate(random), coordinate(random)),
                    Quaternion(unit(random), unit(random), unit(random), unit(random)).Normalized(),
                    Vector3(unit(random) + 0.5f, unit(random) + 0.5f, unit(random) + 0.5f));
        m = t.ToMatrix();
    }
    const int n = 20000;
    std::vector<Vector3> bind(n);
    std::vector<Vector4> weights(n), indices(n);
    const float specials[] = {0.0f, -0.0f, -1.0f, 40.0f, 1e30f, std::nanf(""), INFINITY, 39.999f};
    for (int v = 0; v < n; ++v) {
        bind[v] = Vector3(coordinate(random), coordinate(random), coordinate(random));
        for (int j = 0; j < 4; ++j) {
            weights[v][j] = unit(random) < 0.3f ? 0.0f : unit(random);
            indices[v][j] = unit(random) * bones;
            if (v % 97 == 0) weights[v][j] = specials[(v / 97 + j) % 8];
            if (v % 89 == 0) indices[v][j] = specials[(v / 89 + j) % 8];
        }
    }
    std::vector<Vector3> simd(n), scalar(n);
    SkinningJob job{bind.data(), weights.data(), indices.data(), n, matrices.data(), bones, simd.data()};
    ASSERT_TRUE(SkinVerticesSimd(job));
    job.out = scalar.data();
    SkinVerticesScalar(job);
    EXPECT_EQ(std::memcmp(simd.data(), scalar.data(), sizeof(Vector3) * size_t(n)), 0);
    for (int v = 0; v < n; ++v)
        ASSERT_TRUE(std::isfinite(simd[v].x) && std::isfinite(simd[v].y) && std::isfinite(simd[v].z)) << v;
}

TEST(Skinning, PersistenceRoundTrip) {
    SkinRig rig({{1, 2, 3}, {4, 5, 6}}, {{1, 0, 0, 0}, {0.5f, 0.5f, 0, 0}}, {{0, 0, 0, 0}, {1, 2, 0, 0}}, kBonePlaces);
    Transform bind(Vector3(1, 2, 3), Quaternion(0, 0, 1, 0), Vector3(2, 2, 2));
    rig.skin->AddBone(rig.bones[1].Get(), bind);
    rig.skin->SetBindNormals(new Vector3Buffer(2));
    rig.mesh->UpdateTree(0.0, false);
    Stream stream(0, 4096);
    auto copy = test::RoundTrip<SkinController>(rig.skin.Get(), stream);
    ASSERT_TRUE(copy);
    ASSERT_EQ(copy->GetBoneCount(), 5);
    EXPECT_EQ(copy->GetBone(4), copy->GetBone(1));
    EXPECT_EQ(copy->GetBone(2)->GetLocalTransform().GetTranslation(), Vector3(0, 0, 30));
    ASSERT_EQ(copy->GetBindVertices()->GetCount(), 2);
    EXPECT_EQ(copy->GetBindVertices()->GetElements()[1], Vector3(4, 5, 6));
    EXPECT_EQ(copy->GetWeights()->GetElements()[1].y, 0.5f);
    EXPECT_EQ(copy->GetBoneIndices()->GetElements()[1].y, 2.0f);
    ASSERT_TRUE(copy->GetBindNormals());
    EXPECT_EQ(copy->GetBindTangents(), nullptr);
    ASSERT_EQ(copy->GetBonePositions()->GetCount(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(copy->GetBoneMatrices()[i], Matrix4::Identity());

    // Skinning the loaded copy gives what the original gave.
    Pointer<Triangles> mesh(new Triangles());
    mesh->SetVertices(new Vector3Buffer(2));
    mesh->AddController(copy.Get());
    for (int i = 0; i < 5; ++i) copy->GetBone(i)->ComputeWorldTransform();
    mesh->UpdateTree(0.0, false);
    EXPECT_EQ(static_cast<Vector3Buffer*>(mesh->GetVertices())->GetElements()[1], rig.Vertex(1));

    // Every truncation fails without a crash.
    Stream whole(0, 4096);
    ASSERT_EQ(whole.WriteObject(rig.skin.Get()), 0);
    for (int cut = 0; cut < whole.GetPosition(); cut += 3) {
        Stream part(0, 64);
        part.Assign(whole.GetData(), cut);
        Object* read = nullptr;
        EXPECT_NE(part.ReadObject(read), 0) << cut;
        part.ClearIdMap();
    }
    whole.ClearIdMap();
}

// Two bones, each with a controller holding a "walk" and a "run" track of its own.
struct SkeletonRig {
    Pointer<SkeletonAnimationController> skeleton{new SkeletonAnimationController()};
    Pointer<Node> bones[2] = {Pointer<Node>(new Node()), Pointer<Node>(new Node())};
    Pointer<NodeAnimationController> controllers[2] = {Pointer<NodeAnimationController>(new NodeAnimationController()),
                                                       Pointer<NodeAnimationController>(new NodeAnimationController())};
    Pointer<NodeAnimation> walk[2], run[2];

    SkeletonRig() {
        for (int b = 0; b < 2; ++b) {
            walk[b] = new NodeAnimation();
            walk[b]->SetName("walk");
            AddNodeKey(*walk[b], 0.0, {float(b), 0, 0});
            AddNodeKey(*walk[b], 0.5, {float(b) + 10, 0, 0});
            run[b] = new NodeAnimation();
            run[b]->SetName("run");
            AddNodeKey(*run[b], 0.0, {0, float(b), 0});
            controllers[b]->AddAnimation(walk[b].Get());
            if (b == 0) controllers[b]->AddAnimation(run[b].Get());  // bone 1 has no "run"
            controllers[b]->SetActive(false);
            bones[b]->AddController(controllers[b].Get());
            skeleton->AddBoneController(controllers[b].Get());
        }
    }
};

TEST(SkeletonAnimationController, DrivesItsBoneControllersAsOne) {
    SkeletonRig rig;
    rig.skeleton->SetStageAnimationByName("walk", 0, 1.0f);
    rig.skeleton->SetPosition(0.25);
    for (int b = 0; b < 2; ++b) {
        EXPECT_EQ(rig.controllers[b]->GetStage(0)->animation.Get(), rig.walk[b].Get());
        EXPECT_EQ(rig.controllers[b]->GetPosition(), 0.25);
    }
    // Bone controllers never run on their own from their bone's update.
    rig.bones[0]->Update(0.0);
    EXPECT_EQ(rig.bones[0]->GetLocalTransform().GetTranslation(), Vector3(0, 0, 0));

    for (int b = 0; b < 2; ++b) rig.controllers[b]->SetPeriod(1.0);
    rig.skeleton->Apply(0.0);
    for (int b = 0; b < 2; ++b) {
        EXPECT_FALSE(rig.controllers[b]->IsActive());
        // No frames on the bone controllers: their stage 0 keeps the walk set by name.
        EXPECT_EQ(rig.controllers[b]->GetStage(0)->animation.Get(), rig.walk[b].Get());
    }

    rig.skeleton->SetStageAnimationByName("run", 1, 0.5f);
    EXPECT_EQ(rig.controllers[0]->GetStage(1)->animation.Get(), rig.run[0].Get());
    EXPECT_EQ(rig.controllers[0]->GetStage(1)->weight, 0.5f);
    EXPECT_EQ(rig.controllers[1]->GetStage(1)->animation.Get(), nullptr);
    EXPECT_EQ(rig.controllers[1]->GetStage(1)->weight, 1.0f);  // an empty stage keeps its old weight

    rig.skeleton->SetStageWeight(1, 0.125f);
    EXPECT_EQ(rig.controllers[1]->GetStage(1)->weight, 0.125f);
    rig.skeleton->SetStageWeight(5, 0.5f);
    EXPECT_EQ(rig.controllers[0]->GetStageCount(), 2);

    rig.skeleton->Reset();
    EXPECT_EQ(rig.controllers[0]->GetStageCount(), 0);
    EXPECT_EQ(rig.controllers[0]->GetPosition(), 0.25);  // positions are not touched
    EXPECT_EQ(rig.skeleton->GetPosition(), 0.0);
}

TEST(SkeletonAnimationController, TrackStepPosesTheBones) {
    SkeletonRig rig;
    rig.skeleton->SetPeriod(2.0);
    rig.skeleton->AddFrame(rig.walk[0].Get(), 0.0, 1.0);
    for (int b = 0; b < 2; ++b) {
        rig.controllers[b]->SetPeriod(2.0);
        rig.controllers[b]->AddFrame(rig.walk[b].Get(), 0.0, 1.0);
    }
    rig.skeleton->Apply(0.5);
    EXPECT_EQ(rig.skeleton->GetPosition(), 0.25);
    EXPECT_EQ(rig.bones[0]->GetLocalTransform().GetTranslation(), Vector3(5, 0, 0));
    EXPECT_EQ(rig.bones[1]->GetLocalTransform().GetTranslation(), Vector3(6, 0, 0));

    // Inactive: none of the bones runs.
    rig.skeleton->SetActive(false);
    rig.skeleton->Apply(0.5);
    EXPECT_EQ(rig.controllers[0]->GetPosition(), 0.25);
    EXPECT_EQ(rig.bones[0]->GetLocalTransform().GetTranslation(), Vector3(5, 0, 0));
}

TEST(SkeletonAnimationController, LoopsBackToItselfEndInsteadOfRecursing) {
    Pointer<SkeletonAnimationController> a(new SkeletonAnimationController());
    Pointer<SkeletonAnimationController> b(new SkeletonAnimationController());
    a->AddBoneController(a.Get());
    a->AddBoneController(b.Get());
    b->AddBoneController(a.Get());
    a->SetPeriod(1.0);
    b->SetPeriod(1.0);
    a->Apply(0.25);
    a->SetStageAnimationByName("x", 0, 1.0f);
    a->SetPosition(0.5);
    EXPECT_EQ(a->GetPosition(), 0.5);
    EXPECT_EQ(b->GetPosition(), 0.5);
    EXPECT_EQ(b->GetStageCount(), 1);

    Stream stream(0, 1024);
    auto copy = test::RoundTrip<SkeletonAnimationController>(a.Get(), stream);
    ASSERT_TRUE(copy);
    ASSERT_EQ(copy->GetBoneControllerCount(), 2);
    EXPECT_EQ(copy->GetBoneController(0), copy.Get());
    copy->Apply(0.1);
    // The cycles hold the objects; break them so that they go.
    for (auto* s : {a.Get(), b.Get(), copy.Get()}) s->RemoveAllBoneControllers();
}

} // namespace
} // namespace nuv

namespace nuv {
namespace {

// A skinned, animated mesh written once, then read back from thousands of damaged copies and
// run: a damaged file may fail to load, but nothing it loads may crash the update.
TEST(SkinningPersistence, DamagedFilesLoadOrFailAndRunSafely) {
    SkinRig rig({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, {{1, 0, 0, 0}, {0.5f, 0.5f, 0, 0}, {0.2f, 0.3f, 0.5f, 0}},
                {{0, 0, 0, 0}, {1, 2, 0, 0}, {1, 2, 3, 0}}, kBonePlaces);
    Pointer<SkeletonAnimationController> skeleton(new SkeletonAnimationController());
    skeleton->SetPeriod(2.0);
    for (int b = 0; b < 2; ++b) {
        Pointer<NodeAnimation> track(new NodeAnimation());
        AddNodeKey(*track, 0.0, {1, 0, 0});
        AddNodeKey(*track, 0.5, {0, 1, 0}, Quaternion(0, 1, 0, 0));
        Pointer<NodeAnimationController> bone(new NodeAnimationController());
        bone->AddAnimation(track.Get());
        bone->AddFrame(track.Get(), 0.0, 1.0, b + 1, 1.5, 0.25);
        bone->SetPeriod(1.0);
        bone->SetActive(false);
        rig.bones[b]->AddController(bone.Get());
        skeleton->AddBoneController(bone.Get());
        skeleton->AddFrame(track.Get(), 0.25 * b, 0.5 + 0.25 * b);
    }
    rig.mesh->AddController(skeleton.Get());
    Stream original(0, 8192);
    ASSERT_EQ(original.WriteObject(rig.mesh.Get()), 0);
    const int size = original.GetPosition();

    std::mt19937 random(5);
    int loaded = 0;
    for (int round = 0; round < 3000; ++round) {
        Stream damaged(0, 64);
        damaged.Assign(original.GetData(), size);
        uint8_t* bytes = const_cast<uint8_t*>(damaged.GetData());
        for (int flips = 1 + round % 4; flips > 0; --flips)
            bytes[random() % size] = uint8_t(round % 3 == 0 ? 0xff : random());
        Object* read = nullptr;
        if (damaged.ReadObject(read) == 0) {
            if (auto* mesh = DynamicCast<GeometryNode>(read)) {
                Pointer<GeometryNode> kept(mesh);
                damaged.ClearIdMap();
                mesh->UpdateTree(0.3, false);
                mesh->UpdateTree(0.7, false);
                ++loaded;
                // Bone references lead back to the mesh's controllers only through the mesh, so
                // dropping the controllers frees the copy.
                mesh->RemoveAllControllers();
            }
        }
        damaged.ClearIdMap();
    }
    EXPECT_GT(loaded, 100);  // the damage also lands in values that load fine
}

} // namespace
} // namespace nuv
