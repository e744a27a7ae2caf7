#include "scene/Camera.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "scene/BoundingVolume.h"

#include <bit>
#include <cmath>

namespace nuv {

NUV_IMPLEMENT_OBJECT(Camera, Node)

// 24/31 to the last bit the scene data was made with (0x3F46318D); a computed aspect ratio
// would differ in the last places.
const float Camera::kHorizontalScale = std::bit_cast<float>(0x3F46318Du);

namespace {

// Right, up and forward are the columns of R(q) (see Quaternion::ToMatrix for its rows).
Vector3 Column(const Quaternion& q, int column) {
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    switch (column) {
    case 0: return {1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y)};
    case 1: return {2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x)};
    default: return {2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y)};
    }
}

Plane PlaneThrough(const Vector3& a, const Vector3& b, const Vector3& c) {
    Plane plane;
    plane.normal = Cross(b - a, c - a).Normalized();
    plane.distance = Dot(plane.normal, a);
    return plane;
}

} // namespace

Vector3 Camera::GetPosition() const { return GetWorldTransform().GetTranslation(); }
Vector3 Camera::GetRight() const { return Column(GetWorldTransform().GetRotation(), 0); }
Vector3 Camera::GetUp() const { return Column(GetWorldTransform().GetRotation(), 1); }
Vector3 Camera::GetForward() const { return Column(GetWorldTransform().GetRotation(), 2); }

void Camera::UpdateWorld(double dt) {
    Update(dt);
    ComputeWorldTransform();
    UpdateMatrices();
}

void Camera::UpdateMatrices() {
    const float f = 1.0f / std::tan(fieldOfView_ * 0.5f);
    const float depth = farPlane_ / (farPlane_ - nearPlane_);
    projection_ = Matrix4::Zero();
    projection_.m[0][0] = f * kHorizontalScale;
    projection_.m[1][1] = f;
    projection_.m[2][2] = depth;
    projection_.m[2][3] = 1.0f;
    projection_.m[3][2] = -nearPlane_ * farPlane_ / (farPlane_ - nearPlane_);

    const Vector3 p = GetPosition(), r = GetRight(), u = GetUp(), fw = GetForward();
    view_ = Matrix4(r.x, u.x, fw.x, 0.0f,
                    r.y, u.y, fw.y, 0.0f,
                    r.z, u.z, fw.z, 0.0f,
                    -Dot(r, p), -Dot(u, p), -Dot(fw, p), 1.0f);
    viewProjection_ = view_ * projection_;
    UpdatePlanes();
}

void Camera::SetMatrices(const Matrix4& view, const Matrix4& projection) {
    view_ = view;
    projection_ = projection;
    viewProjection_ = view_ * projection_;
    UpdatePlanes();
}

Vector3 Camera::GetViewPosition() const {
    Matrix4 inverse;
    return view_.Inverse(inverse) == kStatusOk ? inverse.GetTranslation() : GetPosition();
}

void Camera::UpdatePlanes() {
    Matrix4 inverse;
    if (viewProjection_.Inverse(inverse) != kStatusOk) {
        // A lens without a volume (zero field of view, near at 0 or at far, values that are
        // not numbers): zero planes cull nothing, so the scene is still drawn.
        for (Plane& plane : planes_) plane = Plane{};
        return;
    }
    Vector3 corner[8];
    const float clip[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int i = 0; i < 8; ++i)
        corner[i] = inverse.TransformPoint({clip[i % 4][0], clip[i % 4][1], i < 4 ? 0.0f : 1.0f});
    planes_[kNear] = PlaneThrough(corner[0], corner[1], corner[2]);
    planes_[kFar] = PlaneThrough(corner[6], corner[4], corner[7]);
    planes_[kLeft] = PlaneThrough(corner[0], corner[3], corner[7]);
    planes_[kRight] = PlaneThrough(corner[2], corner[1], corner[6]);
    planes_[kTop] = PlaneThrough(corner[3], corner[2], corner[6]);
    planes_[kBottom] = PlaneThrough(corner[1], corner[0], corner[5]);
    // A mirrored view turns the corners' winding around and with it every normal: each plane
    // is turned to face the middle of the volume, so a mirror's frustum culls as any other.
    Vector3 middle;
    for (const Vector3& c : corner) middle = middle + c * 0.125f;
    for (Plane& plane : planes_)
        if (Dot(plane.normal, middle) - plane.distance < 0.0f) {
            plane.normal = -plane.normal;
            plane.distance = -plane.distance;
        }
}

bool Camera::IsCulled(const BoundingVolume* bound) {
    if (!bound) return false;
    for (int i = 0; i < kPlaneCount; ++i) {
        const int32_t bit = kNearBit >> i;
        if (!(planeMask_ & bit)) continue;
        const int side = bound->PlaneSide(planes_[i]);
        if (side < 0) return true;
        if (side > 0) planeMask_ &= ~bit;
    }
    return false;
}

int Camera::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Parent(Node::Save(stream))
        .Float(fieldOfView_)
        .Float(nearPlane_)
        .Float(farPlane_)
        .Check("Невозможно сохранить данные камеры. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int Camera::Load(Stream& stream) {
    FieldReader in(stream, *this);
    float lens[3] = {};
    in.Parent(Node::Load(stream))
        .Float(lens[0])
        .Float(lens[1])
        .Float(lens[2])
        .Check("Невозможно загрузить данные камеры. ID[%d] Имя[%s]");
    if (!in) return in.GetStatus();
    fieldOfView_ = lens[0];
    nearPlane_ = lens[1];
    farPlane_ = lens[2];
    return kStatusOk;
}

} // namespace nuv
