#include "core/Quaternion.h"

#include <cmath>

namespace nuv {

Quaternion Quaternion::FromAxisAngle(const Vector3& axis, float angle) {
    const Vector3 n = axis.Normalized();
    if (n == Vector3()) return Identity();
    // R(q) applies conj(q) to row vectors, so the vector part is negated to turn by +angle.
    const float s = -std::sin(angle * 0.5f);
    return {n.x * s, n.y * s, n.z * s, std::cos(angle * 0.5f)};
}

Quaternion Quaternion::FromRotationMatrix(const Matrix4& matrix) {
    const auto& a = matrix.m;
    const double a00 = a[0][0], a11 = a[1][1], a22 = a[2][2];
    const double trace = a00 + a11 + a22;
    // Divide by the largest of 4w, 4x, 4y, 4z so that the square root never sees a small argument.
    double qx, qy, qz, qw;
    if (trace > 0.0) {
        const double s = std::sqrt(trace + 1.0) * 2.0;
        qw = 0.25 * s;
        qx = (double(a[2][1]) - a[1][2]) / s;
        qy = (double(a[0][2]) - a[2][0]) / s;
        qz = (double(a[1][0]) - a[0][1]) / s;
    } else if (a00 >= a11 && a00 >= a22) {
        const double arg = 1.0 + a00 - a11 - a22;
        if (!(arg > 0.0)) return Identity();
        const double s = std::sqrt(arg) * 2.0;
        qx = 0.25 * s;
        qy = (double(a[0][1]) + a[1][0]) / s;
        qz = (double(a[0][2]) + a[2][0]) / s;
        qw = (double(a[2][1]) - a[1][2]) / s;
    } else if (a11 >= a22) {
        const double arg = 1.0 + a11 - a00 - a22;
        if (!(arg > 0.0)) return Identity();
        const double s = std::sqrt(arg) * 2.0;
        qy = 0.25 * s;
        qx = (double(a[0][1]) + a[1][0]) / s;
        qz = (double(a[1][2]) + a[2][1]) / s;
        qw = (double(a[0][2]) - a[2][0]) / s;
    } else {
        const double arg = 1.0 + a22 - a00 - a11;
        if (!(arg > 0.0)) return Identity();
        const double s = std::sqrt(arg) * 2.0;
        qz = 0.25 * s;
        qx = (double(a[0][2]) + a[2][0]) / s;
        qy = (double(a[1][2]) + a[2][1]) / s;
        qw = (double(a[1][0]) - a[0][1]) / s;
    }
    // A matrix that is only nearly orthonormal still gives a unit rotation.
    const double length = std::sqrt(qx * qx + qy * qy + qz * qz + qw * qw);
    if (!(length > 0.0) || !std::isfinite(length)) return Identity();
    return {float(qx / length), float(qy / length), float(qz / length), float(qw / length)};
}

Matrix4 Quaternion::ToMatrix() const {
    const float xx = x * x, yy = y * y, zz = z * z;
    const float xy = x * y, xz = x * z, yz = y * z;
    const float wx = w * x, wy = w * y, wz = w * z;
    return {1.0f - 2.0f * (yy + zz), 2.0f * (xy - wz),        2.0f * (xz + wy),        0,
            2.0f * (xy + wz),        1.0f - 2.0f * (xx + zz), 2.0f * (yz - wx),        0,
            2.0f * (xz - wy),        2.0f * (yz + wx),        1.0f - 2.0f * (xx + yy), 0,
            0, 0, 0, 1};
}

Vector3 Quaternion::Rotate(const Vector3& v) const {
    // conj(q)·v·q without building the matrix: v − 2w(u × v) + 2u × (u × v), u = (x, y, z).
    const Vector3 u(x, y, z);
    const Vector3 uv = Cross(u, v);
    return v - uv * (2.0f * w) + Cross(u, uv) * 2.0f;
}

Quaternion Quaternion::Inverse() const {
    const float lengthSquared = LengthSquared();
    if (lengthSquared == 0.0f) return Identity();
    const float inv = 1.0f / lengthSquared;
    return {-x * inv, -y * inv, -z * inv, w * inv};
}

Quaternion Quaternion::Normalized() const {
    const float lengthSquared = LengthSquared();
    if (lengthSquared < kFloatEpsilon) return Identity();
    return *this * (1.0f / std::sqrt(lengthSquared));
}

Quaternion Slerp(const Quaternion& q0, const Quaternion& q1, float t) {
    float cosine = Dot(q0, q1);
    float sign = 1.0f;
    if (cosine < 0.0f) {
        cosine = -cosine;
        sign = -1.0f;
    }
    if (!(1.0f - cosine > kFloatEpsilon)) return q0;
    const float angle = std::acos(cosine);
    const float sinAngle = std::sin(angle);
    const float f0 = std::sin((1.0f - t) * angle) / sinAngle;
    const float f1 = sign * std::sin(t * angle) / sinAngle;
    return {f0 * q0.x + f1 * q1.x, f0 * q0.y + f1 * q1.y, f0 * q0.z + f1 * q1.z, f0 * q0.w + f1 * q1.w};
}

} // namespace nuv
