// Target controllers aim cameras and lights at nodes; the camera-culled controller hides nodes
// while its camera is the current one.
#include "../core/TestSupport.h"
#include "../render/RecordingRenderer.h"

#include "animation/CameraCulledController.h"
#include "animation/TargetCameraController.h"
#include "animation/TargetLightController.h"
#include "core/Stream.h"
#include "media/ModuleManager.h"
#include "scene/Camera.h"
#include "scene/Light.h"
#include "scene/SceneNode.h"

#include <gtest/gtest.h>

#include <cstring>

namespace nuv {
namespace {

using test::LogRecorder;

void ExpectNear(const Vector3& actual, const Vector3& expected, const char* what, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
    EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
}

// Column 0 of R(q): the right axis of cameras and lights.
Vector3 RightAxis(const Quaternion& q) {
    return {1 - 2 * (q.y * q.y + q.z * q.z), 2 * (q.x * q.y + q.w * q.z), 2 * (q.x * q.z - q.w * q.y)};
}

Pointer<Node> NodeAt(const Vector3& position) {
    Pointer<Node> node(new Node());
    node->GetLocalTransform().SetTranslation(position);
    node->ComputeWorldTransform();
    return node;
}

template <class Owner, class Aim>
Pointer<Owner> Aimed(const Vector3& position, Node* target, Pointer<Aim>* out = nullptr) {
    Pointer<Owner> owner(new Owner());
    owner->GetLocalTransform().SetTranslation(position);
    Pointer<Aim> aim(new Aim());
    aim->SetTarget(target);
    owner->AddController(aim.Get());
    if (out) *out = aim;
    return owner;
}

TEST(TargetControllers, CameraFacesTheTargetWithALevelRightAxis) {
    Pointer<Node> ahead = NodeAt({0, 0, 10});
    Pointer<Camera> camera = Aimed<Camera, TargetCameraController>({0, 0, 0}, ahead.Get());
    camera->UpdateTree(0.0, false);
    const Quaternion& q = camera->GetWorldTransform().GetRotation();
    ExpectNear({q.x, q.y, q.z}, {0, 0, 0}, "identity rotation");

    Pointer<Node> other = NodeAt({4, -1, 7});
    Pointer<Camera> oblique = Aimed<Camera, TargetCameraController>({1, 2, 3}, other.Get());
    oblique->UpdateTree(0.0, false);
    ExpectNear(oblique->GetForward(), Vector3(3, -3, 4).Normalized(), "forward");
    EXPECT_NEAR(oblique->GetRight().y, 0.0f, 1e-5f);
    ExpectNear(Cross(oblique->GetForward(), oblique->GetRight()), oblique->GetUp(), "up");
    EXPECT_GT(oblique->GetUp().y, 0.0f);
}

TEST(TargetControllers, CameraFollowsAMovingTargetAndIgnoresTheParentsRotation) {
    Pointer<SceneNode> root(new SceneNode()), arm(new SceneNode());
    arm->GetLocalTransform().SetTranslation({5, 0, 0});
    arm->GetLocalTransform().SetRotation(Quaternion::FromAxisAngle({0, 1, 0}, 1.5707964f));
    Pointer<Node> target = NodeAt({0, 0, 0});
    Pointer<Camera> camera = Aimed<Camera, TargetCameraController>({0, 0, 2}, target.Get());
    ASSERT_EQ(root->AttachChild(target.Get()), 0);
    ASSERT_EQ(arm->AttachChild(camera.Get()), 0);
    ASSERT_EQ(root->AttachChild(arm.Get()), 0);

    root->UpdateTree(0.0, false);
    const Vector3 position = arm->GetLocalTransform().TransformPoint({0, 0, 2});
    ExpectNear(camera->GetPosition(), position, "position follows the parent");
    ExpectNear(camera->GetForward(), (Vector3() - position).Normalized(), "forward");

    target->GetLocalTransform().SetTranslation({5, 10, -20});
    root->UpdateTree(0.1, false);
    ExpectNear(camera->GetForward(), (Vector3(5, 10, -20) - position).Normalized(), "after the move");
}

TEST(TargetControllers, LightAimsStraightDownWithAFixedRightAxis) {
    Pointer<Node> target = NodeAt({0, 0, 0});
    Pointer<Light> light = Aimed<Light, TargetLightController>({0, 10, 0}, target.Get());
    light->SetLightType(Light::kSpot);
    light->UpdateTree(0.0, false);
    ExpectNear(light->GetDirection(), {0, -1, 0}, "down");
    ExpectNear(RightAxis(light->GetWorldTransform().GetRotation()), {1, 0, 0}, "right axis");
    // Nearly straight down as well (the fixed axis is not quite square to forward there).
    light->GetLocalTransform().SetTranslation({0.01f, 10, 0});
    light->UpdateTree(0.0, false);
    ExpectNear(RightAxis(light->GetWorldTransform().GetRotation()), {1, 0, 0}, "nearly down", 1e-3f);
    light->GetLocalTransform().SetTranslation({0, -3, 0});
    light->UpdateTree(0.0, false);
    ExpectNear(light->GetDirection(), {0, 1, 0}, "up");

    // A camera in the same place is not left with a matrix of zeros: it looks straight down.
    Pointer<Camera> camera = Aimed<Camera, TargetCameraController>({0, 10, 0}, target.Get());
    camera->UpdateTree(0.0, false);
    ExpectNear(camera->GetForward(), {0, -1, 0}, "camera down");
    EXPECT_NEAR(camera->GetUp().Length(), 1.0f, 1e-5f);
    EXPECT_NEAR(Dot(camera->GetUp(), camera->GetRight()), 0.0f, 1e-5f);
}

TEST(TargetControllers, DoNothingWithoutTargetRightOwnerOrActivity) {
    Pointer<Node> target = NodeAt({10, 0, 0});
    const Quaternion turned = Quaternion::FromAxisAngle({1, 0, 0}, 0.5f);
    auto expectUnturned = [&](Node& node, const char* what) {
        node.GetLocalTransform().SetRotation(turned);
        node.SetUpdateWorldTransform(true);
        node.UpdateTree(0.0, false);
        const Quaternion& q = node.GetWorldTransform().GetRotation();
        ExpectNear({q.x, q.y, q.z}, {turned.x, turned.y, turned.z}, what);
    };
    Pointer<TargetCameraController> aim;
    Pointer<Camera> camera = Aimed<Camera, TargetCameraController>({0, 0, 0}, target.Get(), &aim);
    aim->SetActive(false);
    expectUnturned(*camera, "inactive");
    aim->SetActive(true);
    aim->SetTarget(nullptr);
    expectUnturned(*camera, "no target");
    aim->SetTarget(camera.Get());  // no direction to its own place
    expectUnturned(*camera, "itself");
    aim->SetTarget(nullptr);

    expectUnturned(*Aimed<Light, TargetCameraController>({}, target.Get()), "camera controller on a light");
    expectUnturned(*Aimed<Camera, TargetLightController>({}, target.Get()), "light controller on a camera");
    expectUnturned(*Aimed<Node, TargetLightController>({}, target.Get()), "light controller on a node");
}

TEST(TargetControllers, RoundTripTheirTargetAndRefuseOtherLinks) {
    Pointer<Node> target = NodeAt({1, 2, 3});
    target->SetName("goal");
    Pointer<TargetCameraController> aim(new TargetCameraController());
    aim->SetActive(false);
    aim->SetTarget(target.Get());
    Stream stream(0, 256);
    ASSERT_EQ(stream.WriteObject(aim.Get()), 0);
    stream.ClearIdMap();
    stream.SetPosition(0);
    TargetCameraController* read = nullptr;
    ASSERT_EQ(stream.ReadObjectAs(read), 0);
    Pointer<TargetCameraController> kept(read);
    stream.ClearIdMap();
    EXPECT_FALSE(kept->IsActive());
    ASSERT_TRUE(kept->GetTarget());
    EXPECT_EQ(kept->GetTarget()->GetName(), String("goal"));

    // A target link to something that is not a node, for each controller; then no room to save.
    for (bool light : {false, true}) {
        Stream forged(0, 256);
        forged.WriteString(String("x"));
        forged.WriteInt(0);
        forged.WriteBool(true);
        forged.WriteObject(Pointer<Controller>(new TargetLightController()).Get());
        forged.ClearIdMap();
        forged.SetPosition(0);
        LogRecorder log;
        Pointer<Controller> loader(light ? static_cast<Controller*>(new TargetLightController())
                                         : static_cast<Controller*>(new TargetCameraController()));
        EXPECT_NE(loader->Load(forged), 0);
        EXPECT_TRUE(log.ContainsText(light ? "Невозможно загрузить цель источника света. ID["
                                           : "Невозможно загрузить цель камеры. ID["));
        forged.ClearIdMap();

        Stream small(10, 0);  // the Controller fields fit, the link does not
        Pointer<TargetLightController> lightAim(new TargetLightController());
        lightAim->SetTarget(target.Get());
        EXPECT_NE(light ? lightAim->Save(small) : aim->Save(small), 0);
        EXPECT_TRUE(log.ContainsText(light ? "Невозможно сохранить цель источника света. Имя["
                                           : "Невозможно сохранить цель камеры. Имя["));
    }
}

class CameraCulledTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(test::UseRecordingRenderer(), 0);
        renderer = ModuleManager::GetRenderer();
    }
    void TearDown() override { ModuleManager::DestroyRenderer(); }

