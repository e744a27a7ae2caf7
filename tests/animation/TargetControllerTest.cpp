// Target controllers aim cameras and lights at nodes; the camera-culled controller hides nodes
// while its camera is the current one.
#include "../core/TestSupport.h"
#include "../render/RecordingRenderer.h"

#include "animation/CameraCulledController.h"
#include "animation/TargetCameraController.h"
#include "animation/TargetLightController.h"
#include "core/Stream.h"
#include "media/ModuleManager.h"
#include "media/StaticModule.h"
#include "scene/Camera.h"
#include "scene/Light.h"
#include "scene/SceneNode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace nuv {
namespace {

using test::LogRecorder;

constexpr float kTolerance = 1e-5f;

void ExpectNear(const Vector3& actual, const Vector3& expected, const char* what) {
    EXPECT_NEAR(actual.x, expected.x, kTolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, kTolerance) << what;
    EXPECT_NEAR(actual.z, expected.z, kTolerance) << what;
}

// Column 0 of R(q): the right axis of cameras and lights.
Vector3 RightAxis(const Quaternion& q) {
    return {1 - 2 * (q.y * q.y + q.z * q.z), 2 * (q.x * q.y + q.w * q.z), 2 * (q.x * q.z - q.w * q.y)};
}

Pointer<Node> NodeAt(const Vector3& position) {
    Pointer<Node> node(new Node());
    node->GetLocalTransform().SetTranslation(position);
    node->SetUpdateWorldTransform(true);
    node->ComputeWorldTransform();
    return node;
}

// A camera at position with a target controller on target.
Pointer<Camera> AimedCamera(const Vector3& position, Node* target, Pointer<TargetCameraController>* out = nullptr) {
    Pointer<Camera> camera(new Camera());
    camera->GetLocalTransform().SetTranslation(position);
    Pointer<TargetCameraController> aim(new TargetCameraController());
    aim->SetTarget(target);
    camera->AddController(aim.Get());
    if (out) *out = aim;
    return camera;
}

TEST(TargetCameraController, FacesTheTargetWithAHorizontalRightAxis) {
    Pointer<Node> target = NodeAt({0, 0, 10});
    Pointer<Camera> camera = AimedCamera({0, 0, 0}, target.Get());
    camera->UpdateTree(0.0, false);
    const Quaternion& q = camera->GetWorldTransform().GetRotation();
    EXPECT_NEAR(q.x, 0.0f, kTolerance);
    EXPECT_NEAR(q.y, 0.0f, kTolerance);
    EXPECT_NEAR(q.z, 0.0f, kTolerance);
    EXPECT_NEAR(std::fabs(q.w), 1.0f, kTolerance);

    // An oblique direction: forward along it, right level, up completing a proper frame.
    Pointer<Node> other = NodeAt({4, -1, 7});
    Pointer<Camera> oblique = AimedCamera({1, 2, 3}, other.Get());
    oblique->UpdateTree(0.0, false);
    const Vector3 d = Vector3(3, -3, 4).Normalized();
    ExpectNear(oblique->GetForward(), d, "forward");
    EXPECT_NEAR(oblique->GetRight().y, 0.0f, kTolerance);
    ExpectNear(Cross(oblique->GetForward(), oblique->GetRight()), oblique->GetUp(), "up");
    EXPECT_GT(oblique->GetUp().y, 0.0f);
    // The local rotation holds the aim as well, and the view matrix looks down the same axis.
    const Quaternion& local = oblique->GetLocalTransform().GetRotation();
    const Quaternion& world = oblique->GetWorldTransform().GetRotation();
    EXPECT_EQ(local.x, world.x);
    EXPECT_EQ(local.w, world.w);
    const Vector3 ahead = oblique->GetPosition() + d * 5.0f;
    const Matrix4& view = oblique->GetView();
    const float viewZ = ahead.x * view.m[0][2] + ahead.y * view.m[1][2] + ahead.z * view.m[2][2] + view.m[3][2];
    EXPECT_NEAR(viewZ, 5.0f, 1e-4f);
}

TEST(TargetCameraController, FollowsAMovingTargetAndIgnoresTheParentsRotation) {
    Pointer<SceneNode> root(new SceneNode());
    Pointer<SceneNode> arm(new SceneNode());
    arm->GetLocalTransform().SetTranslation({5, 0, 0});
    arm->GetLocalTransform().SetRotation(Quaternion::FromAxisAngle({0, 1, 0}, 1.5707964f));
    Pointer<Node> target = NodeAt({0, 0, 0});
    ASSERT_EQ(root->AttachChild(target.Get()), 0);
    Pointer<Camera> camera = AimedCamera({0, 0, 2}, target.Get());
    ASSERT_EQ(arm->AttachChild(camera.Get()), 0);
    ASSERT_EQ(root->AttachChild(arm.Get()), 0);

    root->UpdateTree(0.0, false);
    // The position still goes through the parent: its quarter turn moves local +z sideways.
    const Vector3 expected = arm->GetLocalTransform().TransformPoint({0, 0, 2});
    ExpectNear(camera->GetPosition(), expected, "position");
    ExpectNear(camera->GetForward(), (Vector3() - expected).Normalized(), "forward");

    target->GetLocalTransform().SetTranslation({5, 10, -20});
    target->SetUpdateWorldTransform(true);
    root->UpdateTree(0.1, false);
    ExpectNear(camera->GetForward(), (Vector3(5, 10, -20) - expected).Normalized(), "forward after move");
}

TEST(TargetLightController, AimsStraightDownWithAFixedRightAxis) {
    Pointer<Node> target = NodeAt({0, 0, 0});
    Pointer<Light> light(new Light());
    light->SetLightType(Light::kSpot);
    light->GetLocalTransform().SetTranslation({0, 10, 0});
    Pointer<TargetLightController> aim(new TargetLightController());
    aim->SetTarget(target.Get());
    light->AddController(aim.Get());
    light->UpdateTree(0.0, false);
    ExpectNear(light->GetDirection(), {0, -1, 0}, "light direction");
    const Quaternion& q = light->GetWorldTransform().GetRotation();
    ExpectNear(RightAxis(q), {1, 0, 0}, "light right axis");
    // Nearly straight down the right axis stays fixed as well, where the cross product with the
    // up reference would still point sideways.
    light->GetLocalTransform().SetTranslation({0.01f, 10, 0});
    light->UpdateTree(0.0, false);
    // (The fixed axis is not quite square to the forward axis there, so the frame is close only.)
    const Vector3 nearlyRight = RightAxis(light->GetWorldTransform().GetRotation());
    EXPECT_NEAR(nearlyRight.x, 1.0f, 1e-3f);
    EXPECT_NEAR(nearlyRight.z, 0.0f, 1e-3f);

    // Upward works too, and an ordinary direction is followed like the camera's.
    light->GetLocalTransform().SetTranslation({0, -3, 0});
    light->UpdateTree(0.0, false);
    ExpectNear(light->GetDirection(), {0, 1, 0}, "upward");
    light->GetLocalTransform().SetTranslation({3, 0, 4});
    light->UpdateTree(0.0, false);
    ExpectNear(light->GetDirection(), {-0.6f, 0, -0.8f}, "sideways");

    // A camera in the same place is not left with a matrix of zeros: it looks straight down.
    Pointer<Camera> camera = AimedCamera({0, 10, 0}, target.Get());
    camera->UpdateTree(0.0, false);
    ExpectNear(camera->GetForward(), {0, -1, 0}, "camera straight down");
    EXPECT_NEAR(camera->GetUp().Length(), 1.0f, kTolerance);
    EXPECT_NEAR(Dot(camera->GetUp(), camera->GetRight()), 0.0f, kTolerance);
}

TEST(TargetControllers, DoNothingWithoutTargetOwnerOrActivity) {
    Pointer<Node> target = NodeAt({10, 0, 0});
    const Quaternion turned = Quaternion::FromAxisAngle({1, 0, 0}, 0.5f);
    auto expectUnturned = [&](Node& node, const char* what) {
        node.GetLocalTransform().SetRotation(turned);
        node.SetUpdateWorldTransform(true);
        node.UpdateTree(0.0, false);
        const Quaternion& q = node.GetWorldTransform().GetRotation();
        EXPECT_NEAR(q.x, turned.x, kTolerance) << what;
        EXPECT_NEAR(q.w, turned.w, kTolerance) << what;
    };

    Pointer<TargetCameraController> aim;
    Pointer<Camera> camera = AimedCamera({0, 0, 0}, target.Get(), &aim);
    aim->SetActive(false);
    expectUnturned(*camera, "inactive");
    aim->SetActive(true);
    aim->SetTarget(nullptr);
    expectUnturned(*camera, "no target");
    // A target in the owner's own place gives no direction.
    aim->SetTarget(camera.Get());
    expectUnturned(*camera, "itself");
    aim->SetTarget(nullptr);  // the camera would hold itself through the controller

    // The camera controller on a light, the light controller on a camera, either on a plain node.
    Pointer<Light> light(new Light());
    Pointer<TargetCameraController> cameraAim(new TargetCameraController());
    cameraAim->SetTarget(target.Get());
    light->AddController(cameraAim.Get());
    expectUnturned(*light, "camera controller on a light");
    Pointer<Camera> other(new Camera());
    Pointer<TargetLightController> lightAim(new TargetLightController());
    lightAim->SetTarget(target.Get());
    other->AddController(lightAim.Get());
    expectUnturned(*other, "light controller on a camera");
    Pointer<Node> plain(new Node());
    Pointer<TargetLightController> plainAim(new TargetLightController());
    plainAim->SetTarget(target.Get());
    plain->AddController(plainAim.Get());
    expectUnturned(*plain, "light controller on a node");
}

TEST(TargetControllers, RoundTripTheirTargetAndRefuseOtherLinks) {
    Pointer<Node> target = NodeAt({1, 2, 3});
    target->SetName("goal");
    Pointer<TargetCameraController> aim(new TargetCameraController());
    aim->SetName("aim");
    aim->SetActive(false);
    aim->SetTarget(target.Get());
    Stream stream(0, 256);
    ASSERT_EQ(stream.WriteObject(aim.Get()), 0);
    const int size = stream.GetPosition();
    stream.ClearIdMap();
    stream.SetPosition(0);
    TargetCameraController* read = nullptr;
    ASSERT_EQ(stream.ReadObjectAs(read), 0);
    Pointer<TargetCameraController> kept(read);
    stream.ClearIdMap();
    EXPECT_EQ(kept->GetName(), String("aim"));
    EXPECT_FALSE(kept->IsActive());
    ASSERT_TRUE(kept->GetTarget());
    EXPECT_EQ(kept->GetTarget()->GetName(), String("goal"));
    EXPECT_NE(kept->GetTarget(), target.Get());

    for (int cut = 0; cut < size; ++cut) {
        Stream part(0, 256);
        part.Assign(stream.GetData(), cut);
        Object* object = nullptr;
        EXPECT_NE(part.ReadObject(object), 0) << cut;
        part.ClearIdMap();
    }

    // A target link to something that is not a node, for each controller.
    for (int light = 0; light < 2; ++light) {
        Stream forged(0, 256);
        forged.WriteString(String("x"));
        forged.WriteInt(0);
        forged.WriteBool(true);
        Pointer<TargetLightController> notANode(new TargetLightController());
        forged.WriteObject(notANode.Get());
        forged.ClearIdMap();
        forged.SetPosition(0);
        LogRecorder log;
        Pointer<Controller> loader(light ? static_cast<Controller*>(new TargetLightController())
                                         : static_cast<Controller*>(new TargetCameraController()));
        EXPECT_NE(loader->Load(forged), 0);
        EXPECT_TRUE(log.ContainsText(light ? "Невозможно загрузить цель источника света. ID["
                                           : "Невозможно загрузить цель камеры. ID["));
        forged.ClearIdMap();
    }

    // Saving into a stream with no room for the link.
    Pointer<TargetLightController> lightAim(new TargetLightController());
    lightAim->SetTarget(target.Get());
    Stream small(10, 0);  // the Controller fields fit, the link does not
    LogRecorder log;
    EXPECT_NE(lightAim->Save(small), 0);
    EXPECT_TRUE(log.ContainsText("Невозможно сохранить цель источника света. Имя["));
}

int CreateRecordingRenderer(Renderer** out) {
    *out = new test::RecordingRenderer();
    return 0;
}

class CameraCulledTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ModuleManager::FindModule("Recording")) {
            Pointer<StaticModule> module(new StaticModule("Recording"));
            module->AddFunction("CreateRenderer", &CreateRecordingRenderer);
            ASSERT_EQ(ModuleManager::RegisterModule(module.Get()), 0);
        }
        ASSERT_EQ(ModuleManager::CreateRenderer("Recording"), 0);
        renderer = ModuleManager::GetRenderer();
        ASSERT_TRUE(renderer);
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
    EXPECT_TRUE(wall->IsHidden());
    EXPECT_TRUE(tree->IsHidden());
    EXPECT_FALSE(lamp->IsHidden());
    EXPECT_TRUE(cullA->IsApplied());

    // B takes over: each controller follows at its own camera's next update.
    renderer->SetCamera(b.Get());
    b->UpdateTree(0.0, false);
    EXPECT_TRUE(lamp->IsHidden());
    EXPECT_TRUE(wall->IsHidden());
    a->UpdateTree(0.0, false);
    EXPECT_FALSE(wall->IsHidden());
    EXPECT_FALSE(tree->IsHidden());
    EXPECT_FALSE(cullA->IsApplied());

    // Once shown, the nodes are left alone: something else may hide them meanwhile.
    tree->SetHidden(true);
    a->UpdateTree(0.0, false);
    EXPECT_TRUE(tree->IsHidden());
    tree->SetHidden(false);

    // Inactive, the controller leaves the nodes as they are, whichever camera is current.
    cullB->SetActive(false);
    renderer->SetCamera(a.Get());
    b->UpdateTree(0.0, false);
    EXPECT_TRUE(lamp->IsHidden());
    cullB->SetActive(true);
    b->UpdateTree(0.0, false);
    EXPECT_FALSE(lamp->IsHidden());

    // Without a renderer no camera is current.
    a->UpdateTree(0.0, false);
    EXPECT_TRUE(wall->IsHidden());
    ModuleManager::DestroyRenderer();
    a->UpdateTree(0.0, false);
    EXPECT_FALSE(wall->IsHidden());
    ASSERT_EQ(ModuleManager::CreateRenderer("Recording"), 0);
    renderer = ModuleManager::GetRenderer();
}

