#include "../core/TestSupport.h"

#include "core/Quaternion.h"
#include "core/Stream.h"
#include "scene/Camera.h"
#include "scene/FPCamera.h"
#include "scene/Light.h"
#include "scene/SphereBoundingVolume.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace nuv {
namespace {

using test::Loaded;
using test::LogRecorder;
using test::Saved;

// Signed distances of p to the six planes, in plane order.
std::vector<float> Distances(const Camera& camera, const Vector3& p) {
    std::vector<float> d;
    for (int i = 0; i < Camera::kPlaneCount; ++i) d.push_back(camera.GetPlane(i).SignedDistance(p));
    return d;
}

// Index of the only plane that p lies behind, -1 for none, -2 for several.
int OutsidePlane(const Camera& camera, const Vector3& p) {
    int outside = -1;
    const std::vector<float> d = Distances(camera, p);
    for (int i = 0; i < Camera::kPlaneCount; ++i)
        if (d[size_t(i)] < 0) outside = outside == -1 ? i : -2;
    return outside;
}

void ExpectNear(const Vector3& actual, const Vector3& expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST(Camera, ProjectionOfTheDefaultLens) {
    Pointer<Camera> camera(new Camera);
    camera->UpdateTree(0, false);
    const Matrix4& p = camera->GetProjection();
    const float f = 1.0f / std::tan(0.7853982f * 0.5f);
    EXPECT_FLOAT_EQ(p.m[1][1], 2.4142137f);
    EXPECT_FLOAT_EQ(p.m[0][0], 1.8690687f);
    // The horizontal scale is the stored 24/31, bit for bit.
    EXPECT_EQ(std::bit_cast<uint32_t>(p.m[0][0]), std::bit_cast<uint32_t>(f * std::bit_cast<float>(0x3F46318Du)));
    EXPECT_EQ(p.m[1][1], f);
    EXPECT_FLOAT_EQ(p.m[2][2], 10000.0f / 9999.9f);
    EXPECT_EQ(p.m[2][3], 1.0f);
    EXPECT_FLOAT_EQ(p.m[3][2], -0.1f * 10000.0f / 9999.9f);
    int zeros = 0;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) zeros += p.m[r][c] == 0.0f;
    EXPECT_EQ(zeros, 11);

    // Points on the near and far planes go to depth 0 and 1 through view-projection.
    EXPECT_NEAR(camera->GetViewProjection().TransformPoint({0, 0, 0.1f}).z, 0.0f, 1e-6f);
    EXPECT_NEAR(camera->GetViewProjection().TransformPoint({0, 0, 10000.0f}).z, 1.0f, 1e-6f);
}

TEST(Camera, IdentityCameraLooksAlongZAndItsPlanesClassifyPoints) {
    Pointer<Camera> camera(new Camera);
    camera->UpdateTree(0, false);
    EXPECT_EQ(camera->GetForward(), Vector3(0, 0, 1));
    EXPECT_EQ(camera->GetUp(), Vector3(0, 1, 0));
    EXPECT_EQ(camera->GetRight(), Vector3(1, 0, 0));
    EXPECT_EQ(camera->GetView(), Matrix4::Identity());
    for (int i = 0; i < Camera::kPlaneCount; ++i)
        EXPECT_NEAR(camera->GetPlane(i).normal.Length(), 1.0f, 1e-5f) << i;

    EXPECT_EQ(OutsidePlane(*camera, {0, 0, 5}), -1);
    EXPECT_EQ(OutsidePlane(*camera, {0, 0, -5}), -2);  // behind: near, and the side planes too
    EXPECT_LT(Distances(*camera, {0, 0, -5})[Camera::kNear], 0);
    EXPECT_EQ(OutsidePlane(*camera, {0, 0, 0.05f}), Camera::kNear);
    EXPECT_EQ(OutsidePlane(*camera, {0, 0, 20000}), Camera::kFar);
    EXPECT_EQ(OutsidePlane(*camera, {-100, 0, 5}), Camera::kLeft);
    EXPECT_EQ(OutsidePlane(*camera, {100, 0, 5}), Camera::kRight);
    EXPECT_EQ(OutsidePlane(*camera, {0, 100, 5}), Camera::kTop);
    EXPECT_EQ(OutsidePlane(*camera, {0, -100, 5}), Camera::kBottom);

    // The side planes pass through the view's edges: 31/24 as wide as high.
    const float tanHalf = std::tan(0.7853982f * 0.5f);
    const float z = 50;
    EXPECT_NEAR(Distances(*camera, {0, z * tanHalf, z})[Camera::kTop], 0, 1e-3f);
    EXPECT_NEAR(Distances(*camera, {0, -z * tanHalf, z})[Camera::kBottom], 0, 1e-3f);
    const float halfWidth = z * tanHalf * 31.0f / 24.0f;
    EXPECT_NEAR(Distances(*camera, {halfWidth, 0, z})[Camera::kRight], 0, 1e-3f);
    EXPECT_NEAR(Distances(*camera, {-halfWidth, 0, z})[Camera::kLeft], 0, 1e-3f);
    EXPECT_NEAR(Distances(*camera, {0, 0, 0.1f})[Camera::kNear], 0, 1e-5f);
    // The far corners come through a float inverse whose depth terms nearly cancel (far/near is
    // 10^5), so the far plane is only good to a few units.
    EXPECT_GT(Distances(*camera, {0, 0, 9950})[Camera::kFar], 0);
    EXPECT_LT(Distances(*camera, {0, 0, 10050})[Camera::kFar], 0);
}

TEST(Camera, AxesAreTheColumnsOfTheRotationAndTheViewFollowsThem) {
    // About y by a quarter turn. Matrix4 turns z toward x, so an ordinary node's +z goes to +x
    // (row 2 of R); the camera's forward is column 2 of R, which is −x.
    const Quaternion q = Quaternion::FromAxisAngle({0, 1, 0}, kHalfPi);
    Pointer<Camera> camera(new Camera);
    camera->GetLocalTransform().SetRotation(q);
    camera->GetLocalTransform().SetTranslation({3, 4, 5});
    camera->UpdateTree(0, false);
    const Matrix4 r = q.ToMatrix();
    ExpectNear(camera->GetRight(), {r.m[0][0], r.m[1][0], r.m[2][0]});
    ExpectNear(camera->GetUp(), {r.m[0][1], r.m[1][1], r.m[2][1]});
    ExpectNear(camera->GetForward(), {r.m[0][2], r.m[1][2], r.m[2][2]});
    ExpectNear(camera->GetForward(), {-1, 0, 0});
    ExpectNear(camera->GetWorldTransform().TransformVector({0, 0, 1}), {1, 0, 0});
    EXPECT_EQ(camera->GetPosition(), Vector3(3, 4, 5));

    // The view sends the eye to the origin and its axes to x, y, z.
    const Vector3 eye(3, 4, 5);
    ExpectNear(camera->GetView().TransformPoint(eye), {0, 0, 0});
    ExpectNear(camera->GetView().TransformPoint(eye + camera->GetForward() * 7), {0, 0, 7});
    ExpectNear(camera->GetView().TransformPoint(eye + camera->GetUp() * 2), {0, 2, 0});
    ExpectNear(camera->GetView().TransformPoint(eye + camera->GetRight() * 2), {2, 0, 0});
    EXPECT_EQ(camera->GetViewProjection(), camera->GetView() * camera->GetProjection());

    EXPECT_EQ(OutsidePlane(*camera, eye + camera->GetForward() * 5), -1);
    EXPECT_LT(Distances(*camera, eye - camera->GetForward() * 5)[Camera::kNear], 0);
    EXPECT_EQ(OutsidePlane(*camera, eye + camera->GetForward() * 5 + camera->GetUp() * 100), Camera::kTop);
    EXPECT_EQ(OutsidePlane(*camera, eye + camera->GetForward() * 5 + camera->GetRight() * 100), Camera::kRight);
}

TEST(Camera, PlaneMaskSkipsPlanesABoundIsInside) {
    Pointer<Camera> camera(new Camera);
    camera->UpdateTree(0, false);
    auto sphere = [](Vector3 c, float r) { return Pointer<SphereBoundingVolume>(new SphereBoundingVolume(c, r)); };

    // Fully inside: every bit goes, and nothing is culled.
    camera->SetPlaneMask(Camera::kAllPlanes);
    EXPECT_FALSE(camera->IsCulled(sphere({0, 0, 50}, 1).Get()));
    EXPECT_EQ(camera->GetPlaneMask(), 0);

    // Crossing the left plane only: that bit stays.
    camera->SetPlaneMask(Camera::kAllPlanes);
    const float halfWidth = 50 * std::tan(0.7853982f * 0.5f) * 31.0f / 24.0f;
    EXPECT_FALSE(camera->IsCulled(sphere({-halfWidth, 0, 50}, 1).Get()));
    EXPECT_EQ(camera->GetPlaneMask(), 0x08);

    // Behind the eye: culled at the near plane, before any other plane is looked at.
    camera->SetPlaneMask(Camera::kAllPlanes);
    EXPECT_TRUE(camera->IsCulled(sphere({0, 0, -50}, 1).Get()));
    EXPECT_EQ(camera->GetPlaneMask(), Camera::kAllPlanes);

    // A plane whose bit is clear is not tested: with only the far plane left, the same sphere passes.
    camera->SetPlaneMask(0x10);
    EXPECT_FALSE(camera->IsCulled(sphere({0, 0, -50}, 1).Get()));
    EXPECT_EQ(camera->GetPlaneMask(), 0);
    camera->SetPlaneMask(0);
    EXPECT_FALSE(camera->IsCulled(sphere({0, 0, 1e9f}, 1).Get()));

    // Beyond the far plane with the near bit cleared: culled by the far plane.
    camera->SetPlaneMask(Camera::kAllPlanes & ~0x20);
    EXPECT_TRUE(camera->IsCulled(sphere({0, 0, 20000}, 1).Get()));
}

// A view mirrored in the plane y = h (as a water mirror draws with) keeps its frustum facing
// inwards: what the mirrored eye sees is kept, what lies behind or beside it is culled.
TEST(Camera, MirroredViewCullsLikeAnyOther) {
    Pointer<Camera> camera(new Camera);
    camera->GetLocalTransform().SetTranslation({0, 5, 0});
    camera->UpdateTree(0, false);
    const float h = 1.0f;
    const Matrix4 mirror(1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 2 * h, 0, 1);
    camera->SetMatrices(mirror * camera->GetView(), camera->GetProjection());
    // The mirrored eye stands at y = 2h - 5 = -3, looking along +z as before.
    struct Case {
        Vector3 centre;
        bool culled;
    };
    const Case cases[] = {
        {{0, -3, 50}, false},   // straight ahead of the mirrored eye
        {{0, 5, 50}, false},    // above it, still within the field of view at that distance
        {{0, -3, -50}, true},   // behind it
        {{500, -3, 50}, true},  // far to the side
        {{0, -3, 20000}, true}, // beyond the far plane
    };
    for (const Case& c : cases) {
        camera->SetPlaneMask(Camera::kAllPlanes);
        Pointer<SphereBoundingVolume> sphere(new SphereBoundingVolume(c.centre, 1));
        EXPECT_EQ(camera->IsCulled(sphere.Get()), c.culled) << c.centre.x << " " << c.centre.y << " " << c.centre.z;
    }
}

TEST(Camera, LensWithoutVolumeCullsNothing) {
    LogRecorder log;
    for (const Vector3 lens : {Vector3(0, 0.1f, 100), Vector3(0.8f, 5, 5), Vector3(0.8f, 0, 100),
                               Vector3(std::nanf(""), 1, 10)}) {
        Pointer<Camera> camera(new Camera);
        camera->SetFieldOfView(lens.x);
        camera->SetNearPlane(lens.y);
        camera->SetFarPlane(lens.z);
        camera->UpdateTree(0, false);
        camera->SetPlaneMask(Camera::kAllPlanes);
        Pointer<SphereBoundingVolume> anywhere(new SphereBoundingVolume({0, 0, -50}, 1));
        EXPECT_FALSE(camera->IsCulled(anywhere.Get())) << lens.x << " " << lens.y << " " << lens.z;
        for (int i = 0; i < Camera::kPlaneCount; ++i) EXPECT_EQ(camera->GetPlane(i).normal, Vector3(0, 0, 0));
    }
}

TEST(Camera, SaveAndLoadTheLens) {
    Pointer<FPCamera> camera(new FPCamera);
    camera->SetName("eye");
    camera->SetFieldOfView(1.25f);
    camera->SetNearPlane(0.5f);
    camera->SetFarPlane(750);
    camera->SetMoveSpeed(4);
    camera->SetTurnSpeed(-2);
    camera->SetInvertPitch(true);
    camera->GetLocalTransform().SetTranslation({1, 2, 3});
    const std::vector<uint8_t> bytes = Saved(*camera);
    int status = -1;
    Pointer<Object> back = Loaded(bytes, &status);
    ASSERT_EQ(status, 0);
    auto* loaded = DynamicCast<FPCamera>(back.Get());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetName(), "eye");
    EXPECT_EQ(loaded->GetFieldOfView(), 1.25f);
    EXPECT_EQ(loaded->GetNearPlane(), 0.5f);
    EXPECT_EQ(loaded->GetFarPlane(), 750.0f);
    EXPECT_EQ(loaded->GetMoveSpeed(), 4.0f);
    EXPECT_EQ(loaded->GetTurnSpeed(), -2.0f);
    EXPECT_TRUE(loaded->GetInvertPitch());
    EXPECT_EQ(loaded->GetLocalTransform().GetTranslation(), Vector3(1, 2, 3));

