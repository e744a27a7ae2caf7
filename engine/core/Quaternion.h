#pragma once

#include <cmath>
#include <cstddef>
#include <type_traits>

#include "core/MathUtil.h"
#include "core/Matrix4.h"
#include "core/Vector3.h"

namespace nuv {

// A rotation as a quaternion (x, y, z, w), stored in files in that order; identity (0, 0, 0, 1).
//
// Convention, fixed by the scene data: the rotation matrix is R(q) of ToMatrix, applied to row
// vectors (v' = v·R(q)), and the Hamilton product composes left to right like matrices:
// R(a * b) = R(a)·R(b), that is `a * b` rotates by a first, then by b. In quaternion terms v' is
// conj(q)·v·q. FromAxisAngle is built to agree with Matrix4::RotationAxis, so its vector part
// is -axis·sin(angle/2).
struct Quaternion {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;

    constexpr Quaternion() = default;
    constexpr Quaternion(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}

    static constexpr Quaternion Identity() { return {}; }
    // The rotation of Matrix4::RotationAxis(axis, angle); the axis is normalised here and a zero
    // axis gives the identity.
    static Quaternion FromAxisAngle(const Vector3& axis, float angle);
    // The quaternion whose R(q) is the upper 3 × 3 of m (an orthonormal rotation, read in the
    // ToMatrix layout; translation and the fourth column are ignored). The result is unit length,
    // with either sign.
    static Quaternion FromRotationMatrix(const Matrix4& m);

    // R(q), rows:
    //   1 − 2(y² + z²),  2(xy − wz),      2(xz + wy)
    //   2(xy + wz),      1 − 2(x² + z²),  2(yz − wx)
    //   2(xz − wy),      2(yz + wx),      1 − 2(x² + y²)
    // with a fourth row and column of the identity. Exact for unit quaternions only.
    Matrix4 ToMatrix() const;

    // v·R(q).
    Vector3 Rotate(const Vector3& v) const;

    // Hamilton product.
    constexpr Quaternion operator*(const Quaternion& b) const {
        return {w * b.x + x * b.w + y * b.z - z * b.y,
                w * b.y - x * b.z + y * b.w + z * b.x,
                w * b.z + x * b.y - y * b.x + z * b.w,
                w * b.w - x * b.x - y * b.y - z * b.z};
    }
    constexpr Quaternion& operator*=(const Quaternion& b) { return *this = *this * b; }
    // Component-wise forms, for blends.
    constexpr Quaternion operator+(const Quaternion& o) const { return {x + o.x, y + o.y, z + o.z, w + o.w}; }
    constexpr Quaternion operator-(const Quaternion& o) const { return {x - o.x, y - o.y, z - o.z, w - o.w}; }
    constexpr Quaternion operator*(float s) const { return {x * s, y * s, z * s, w * s}; }
    constexpr Quaternion operator-() const { return {-x, -y, -z, -w}; }
    constexpr bool operator==(const Quaternion&) const = default;

    constexpr Quaternion Conjugate() const { return {-x, -y, -z, w}; }
    // Conjugate over the squared norm; the zero quaternion has no inverse and gives the identity.
    Quaternion Inverse() const;
    constexpr float LengthSquared() const { return x * x + y * y + z * z + w * w; }
    float Length() const { return std::sqrt(LengthSquared()); }
    // Unit length; a quaternion too short to have a direction gives the identity.
    Quaternion Normalized() const;
};

constexpr Quaternion operator*(float s, const Quaternion& q) { return q * s; }
constexpr float Dot(const Quaternion& a, const Quaternion& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }

// Spherical interpolation from q0 (t = 0) to q1 (t = 1) along the shorter arc: when q0 · q1 < 0 the
// q1 term is negated. Rotations closer than kFloatEpsilon (1 − |q0 · q1|) give q0 unchanged. The
// result is not renormalised; stored animations depend on these exact numbers.
Quaternion Slerp(const Quaternion& q0, const Quaternion& q1, float t);

static_assert(std::is_standard_layout_v<Quaternion> && std::is_trivially_copyable_v<Quaternion>);
static_assert(sizeof(Quaternion) == 16 && offsetof(Quaternion, y) == 4 && offsetof(Quaternion, z) == 8 &&
              offsetof(Quaternion, w) == 12);

} // namespace nuv