    Renderer* renderer = nullptr;
};

TEST_F(CameraCulledTest, HidesItsNodesExactlyWhileItsCameraIsCurrent) {
    Pointer<Node> wall(new Node()), tree(new Node()), lamp(new Node());
    Pointer<Camera> a(new Camera()), b(new Camera());
    Pointer<CameraCulledController> cullA(new CameraCulledController()), cullB(new CameraCulledController());
    cullA->AddNode(wall.Get());
    cullA->AddNode(nullptr);
    cullA->AddNode(tree.Get());
    cullB->AddNode(lamp.Get());
    a->AddController(cullA.Get());
    b->AddController(cullB.Get());

    renderer->SetCamera(a.Get());
    a->UpdateTree(0.0, false);
    b->UpdateTree(0.0, false);
    EXPECT_TRUE(wall->IsHidden() && tree->IsHidden());
    EXPECT_FALSE(lamp->IsHidden());

    // B takes over: each controller follows at its own camera's next update.
    renderer->SetCamera(b.Get());
    b->UpdateTree(0.0, false);
    EXPECT_TRUE(lamp->IsHidden() && wall->IsHidden());
    a->UpdateTree(0.0, false);
    EXPECT_FALSE(wall->IsHidden() || tree->IsHidden());

    // Once shown, the nodes are left alone; inactive, the controller touches nothing.
    tree->SetHidden(true);
    a->UpdateTree(0.0, false);
    EXPECT_TRUE(tree->IsHidden());
    cullB->SetActive(false);
    renderer->SetCamera(a.Get());
    b->UpdateTree(0.0, false);
    EXPECT_TRUE(lamp->IsHidden());
    cullB->SetActive(true);
    b->UpdateTree(0.0, false);
    EXPECT_FALSE(lamp->IsHidden());

    // Destroying the controller shows its nodes.
    a->UpdateTree(0.0, false);
    EXPECT_TRUE(wall->IsHidden());
    cullA.Reset();
    a->RemoveAllControllers();
    EXPECT_FALSE(wall->IsHidden());
}

