#pragma once

#include <cmath>
#include <cstddef>
#include <type_traits>

#include "core/MathUtil.h"

namespace nuv {

// Three float32 components, stored in files as x, y, z. The coordinate system is left-handed:
// +x right, +y up, +z forward (into the screen).
struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Vector3() = default;
    constexpr Vector3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    // Component i (0, 1, 2); loops over axes (boxes, fitting) read this way.
    constexpr float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
    constexpr float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }

    constexpr Vector3 operator-() const { return {-x, -y, -z}; }
    constexpr Vector3 operator+(const Vector3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    constexpr Vector3 operator-(const Vector3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    constexpr Vector3 operator*(float s) const { return {x * s, y * s, z * s}; }
    constexpr Vector3 operator/(float s) const { return {x / s, y / s, z / s}; }
    constexpr Vector3& operator+=(const Vector3& o) { x += o.x; y += o.y; z += o.z; return *this; }
    constexpr Vector3& operator-=(const Vector3& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
    constexpr Vector3& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }
    constexpr bool operator==(const Vector3&) const = default;

    constexpr float LengthSquared() const { return x * x + y * y + z * z; }
    float Length() const { return std::sqrt(LengthSquared()); }
    // A vector whose squared length is below kFloatEpsilon becomes zero: degenerate planes and
    // axes then come out as zero vectors instead of NaNs.
    Vector3 Normalized() const {
        const float lengthSquared = LengthSquared();
        if (lengthSquared < kFloatEpsilon) return {};
        return *this * (1.0f / std::sqrt(lengthSquared));
    }
};

constexpr Vector3 operator*(float s, const Vector3& v) { return v * s; }
constexpr float Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
// The usual determinant formula. In our left-handed frame it still gives x × y = z, y × z = x and
// z × x = y; only the picture changes (the result follows the left-hand rule).
constexpr Vector3 Cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
// Per-axis product, as scales combine.
constexpr Vector3 ComponentMul(const Vector3& a, const Vector3& b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
constexpr Vector3 Lerp(const Vector3& a, const Vector3& b, float t) { return a + (b - a) * t; }
inline float Distance(const Vector3& a, const Vector3& b) { return (b - a).Length(); }

static_assert(std::is_standard_layout_v<Vector3> && std::is_trivially_copyable_v<Vector3>);
static_assert(sizeof(Vector3) == 12 && offsetof(Vector3, y) == 4 && offsetof(Vector3, z) == 8);

} // namespace nuv
