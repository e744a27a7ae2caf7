#include "SceneTestDoubles.h"

#include "../core/TestSupport.h"

#include "core/IntBuffer.h"
#include "core/Vector3Buffer.h"
#include "render/GeometryNodeEffect.h"
#include "render/Technique.h"
#include "scene/Camera.h"
#include "scene/SceneNode.h"
#include "scene/Triangles.h"

#include <gtest/gtest.h>

namespace nuv {

// A blended geometry effect with one pass, index 7: the draw pass only lists its geometry, and
// the renderer draws it when it flushes.
class BlendedTestEffect : public GeometryNodeEffect {
    NUV_DECLARE_OBJECT
public:
    BlendedTestEffect() {
        struct Always : Technique {
            bool IsSupported() override { return true; }
        };
        auto* technique = new Always;
        technique->AddPass(Pointer<Pass>(new TestScenePass(7)).Get());
        AddTechnique(technique);
        SetBlendEnabled(true);
    }
};

NUV_IMPLEMENT_OBJECT(BlendedTestEffect, GeometryNodeEffect)

namespace {

using test::trace;

Pointer<SceneNode> Group(const char* name) {
    Pointer<SceneNode> node(new SceneNode());
    node->SetName(String(name));
    return node;
}

Pointer<TestLeaf> Leaf(const char* name, const Vector3& center, float radius = 1.0f) {
    return Pointer<TestLeaf>(new TestLeaf(name, center, radius));
}

const SphereBoundingVolume& Sphere(const Node& node) {
    return *static_cast<const SphereBoundingVolume*>(node.GetWorldBound());
}

TEST(NodeTest, NewNodesHaveASphereBoundAndOneEmptySlot) {
    Pointer<SceneNode> group = Group("g");
    ASSERT_NE(group->GetWorldBound(), nullptr);
    EXPECT_EQ(group->GetWorldBound()->GetKind(), BoundingVolume::kSphere);
    EXPECT_EQ(group->GetChildCount(), 1);
    EXPECT_EQ(group->GetChild(0), nullptr);
    EXPECT_EQ(group->GetChildGrowth(), 2);
    // The empty slot is used first, then the array grows.
    for (int i = 0; i < 4; ++i) ASSERT_EQ(group->AttachChild(Leaf("l", Vector3()).Get()), 0);
    EXPECT_EQ(group->GetChildCount(), 4);
}

TEST(NodeTest, UpdateRunsControllersThenTransformsThenChildrenThenBounds) {
    Pointer<SceneNode> root = Group("root");
    Pointer<SceneNode> group = Group("group");
    Pointer<TestLeaf> leaf = Leaf("leaf", Vector3(0, 0, 0));
    ASSERT_EQ(root->AttachChild(group.Get()), 0);
    ASSERT_EQ(group->AttachChild(leaf.Get()), 0);
    Pointer<TestMover> mover(new TestMover());
    mover->step = 3.0f;
    ASSERT_EQ(root->AddController(mover.Get()), 0);
    Pointer<TestSceneEffect> effect(new TestSceneEffect());
    effect->SetName(String("fx"));
    ASSERT_EQ(group->AddEffect(effect.Get()), 0);

    trace.clear();
    root->UpdateTree(0.5, true);
    EXPECT_EQ(trace, "apply:root effect:fx bound:leaf ");
    // The parent moved in this same frame and the leaf already sits there.
    EXPECT_EQ(leaf->GetWorldTransform().GetTranslation(), Vector3(3, 0, 0));
    EXPECT_EQ(Sphere(*leaf).GetCenter(), Vector3(3, 0, 0));
    // The groups merged the leaf's final bound after it was computed.
    EXPECT_EQ(Sphere(*group).GetCenter(), Vector3(3, 0, 0));
    EXPECT_EQ(Sphere(*root).GetCenter(), Vector3(3, 0, 0));
    EXPECT_EQ(Sphere(*root).GetRadius(), 1.0f);
}

TEST(NodeTest, PropagatingUpRefreshesEveryAncestorBound) {
    Pointer<SceneNode> root = Group("root");
    Pointer<SceneNode> group = Group("group");
    Pointer<TestLeaf> leaf = Leaf("leaf", Vector3(0, 0, 0), 2.0f);
    root->AttachChild(group.Get());
    group->AttachChild(leaf.Get());
    root->UpdateTree(0, true);
    leaf->GetLocalTransform().SetTranslation(Vector3(0, 7, 0));
    leaf->UpdateTree(0, false);
    EXPECT_EQ(Sphere(*root).GetCenter(), Vector3(0, 0, 0));
    leaf->UpdateTree(0, true);
    EXPECT_EQ(Sphere(*group).GetCenter(), Vector3(0, 7, 0));
    EXPECT_EQ(Sphere(*root).GetCenter(), Vector3(0, 7, 0));
}

TEST(NodeTest, WorldTransformRules) {
    Pointer<SceneNode> root = Group("root");
    root->GetLocalTransform().SetTranslation(Vector3(1, 2, 3));
    Pointer<TestLeaf> leaf = Leaf("leaf", Vector3());
    root->AttachChild(leaf.Get());
    root->UpdateTree(0, true);
    // The root copies its local transform, flags included; an identity child takes the parent's.
    EXPECT_EQ(root->GetWorldTransform(), root->GetLocalTransform());
    EXPECT_TRUE(root->GetWorldTransform().IsRotationIdentity());
    EXPECT_EQ(leaf->GetWorldTransform(), root->GetWorldTransform());

    leaf->GetLocalTransform().SetTranslation(Vector3(10, 0, 0));
    leaf->SetUpdateWorldTransform(false);
    root->UpdateTree(0, true);
    EXPECT_EQ(leaf->GetWorldTransform().GetTranslation(), Vector3(1, 2, 3));
    leaf->SetUpdateWorldTransform(true);
    root->UpdateTree(0, true);
    EXPECT_EQ(leaf->GetWorldTransform().GetTranslation(), Vector3(11, 2, 3));
}

TEST(NodeTest, LookAlongTurnsTheForwardAxis) {
    Node node;
    for (const Vector3& direction : {Vector3(0, 0, 1), Vector3(1, 0, 0), Vector3(3, -4, 12), Vector3(-1, 2, -0.5f)}) {
        node.LookAlong(direction);
        EXPECT_FALSE(node.GetLocalTransform().IsIdentity());
        EXPECT_FALSE(node.GetLocalTransform().IsRotationIdentity());
        // The forward axis is column 2 of R; right stays level (no roll).
        const Matrix4 r = node.GetLocalTransform().GetRotation().ToMatrix();
        const Vector3 forward = direction.Normalized();
        EXPECT_NEAR(r.m[0][2], forward.x, 1e-5f);
        EXPECT_NEAR(r.m[1][2], forward.y, 1e-5f);
        EXPECT_NEAR(r.m[2][2], forward.z, 1e-5f);
        EXPECT_NEAR(r.m[1][0], 0.0f, 1e-5f);
    }
}

TEST(NodeTest, GroupBoundCopiesTheFirstChildAndMergesTheRest) {
    Pointer<SceneNode> root = Group("root");
    Pointer<TestLeaf> a = Leaf("a", Vector3(0, 0, 0));
    Pointer<TestLeaf> b = Leaf("b", Vector3(4, 0, 0));
    root->AttachChild(a.Get());
    root->AttachChild(b.Get());
    root->RemoveChild(a.Get());  // slot 0 now empty
    Pointer<TestLeaf> c = Leaf("c", Vector3(0, 0, 0));
    ASSERT_EQ(root->AttachChild(c.Get()), 0);  // takes the empty slot 0 again
    EXPECT_EQ(root->GetChild(0), c.Get());
    static_cast<SphereBoundingVolume*>(root->GetWorldBound())->SetRadius(100.0f);
    root->UpdateTree(0, true);
    // Copied from c (the old radius 100 is gone), then b merged in.
    EXPECT_EQ(Sphere(*root).GetCenter(), Vector3(2, 0, 0));
    EXPECT_EQ(Sphere(*root).GetRadius(), 3.0f);

    // With only empty slots the bound is left as it was.
    root->RemoveChild(b.Get());
    root->RemoveChild(c.Get());
    root->UpdateTree(0, true);
    EXPECT_EQ(Sphere(*root).GetRadius(), 3.0f);
    // updateWorldBound false freezes it too.
    root->AttachChild(a.Get());
    root->SetUpdateWorldBound(false);
    root->UpdateTree(0, true);
    EXPECT_EQ(Sphere(*root).GetRadius(), 3.0f);
}

TEST(NodeTest, RemoveChildLeavesAnEmptySlot) {
    Pointer<SceneNode> root = Group("root");
    Pointer<TestLeaf> a = Leaf("a", Vector3());
    Pointer<TestLeaf> b = Leaf("b", Vector3());
    root->AttachChild(a.Get());
    root->AttachChild(b.Get());
    const int count = root->GetChildCount();
    EXPECT_EQ(a->GetParent(), root.Get());
    root->RemoveChild(a.Get());
    root->RemoveChild(nullptr);
    EXPECT_EQ(root->GetChildCount(), count);
    EXPECT_EQ(root->GetChild(0), nullptr);
    EXPECT_EQ(a->GetParent(), nullptr);
    trace.clear();
    root->UpdateTree(0, true);
    EXPECT_EQ(trace, "bound:b ");
    // Destroying the group clears the parent of what it held.
    root = nullptr;
    EXPECT_EQ(b->GetParent(), nullptr);
}

TEST(NodeTest, EffectListKeepsEachEffectOnceHeadFirst) {
    Pointer<SceneNode> root = Group("root");
    Pointer<TestSceneEffect> a(new TestSceneEffect()), b(new TestSceneEffect());
    EXPECT_EQ(root->AddEffect(nullptr), 3);
    EXPECT_EQ(root->AddEffect(a.Get()), 0);
    EXPECT_EQ(root->AddEffect(b.Get()), 0);
    EXPECT_EQ(root->AddEffect(a.Get()), 0);
    ASSERT_EQ(root->GetEffectCount(), 2);
    EXPECT_EQ(root->GetEffect(0), b.Get());
    EXPECT_EQ(root->GetEffect(1), a.Get());
    EXPECT_EQ(a->GetOwner(), root.Get());
    root->RemoveEffect(a.Get());
    EXPECT_EQ(root->GetEffectCount(), 1);
    EXPECT_EQ(a->GetOwner(), nullptr);
    root = nullptr;
    EXPECT_EQ(b->GetOwner(), nullptr);
}

TEST(NodeTest, SearchesGoThroughControllersBoundEffectsAndChildren) {
    Pointer<SceneNode> root = Group("x");
    Pointer<TestMover> mover(new TestMover());
    mover->SetName(String("x"));
    root->AddController(mover.Get());
    Pointer<SceneNode> group = Group("group");
    Pointer<TestLeaf> leaf = Leaf("x", Vector3());
    root->AttachChild(group.Get());
    group->AttachChild(leaf.Get());
    Pointer<TestSceneEffect> effect(new TestSceneEffect());
    effect->SetName(String("fx"));
    group->AddEffect(effect.Get());
    leaf->GetWorldBound()->SetName(String("leaf bound"));

    EXPECT_EQ(root->FindByName(String("x")), root.Get());
    EXPECT_EQ(root->FindByName(String("fx")), effect.Get());
    EXPECT_EQ(root->FindByName(String("leaf bound")), leaf->GetWorldBound());
    EXPECT_EQ(root->FindByName(String("X")), nullptr);
    EXPECT_EQ(root->FindByName(String("leaf boun")), nullptr);
    EXPECT_EQ(group->FindByName(String("x")), leaf.Get());

    Array<Object*> nodes(4, 4);
    root->CollectByType(Node::TYPE, nodes);
    ASSERT_EQ(nodes.GetCount(), 3);
    EXPECT_EQ(nodes[0], root.Get());
    EXPECT_EQ(nodes[1], group.Get());
    EXPECT_EQ(nodes[2], leaf.Get());
    // Order: self, controllers, world bound, effects, children.
    Array<Object*> all(4, 4);
    root->CollectByType(Object::TYPE, all);
    ASSERT_EQ(all.GetCount(), 8);
    EXPECT_EQ(all[1], mover.Get());
    EXPECT_EQ(all[2], root->GetWorldBound());
    EXPECT_EQ(all[3], group.Get());
    EXPECT_EQ(all[4], group->GetWorldBound());
    EXPECT_EQ(all[5], effect.Get());
    EXPECT_EQ(all[6], leaf.Get());
}

// A camera at the origin looking along +z, with the default lens.
struct DrawFixture : ::testing::Test {
    void SetUp() override {
        renderer = Pointer<test::RecordingRenderer>(new test::RecordingRenderer());
        renderer->SetCamera(Pointer<Camera>(new Camera()).Get());
        test::refusedPass = -1;
        renderer->GetCamera()->UpdateTree(0, false);
        renderer->GetCamera()->SetPlaneMask(Camera::kAllPlanes);
        trace.clear();
    }
    Pointer<test::RecordingRenderer> renderer;
};

TEST_F(DrawFixture, HiddenSubtreesAreSkippedButStillUpdated) {
    Pointer<SceneNode> root = Group("root");
    Pointer<SceneNode> group = Group("group");
    Pointer<TestLeaf> a = Leaf("a", Vector3(0, 0, 50));
    Pointer<TestLeaf> b = Leaf("b", Vector3(0, 0, 60));
    root->AttachChild(group.Get());
    root->AttachChild(b.Get());
    group->AttachChild(a.Get());
    group->SetHidden(true);
    root->UpdateTree(0, true);
    EXPECT_EQ(trace, "bound:a bound:b ");
    trace.clear();
    root->CullAndRender(*renderer);
    EXPECT_EQ(trace, "draw:b ");
}

TEST_F(DrawFixture, PlaneMaskIsNarrowedPerLevelAndRestored) {
    Pointer<SceneNode> root = Group("root");
    Pointer<TestLeaf> inside = Leaf("inside", Vector3(0, 0, 50));
    Pointer<TestLeaf> nearCrossing = Leaf("near", Vector3(0, 0, 0));
    Pointer<TestLeaf> behind = Leaf("behind", Vector3(0, 0, -50));
    root->AttachChild(inside.Get());
    root->AttachChild(nearCrossing.Get());
    root->AttachChild(behind.Get());
    root->UpdateTree(0, true);
    trace.clear();
    root->CullAndRender(*renderer);
    EXPECT_EQ(trace, "draw:inside draw:near ");
    // Fully inside every plane: nothing left to test below it.
    EXPECT_EQ(inside->maskSeen, 0);
    // The sibling started again from the parent's mask: the root's bound lies inside the far
    // plane only, and so does this leaf, which crosses the near and the side planes.
    EXPECT_EQ(nearCrossing->maskSeen, Camera::kAllPlanes & ~0x10);
    EXPECT_EQ(renderer->GetCamera()->GetPlaneMask(), Camera::kAllPlanes);
}

TEST_F(DrawFixture, PlanesClearedAboveAreNotTestedBelow) {
    Pointer<SceneNode> root = Group("root");
    Pointer<TestLeaf> behind = Leaf("behind", Vector3(0, 0, -50));
    root->AttachChild(behind.Get());
    root->UpdateTree(0, true);
    // A group bound that claims to be inside every plane: its children are drawn untested.
    root->SetUpdateWorldBound(false);
    auto* bound = static_cast<SphereBoundingVolume*>(root->GetWorldBound());
    bound->SetCenter(Vector3(0, 0, 50));
    bound->SetRadius(1.0f);
    trace.clear();
    root->CullAndRender(*renderer);
    EXPECT_EQ(trace, "draw:behind ");
    EXPECT_EQ(behind->maskSeen, 0);
}

TEST_F(DrawFixture, SceneEffectsDrawTheChildrenOncePerAcceptedPass) {
    Pointer<SceneNode> root = Group("root");
    Pointer<TestLeaf> leaf = Leaf("leaf", Vector3(0, 0, 50));
    root->AttachChild(leaf.Get());
    root->UpdateTree(0, true);
    Pointer<TestSceneEffect> off(new TestSceneEffect());
    off->Disable();
    root->AddEffect(off.Get());
    trace.clear();
    root->CullAndRender(*renderer);
    EXPECT_EQ(trace, "");

    Pointer<TestSceneEffect> three(new TestSceneEffect(3));
    root->AddEffect(three.Get());
    test::refusedPass = 1;
    root->CullAndRender(*renderer);
    EXPECT_EQ(trace, "apply0 draw:leaf apply1 apply2 draw:leaf ");

    // Two effects, each with its passes, in list order.
    off->Enable();
    trace.clear();
    root->CullAndRender(*renderer);
    EXPECT_EQ(trace, "apply0 draw:leaf apply1 apply2 draw:leaf apply0 draw:leaf ");
}

TEST_F(DrawFixture, BlendedGeometryIsFlushedAfterEachAcceptedPass) {
    Pointer<SceneNode> root = Group("root");
    Pointer<Triangles> mesh(new Triangles());
    Pointer<Vector3Buffer> corners(new Vector3Buffer(3));
    corners->GetElements()[0] = Vector3(0, 0, 50);
    corners->GetElements()[1] = Vector3(1, 0, 50);
    corners->GetElements()[2] = Vector3(0, 1, 50);
    Pointer<IntBuffer> indices(new IntBuffer(3));
    for (int i = 0; i < 3; ++i) indices->GetElements()[i] = i;
    mesh->SetVertices(corners.Get());
    mesh->SetIndices(indices.Get());
    mesh->SetEffect(Pointer<BlendedTestEffect>(new BlendedTestEffect()).Get());
    mesh->ComputeModelBound();
    root->AttachChild(mesh.Get());
    Pointer<TestSceneEffect> three(new TestSceneEffect(3));
    root->AddEffect(three.Get());
    root->UpdateTree(0, true);
    test::refusedPass = 1;
    trace.clear();
    root->CullAndRender(*renderer);
    // The refused pass neither draws the children nor flushes.
    EXPECT_EQ(trace, "apply0 apply7 apply1 apply2 apply7 ");
    EXPECT_EQ(renderer->GetDeferredCount(), 0);
}

} // namespace
} // namespace nuv
