#pragma once

#include <cstddef>
#include <type_traits>

#include "core/Vector3.h"
#include "core/Vector4.h"

namespace nuv {

struct Quaternion;

// A 4 × 4 float32 matrix, row-major (m[row][column]), stored in files row after row.
//
// Conventions, shared with the renderers (the OpenGL module converts from these):
// - Row vectors: a point maps as v' = v·M, so the translation sits in the fourth row
//   (m[3][0..2]) and the fourth column is (0, 0, 0, 1) for affine matrices.
// - Products read left to right in the order the transforms apply: world × view × projection.
// - Left-handed: +x right, +y up, +z forward. A positive angle turns x toward y about z, y toward z
//   about x and z toward x about y (clockwise when seen from the positive axis toward the origin).
// - Clip space depth runs from 0 at the near plane to 1 at the far plane.
struct Matrix4 {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    // The identity.
    constexpr Matrix4() = default;
    constexpr Matrix4(float m00, float m01, float m02, float m03,
                      float m10, float m11, float m12, float m13,
                      float m20, float m21, float m22, float m23,
                      float m30, float m31, float m32, float m33)
        : m{{m00, m01, m02, m03}, {m10, m11, m12, m13}, {m20, m21, m22, m23}, {m30, m31, m32, m33}} {}

    static constexpr Matrix4 Identity() { return {}; }
    static constexpr Matrix4 Zero() { return {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}; }

    constexpr float operator()(int row, int column) const { return m[row][column]; }
    constexpr float& operator()(int row, int column) { return m[row][column]; }
    constexpr Vector4 Row(int row) const { return {m[row][0], m[row][1], m[row][2], m[row][3]}; }
    constexpr Vector4 Column(int column) const { return {m[0][column], m[1][column], m[2][column], m[3][column]}; }
    constexpr void SetRow(int row, const Vector4& v) { m[row][0] = v.x; m[row][1] = v.y; m[row][2] = v.z; m[row][3] = v.w; }
    constexpr Vector3 GetTranslation() const { return {m[3][0], m[3][1], m[3][2]}; }
    const float* Data() const { return &m[0][0]; }
    float* Data() { return &m[0][0]; }

    constexpr bool operator==(const Matrix4& o) const {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                if (m[r][c] != o.m[r][c]) return false;
        return true;
    }

    // this × other: first this transform, then other (row vectors).
    Matrix4 operator*(const Matrix4& other) const;
    Matrix4& operator*=(const Matrix4& other) { return *this = *this * other; }
    Matrix4 operator*(float s) const;

    Matrix4 Transposed() const;
    float Determinant() const;
    // General inverse (cofactors, computed in double). A singular or non-finite matrix gives
    // kStatusFailed and leaves result untouched; kStatusOk otherwise.
    int Inverse(Matrix4& result) const;

    // v·M with w = 1, then divided by the resulting w (1 for affine matrices; a projection gives
    // normalised device coordinates). A resulting w of 0 (a point on the eye plane) is not divided.
    Vector3 TransformPoint(const Vector3& v) const;
    // v·M with w = 0: the upper 3 × 3 only, so translation does not apply.
    Vector3 TransformVector(const Vector3& v) const;
    // Full v·M.
    Vector4 Transform(const Vector4& v) const;

    static Matrix4 Translation(const Vector3& t);
    static Matrix4 Translation(float x, float y, float z) { return Translation(Vector3(x, y, z)); }
    static Matrix4 Scaling(const Vector3& s);
    static Matrix4 Scaling(float x, float y, float z) { return Scaling(Vector3(x, y, z)); }
    static Matrix4 Scaling(float s) { return Scaling(Vector3(s, s, s)); }
    // Rotations by angle in radians, positive as described above; (1, 0, 0)·RotationZ(π/2) = (0, 1, 0).
    static Matrix4 RotationX(float angle);
    static Matrix4 RotationY(float angle);
    static Matrix4 RotationZ(float angle);
    // About an axis through the origin (normalised here); a zero axis gives the identity.
    static Matrix4 RotationAxis(const Vector3& axis, float angle);
    // The rotation matrix R(q) of Quaternion::ToMatrix.
    static Matrix4 RotationQuaternion(const Quaternion& q);

    // View matrix of an eye at `eye` looking at `target`: the eye goes to the origin, the direction
    // to the target to +z, `up` toward +y, and right = up × forward to +x.
    static Matrix4 LookAtLH(const Vector3& eye, const Vector3& target, const Vector3& up);
    // The same from a forward direction instead of a target.
    static Matrix4 LookToLH(const Vector3& eye, const Vector3& forward, const Vector3& up);
    // Perspective projection: fovY is the vertical field of view in radians, aspect = width / height.
    // View-space z = near maps to depth 0 and z = far to depth 1 (after the divide by w = z).
    static Matrix4 PerspectiveFovLH(float fovY, float aspect, float nearPlane, float farPlane);
    // Orthographic projection of a width × height box centred on the view axis; z from near to far
    // maps to depth 0..1, w stays 1.
    static Matrix4 OrthoLH(float width, float height, float nearPlane, float farPlane);
    // Orthographic projection of the box [left, right] × [bottom, top] × [near, far] onto x, y in
    // -1..1 and depth 0..1.
    static Matrix4 OrthoOffCenterLH(float left, float right, float bottom, float top, float nearPlane,
                                    float farPlane);
};

// Row vector times matrix.
inline Vector4 operator*(const Vector4& v, const Matrix4& matrix) { return matrix.Transform(v); }

static_assert(std::is_standard_layout_v<Matrix4> && std::is_trivially_copyable_v<Matrix4>);
static_assert(sizeof(Matrix4) == 64);

} // namespace nuv
