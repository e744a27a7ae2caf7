#include "scene/Transform.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Status.h"
#include "core/Stream.h"

namespace nuv {

namespace {

// v·R(q), summed over the rows of R in order. R is built with the same operations as
// Quaternion::ToMatrix, without the fourth row and column nobody reads here.
Vector3 Rotate(const Quaternion& q, const Vector3& v) {
    const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
    const float xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
    const float wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
    const float r00 = 1.0f - 2.0f * (yy + zz), r01 = 2.0f * (xy - wz), r02 = 2.0f * (xz + wy);
    const float r10 = 2.0f * (xy + wz), r11 = 1.0f - 2.0f * (xx + zz), r12 = 2.0f * (yz - wx);
    const float r20 = 2.0f * (xz - wy), r21 = 2.0f * (yz + wx), r22 = 1.0f - 2.0f * (xx + yy);
    return {v.x * r00 + v.y * r10 + v.z * r20, v.x * r01 + v.y * r11 + v.z * r21, v.x * r02 + v.y * r12 + v.z * r22};
}

} // namespace

Transform::Transform(const Vector3& translation, const Quaternion& rotation, const Vector3& scale)
    : scale_(scale), rotation_(rotation), translation_(translation), isIdentity_(false), rotationIsIdentity_(false) {}

void Transform::SetScale(const Vector3& scale) {
    scale_ = scale;
    isIdentity_ = false;
}

void Transform::SetRotation(const Quaternion& rotation) {
    rotation_ = rotation;
    isIdentity_ = false;
    rotationIsIdentity_ = false;
}

void Transform::SetTranslation(const Vector3& translation) {
    translation_ = translation;
    isIdentity_ = false;
}

Vector3 Transform::TransformPoint(const Vector3& v) const {
    if (isIdentity_) return v;
    return TransformVector(v) + translation_;
}

Vector3 Transform::TransformVector(const Vector3& v) const {
    if (isIdentity_) return v;
    const Vector3 scaled = ComponentMul(v, scale_);
    return rotationIsIdentity_ ? scaled : Rotate(rotation_, scaled);
}

Transform Transform::Compose(const Transform& local, const Transform& parentWorld) {
    if (local.isIdentity_) return parentWorld;
    if (parentWorld.isIdentity_) return local;
    Transform world;
    world.scale_ = ComponentMul(parentWorld.scale_, local.scale_);
    world.translation_ = parentWorld.TransformPoint(local.translation_);
    if (local.rotationIsIdentity_) {
        world.rotation_ = parentWorld.rotation_;
    } else if (parentWorld.rotationIsIdentity_) {
        world.rotation_ = local.rotation_;
    } else {
        // R(a ⊗ b) = R(a)·R(b): the local rotation first, then the parent's.
        world.rotation_ = local.rotation_ * parentWorld.rotation_;
    }
    world.isIdentity_ = false;
    world.rotationIsIdentity_ = false;
    return world;
}

Matrix4 Transform::ToMatrix() const {
    Matrix4 m = rotation_.ToMatrix();
    for (int column = 0; column < 3; ++column) {
        m.m[0][column] *= scale_.x;
        m.m[1][column] *= scale_.y;
        m.m[2][column] *= scale_.z;
    }
    m.m[3][0] = translation_.x;
    m.m[3][1] = translation_.y;
    m.m[3][2] = translation_.z;
    return m;
}

int Transform::Save(Stream& stream) const {
    FieldWriter(stream).Vector3(scale_).Quaternion(rotation_).Vector3(translation_);
    return stream.GetError();
}

int Transform::Load(Stream& stream) {
    Vector3 scale, translation;
    Quaternion rotation;
    if (!FieldReader(stream).Vector3(scale).Quaternion(rotation).Vector3(translation).Check()) return stream.GetError();
    *this = Transform(translation, rotation, scale);
    return kStatusOk;
}

} // namespace nuv