    // The fields sit at the end: three floats, then two floats and a bool.
    ASSERT_GE(bytes.size(), 21u);
    float lens[3];
    std::memcpy(lens, &bytes[bytes.size() - 21], 12);
    EXPECT_EQ(lens[0], 1.25f);
    EXPECT_EQ(lens[2], 750.0f);
    EXPECT_EQ(bytes.back(), 1);

    Pointer<FPCamera> fresh(new FPCamera);
    EXPECT_EQ(fresh->GetMoveSpeed(), 1.0f);
    EXPECT_EQ(fresh->GetTurnSpeed(), 3.0f);
    EXPECT_FALSE(fresh->GetInvertPitch());
}

TEST(Camera, TruncatedCamerasFailWithTheCameraMessage) {
    Pointer<FPCamera> camera(new FPCamera);
    camera->SetName("c");
    const std::vector<uint8_t> full = Saved(*camera);
    LogRecorder log;
    for (size_t cut = full.size() - 21; cut < full.size(); ++cut) {
        log.lines.clear();
        int status = 0;
        EXPECT_FALSE(Loaded(std::vector<uint8_t>(full.begin(), full.begin() + long(cut)), &status)) << cut;
        EXPECT_NE(status, 0);
        EXPECT_TRUE(log.ContainsText("Невозможно загрузить данные камеры. ID[")) << cut;
        EXPECT_TRUE(log.ContainsText("] Имя[c]")) << cut;
    }
    // Cut inside the Node part: the parent's failure is reported by the camera too.
    log.lines.clear();
    EXPECT_FALSE(Loaded(std::vector<uint8_t>(full.begin(), full.begin() + long(full.size() - 30))));
    EXPECT_TRUE(log.ContainsText("Невозможно загрузить родительские данные. ID["));
}

