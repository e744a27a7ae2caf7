#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/MathUtil.h"

namespace nuv {

// A colour as four float32 channels, stored in files as r, g, b, a. Channels are nominally 0..1 but
// are not clamped: lighting sums may exceed 1 until the colour is packed.
struct Color {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 1.0f;  // opaque black by default

    constexpr Color() = default;
    constexpr Color(float r_, float g_, float b_, float a_ = 1.0f) : r(r_), g(g_), b(b_), a(a_) {}

    constexpr Color operator+(const Color& o) const { return {r + o.r, g + o.g, b + o.b, a + o.a}; }
    constexpr Color operator-(const Color& o) const { return {r - o.r, g - o.g, b - o.b, a - o.a}; }
    constexpr Color operator*(float s) const { return {r * s, g * s, b * s, a * s}; }
    // Channel-wise product (modulation), as texture stages and lights combine colours.
    constexpr Color operator*(const Color& o) const { return {r * o.r, g * o.g, b * o.b, a * o.a}; }
    constexpr Color& operator+=(const Color& o) { r += o.r; g += o.g; b += o.b; a += o.a; return *this; }
    constexpr Color& operator*=(float s) { r *= s; g *= s; b *= s; a *= s; return *this; }
    constexpr bool operator==(const Color&) const = default;

    // Packed 0xAARRGGBB with each channel clamped to 0..1 and rounded to the nearest of 0..255
    // (the form device colours and vertex colours take).
    constexpr std::uint32_t ToArgb() const {
        return (ToByte(a) << 24) | (ToByte(r) << 16) | (ToByte(g) << 8) | ToByte(b);
    }

private:
    static constexpr std::uint32_t ToByte(float channel) {
        // NaN compares false both ways and would reach the cast: treat it as 0.
        if (!(channel > 0.0f)) return 0;
        if (channel >= 1.0f) return 255;
        return static_cast<std::uint32_t>(channel * 255.0f + 0.5f);
    }
};

constexpr Color operator*(float s, const Color& c) { return c * s; }
constexpr Color Lerp(const Color& a, const Color& b, float t) { return a + (b - a) * t; }

static_assert(std::is_standard_layout_v<Color> && std::is_trivially_copyable_v<Color>);
static_assert(sizeof(Color) == 16 && offsetof(Color, g) == 4 && offsetof(Color, b) == 8 && offsetof(Color, a) == 12);

} // namespace nuv
