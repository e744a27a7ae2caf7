#pragma once

namespace nuv {

// Constants and small scalar helpers shared by the math types.
inline constexpr float kPi = 3.14159265358979323846f;
inline constexpr float kTwoPi = 2.0f * kPi;
inline constexpr float kHalfPi = 0.5f * kPi;

// The smallest float step above 1 (bits 0x34000000). Normalising treats a squared length below it
// as zero, and interpolation treats rotations closer than it as equal.
inline constexpr float kFloatEpsilon = 1.1920929e-7f;

inline constexpr float DegreesToRadians(float degrees) { return degrees * (kPi / 180.0f); }
inline constexpr float RadiansToDegrees(float radians) { return radians * (180.0f / kPi); }

template <typename T>
inline constexpr T Clamp(T value, T low, T high) {
    return value < low ? low : (high < value ? high : value);
}

inline constexpr float Lerp(float a, float b, float t) { return a + (b - a) * t; }

} // namespace nuv