TEST(Light, DirectionPositionAndDeviceValues) {
    Pointer<Light> light(new Light);
    light->GetLocalTransform().SetRotation(Quaternion::FromAxisAngle({1, 0, 0}, 0.7f));
    light->GetLocalTransform().SetTranslation({7, 8, 9});
    light->UpdateTree(0, false);
    const Matrix4 r = light->GetWorldTransform().GetRotation().ToMatrix();

    EXPECT_EQ(light->GetLightType(), Light::kDefaultDirectional);
    EXPECT_EQ(light->GetDirection(), Vector3(0, 0, 1));  // the rotation is ignored
    light->SetLightType(Light::kDirectional);
    ExpectNear(light->GetDirection(), {r.m[0][2], r.m[1][2], r.m[2][2]});
    EXPECT_GT(std::fabs(light->GetDirection().y), 0.5f);
    light->SetLightType(Light::kPoint);
    EXPECT_EQ(light->GetPosition(), Vector3(7, 8, 9));

    light->SetAttenuation({2, 3, 4});
    EXPECT_EQ(light->GetDeviceAttenuation(), Vector3(1, 0, 0));
    light->SetUseAttenuation(true);
    EXPECT_EQ(light->GetDeviceAttenuation(), Vector3(2, 3, 4));
    light->SetSpotAngle(0.5f);
    EXPECT_FLOAT_EQ(light->GetInnerConeAngle(), 1.0f);
    EXPECT_FLOAT_EQ(light->GetOuterConeAngle(), 1.05f);
    EXPECT_FLOAT_EQ(Light::kRange * Light::kRange, 3.4028235e38f);
}

