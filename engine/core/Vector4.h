#pragma once

#include <cmath>
#include <cstddef>
#include <type_traits>

#include "core/MathUtil.h"
#include "core/Vector3.h"

namespace nuv {

// Four float32 components, stored in files as x, y, z, w. Also the homogeneous form of a point
// (w = 1) or a direction (w = 0), and a plane (a, b, c, d).
struct Vector4 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;

    constexpr Vector4() = default;
    constexpr Vector4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    constexpr Vector4(const Vector3& v, float w_) : x(v.x), y(v.y), z(v.z), w(w_) {}

    constexpr float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }
    constexpr float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }

    constexpr Vector3 Xyz() const { return {x, y, z}; }

    constexpr Vector4 operator-() const { return {-x, -y, -z, -w}; }
    constexpr Vector4 operator+(const Vector4& o) const { return {x + o.x, y + o.y, z + o.z, w + o.w}; }
    constexpr Vector4 operator-(const Vector4& o) const { return {x - o.x, y - o.y, z - o.z, w - o.w}; }
    constexpr Vector4 operator*(float s) const { return {x * s, y * s, z * s, w * s}; }
    constexpr Vector4 operator/(float s) const { return {x / s, y / s, z / s, w / s}; }
    constexpr Vector4& operator+=(const Vector4& o) { x += o.x; y += o.y; z += o.z; w += o.w; return *this; }
    constexpr Vector4& operator-=(const Vector4& o) { x -= o.x; y -= o.y; z -= o.z; w -= o.w; return *this; }
    constexpr Vector4& operator*=(float s) { x *= s; y *= s; z *= s; w *= s; return *this; }
    constexpr bool operator==(const Vector4&) const = default;

    constexpr float LengthSquared() const { return x * x + y * y + z * z + w * w; }
    float Length() const { return std::sqrt(LengthSquared()); }
    Vector4 Normalized() const {
        const float lengthSquared = LengthSquared();
        if (lengthSquared < kFloatEpsilon) return {};
        return *this * (1.0f / std::sqrt(lengthSquared));
    }
};

constexpr Vector4 operator*(float s, const Vector4& v) { return v * s; }
constexpr float Dot(const Vector4& a, const Vector4& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }
constexpr Vector4 Lerp(const Vector4& a, const Vector4& b, float t) { return a + (b - a) * t; }

static_assert(std::is_standard_layout_v<Vector4> && std::is_trivially_copyable_v<Vector4>);
static_assert(sizeof(Vector4) == 16 && offsetof(Vector4, y) == 4 && offsetof(Vector4, z) == 8 &&
              offsetof(Vector4, w) == 12);

} // namespace nuv
