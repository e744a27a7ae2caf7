#pragma once

#include <cmath>
#include <cstddef>
#include <type_traits>

#include "core/MathUtil.h"

namespace nuv {

// Two float32 components, stored in files as x then y.
struct Vector2 {
    float x = 0.0f;
    float y = 0.0f;

    constexpr Vector2() = default;
    constexpr Vector2(float x_, float y_) : x(x_), y(y_) {}

    constexpr Vector2 operator-() const { return {-x, -y}; }
    constexpr Vector2 operator+(const Vector2& o) const { return {x + o.x, y + o.y}; }
    constexpr Vector2 operator-(const Vector2& o) const { return {x - o.x, y - o.y}; }
    constexpr Vector2 operator*(float s) const { return {x * s, y * s}; }
    constexpr Vector2 operator/(float s) const { return {x / s, y / s}; }
    constexpr Vector2& operator+=(const Vector2& o) { x += o.x; y += o.y; return *this; }
    constexpr Vector2& operator-=(const Vector2& o) { x -= o.x; y -= o.y; return *this; }
    constexpr Vector2& operator*=(float s) { x *= s; y *= s; return *this; }
    constexpr bool operator==(const Vector2&) const = default;

    constexpr float LengthSquared() const { return x * x + y * y; }
    float Length() const { return std::sqrt(LengthSquared()); }
    // A vector too short to have a direction becomes zero rather than NaN.
    Vector2 Normalized() const {
        const float lengthSquared = LengthSquared();
        if (lengthSquared < kFloatEpsilon) return {};
        return *this * (1.0f / std::sqrt(lengthSquared));
    }
};

constexpr Vector2 operator*(float s, const Vector2& v) { return v * s; }
constexpr float Dot(const Vector2& a, const Vector2& b) { return a.x * b.x + a.y * b.y; }
constexpr Vector2 Lerp(const Vector2& a, const Vector2& b, float t) { return a + (b - a) * t; }

static_assert(std::is_standard_layout_v<Vector2> && std::is_trivially_copyable_v<Vector2>);
static_assert(sizeof(Vector2) == 8 && offsetof(Vector2, y) == 4);

} // namespace nuv