TEST(Light, SaveLoadAndTruncation) {
    Pointer<Light> light(new Light);
    light->SetName("lamp");
    light->SetLightType(Light::kSpot);
    light->SetAmbient({0.1f, 0.2f, 0.3f, 0.4f});
    light->SetDiffuse({1, 0.5f, 0.25f, 1});
    light->SetSpecular({0, 1, 0, 0.5f});
    light->SetAttenuation({1, 0.01f, 0.001f});
    light->SetUseAttenuation(true);
    light->SetFalloff(2);
    light->SetSpotAngle(0.3f);
    const std::vector<uint8_t> full = Saved(*light);
    int status = -1;
    Pointer<Object> back = Loaded(full, &status);
    ASSERT_EQ(status, 0);
    auto* loaded = DynamicCast<Light>(back.Get());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetLightType(), Light::kSpot);
    EXPECT_EQ(loaded->GetAmbient(), Color(0.1f, 0.2f, 0.3f, 0.4f));
    EXPECT_EQ(loaded->GetDiffuse(), Color(1, 0.5f, 0.25f, 1));
    EXPECT_EQ(loaded->GetSpecular(), Color(0, 1, 0, 0.5f));
    EXPECT_EQ(loaded->GetAttenuation(), Vector3(1, 0.01f, 0.001f));
    EXPECT_TRUE(loaded->GetUseAttenuation());
    EXPECT_EQ(loaded->GetFalloff(), 2.0f);
    EXPECT_EQ(loaded->GetSpotAngle(), 0.3f);
    EXPECT_EQ(Saved(*loaded).size(), full.size());

    // Its own part: type, three colours, three factors, a flag, fall-off and angle: 73 bytes.
    LogRecorder log;
    for (size_t cut = full.size() - 73; cut < full.size(); ++cut) {
        log.lines.clear();
        EXPECT_FALSE(Loaded(std::vector<uint8_t>(full.begin(), full.begin() + long(cut)), &status)) << cut;
        EXPECT_TRUE(log.ContainsText("Невозможно загрузить данные источника света. ID[")) << cut;
        EXPECT_TRUE(log.ContainsText("] Имя[lamp]")) << cut;
    }
    // One byte less in the Node part fails there instead.
    log.lines.clear();
    EXPECT_FALSE(Loaded(std::vector<uint8_t>(full.begin(), full.end() - 74)));
    EXPECT_FALSE(log.ContainsText("источника света"));
    EXPECT_TRUE(log.ContainsText("Невозможно загрузить родительские данные. ID["));
}

} // namespace
} // namespace nuv