TEST(CameraCulledController, PersistsItsNodeList) {
    Pointer<Node> wall(new Node());
    wall->SetName("wall");
    Pointer<CameraCulledController> cull(new CameraCulledController());
    cull->AddNode(wall.Get());
    cull->AddNode(nullptr);
    cull->AddNode(wall.Get());
    Stream stream(0, 256);
    ASSERT_EQ(cull->Save(stream), 0);
    const int size = stream.GetPosition();
    stream.ClearIdMap();
    stream.SetPosition(0);
    Pointer<CameraCulledController> read(new CameraCulledController());
    ASSERT_EQ(read->Load(stream), 0);
    stream.ClearIdMap();
    ASSERT_EQ(read->GetNodeCount(), 3);
    ASSERT_TRUE(read->GetNode(0));
    EXPECT_EQ(read->GetNode(0)->GetName(), String("wall"));
    EXPECT_EQ(read->GetNode(1), nullptr);
    EXPECT_EQ(read->GetNode(2), read->GetNode(0));

    // The count follows the Controller fields: name (4), controller count (4), active flag (1).
    int32_t count = 0;
    std::memcpy(&count, stream.GetData() + 9, 4);
    EXPECT_EQ(count, 3);
    for (int32_t forgedCount : {-1, 0x7fffffff}) {
        Stream forged(0, 256);
        forged.Assign(stream.GetData(), size);
        std::memcpy(const_cast<uint8_t*>(forged.GetData()) + 9, &forgedCount, 4);
        LogRecorder log;
        EXPECT_NE(Pointer<CameraCulledController>(new CameraCulledController())->Load(forged), 0);
        EXPECT_TRUE(log.ContainsText(forgedCount < 0 ? "Невозможно загрузить количество объектов."
                                                     : "Невозможно загрузить объект [3]."));
        EXPECT_TRUE(log.ContainsText("Невозможно загрузить узлы. ID["));
        forged.ClearIdMap();
    }

    int failures = 0;
    LogRecorder log;
    for (int room = 0; room < size; ++room) {
        Stream small(room, 0);
        failures += cull->Save(small) != 0;
    }
    EXPECT_EQ(failures, size);
    EXPECT_TRUE(log.ContainsText("Невозможно сохранить количество объектов."));
    EXPECT_TRUE(log.ContainsText("Невозможно сохранить объект [0]."));
    EXPECT_TRUE(log.ContainsText("Невозможно сохранить узлы. Имя["));
}

} // namespace
} // namespace nuv
