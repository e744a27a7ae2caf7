#pragma once

#include "core/Matrix4.h"
#include "core/Quaternion.h"
#include "core/Vector3.h"

namespace nuv {

class Stream;

// Scale, then rotation, then translation, applied to row vectors. The two flags are shortcuts
// that let identity and rotation-free transforms skip work: every setter clears isIdentity,
// setting the rotation also clears rotationIsIdentity, and only the default constructor (or a
// copy of a transform that has them) sets them.
class Transform {
public:
    Transform() = default;
    // The general form: both flags are cleared, whatever the values.
    Transform(const Vector3& translation, const Quaternion& rotation, const Vector3& scale);

    const Vector3& GetScale() const { return scale_; }
    const Quaternion& GetRotation() const { return rotation_; }
    const Vector3& GetTranslation() const { return translation_; }
    bool IsIdentity() const { return isIdentity_; }
    bool IsRotationIdentity() const { return rotationIsIdentity_; }

    void SetScale(const Vector3& scale);
    void SetRotation(const Quaternion& rotation);
    void SetTranslation(const Vector3& translation);

    // v scaled, rotated by R(rotation) as a row vector, then translated.
    Vector3 TransformPoint(const Vector3& v) const;
    // The same without the translation.
    Vector3 TransformVector(const Vector3& v) const;
    // The world transform of a node from its local transform and its parent's world transform.
    static Transform Compose(const Transform& local, const Transform& parentWorld);
    // The world matrix: v·ToMatrix() equals TransformPoint(v).
    Matrix4 ToMatrix() const;

    // Scale, rotation (x, y, z, w) and translation as ten float32 values; both return the
    // stream's error state. Load clears both flags.
    int Save(Stream& stream) const;
    int Load(Stream& stream);

    bool operator==(const Transform&) const = default;

private:
    Vector3 scale_{1.0f, 1.0f, 1.0f};
    Quaternion rotation_;
    Vector3 translation_;
    bool isIdentity_ = true;
    bool rotationIsIdentity_ = true;
};

} // namespace nuv