TEST_F(CameraCulledTest, DestroyingTheControllerShowsItsNodes) {
    Pointer<Node> wall(new Node());
    Pointer<Camera> camera(new Camera());
    {
        Pointer<CameraCulledController> cull(new CameraCulledController());
        cull->AddNode(wall.Get());
        camera->AddController(cull.Get());
    }
    renderer->SetCamera(camera.Get());
    camera->UpdateTree(0.0, false);
    EXPECT_TRUE(wall->IsHidden());
    renderer->SetCamera(nullptr);
    camera->RemoveAllControllers();
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
    EXPECT_FALSE(read->IsApplied());

    // Name (4), controller count (4), active flag (1), then the count.
    int32_t count = 0;
    std::memcpy(&count, stream.GetData() + 9, 4);
    EXPECT_EQ(count, 3);
    for (int32_t forgedCount : {-1, 0x7fffffff}) {
        Stream forged(0, 256);
        forged.Assign(stream.GetData(), size);
        std::memcpy(const_cast<uint8_t*>(forged.GetData()) + 9, &forgedCount, 4);
        LogRecorder log;
        Pointer<CameraCulledController> target(new CameraCulledController());
        EXPECT_NE(target->Load(forged), 0) << forgedCount;
        EXPECT_TRUE(log.ContainsText(forgedCount < 0 ? "Невозможно загрузить количество объектов."
                                                     : "Невозможно загрузить объект [3]."));
        EXPECT_TRUE(log.ContainsText("Невозможно загрузить узлы. ID["));
        forged.ClearIdMap();
    }

    // The list cannot be written.
    int failures = 0;
    LogRecorder log;
    for (int room = 0; room < size; ++room) {
        Stream small(room, 0);
        if (cull->Save(small) != 0) ++failures;
    }
    EXPECT_EQ(failures, size);
    EXPECT_TRUE(log.ContainsText("Невозможно сохранить количество объектов."));
    EXPECT_TRUE(log.ContainsText("Невозможно сохранить объект [0]."));
    EXPECT_TRUE(log.ContainsText("Невозможно сохранить узлы. Имя["));
}

} // namespace
} // namespace nuv
