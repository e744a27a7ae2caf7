#include "core/Matrix4.h"

#include <cmath>

#include "core/Quaternion.h"
#include "core/Status.h"

namespace nuv {

Matrix4 Matrix4::operator*(const Matrix4& other) const {
    Matrix4 result = Zero();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            result.m[r][c] = m[r][0] * other.m[0][c] + m[r][1] * other.m[1][c] + m[r][2] * other.m[2][c] +
                             m[r][3] * other.m[3][c];
    return result;
}

Matrix4 Matrix4::operator*(float s) const {
    Matrix4 result = *this;
    for (auto& row : result.m)
        for (float& value : row) value *= s;
    return result;
}

Matrix4 Matrix4::Transposed() const {
    Matrix4 result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) result.m[r][c] = m[c][r];
    return result;
}

namespace {

// The 2 × 2 minors of the top two and bottom two rows, shared by the determinant and the inverse.
// Double precision keeps projection matrices (near 0.1, far 10000) well inside float accuracy.
struct Minors {
    double s[6];
    double c[6];
};

Minors ComputeMinors(const float (&m)[4][4]) {
    const double a00 = m[0][0], a01 = m[0][1], a02 = m[0][2], a03 = m[0][3];
    const double a10 = m[1][0], a11 = m[1][1], a12 = m[1][2], a13 = m[1][3];
    const double a20 = m[2][0], a21 = m[2][1], a22 = m[2][2], a23 = m[2][3];
    const double a30 = m[3][0], a31 = m[3][1], a32 = m[3][2], a33 = m[3][3];
    Minors k;
    k.s[0] = a00 * a11 - a10 * a01;
    k.s[1] = a00 * a12 - a10 * a02;
    k.s[2] = a00 * a13 - a10 * a03;
    k.s[3] = a01 * a12 - a11 * a02;
    k.s[4] = a01 * a13 - a11 * a03;
    k.s[5] = a02 * a13 - a12 * a03;
    k.c[5] = a22 * a33 - a32 * a23;
    k.c[4] = a21 * a33 - a31 * a23;
    k.c[3] = a21 * a32 - a31 * a22;
    k.c[2] = a20 * a33 - a30 * a23;
    k.c[1] = a20 * a32 - a30 * a22;
    k.c[0] = a20 * a31 - a30 * a21;
    return k;
}

double DeterminantOf(const Minors& k) {
    return k.s[0] * k.c[5] - k.s[1] * k.c[4] + k.s[2] * k.c[3] + k.s[3] * k.c[2] - k.s[4] * k.c[1] +
           k.s[5] * k.c[0];
}

} // namespace

float Matrix4::Determinant() const { return static_cast<float>(DeterminantOf(ComputeMinors(m))); }

int Matrix4::Inverse(Matrix4& result) const {
    const Minors k = ComputeMinors(m);
    const double det = DeterminantOf(k);
    if (det == 0.0 || !std::isfinite(det)) return kStatusFailed;
    const double inv = 1.0 / det;
    const double a00 = m[0][0], a01 = m[0][1], a02 = m[0][2], a03 = m[0][3];
    const double a10 = m[1][0], a11 = m[1][1], a12 = m[1][2], a13 = m[1][3];
    const double a20 = m[2][0], a21 = m[2][1], a22 = m[2][2], a23 = m[2][3];
    const double a30 = m[3][0], a31 = m[3][1], a32 = m[3][2], a33 = m[3][3];
    const double r[4][4] = {
        {(a11 * k.c[5] - a12 * k.c[4] + a13 * k.c[3]), (-a01 * k.c[5] + a02 * k.c[4] - a03 * k.c[3]),
         (a31 * k.s[5] - a32 * k.s[4] + a33 * k.s[3]), (-a21 * k.s[5] + a22 * k.s[4] - a23 * k.s[3])},
        {(-a10 * k.c[5] + a12 * k.c[2] - a13 * k.c[1]), (a00 * k.c[5] - a02 * k.c[2] + a03 * k.c[1]),
         (-a30 * k.s[5] + a32 * k.s[2] - a33 * k.s[1]), (a20 * k.s[5] - a22 * k.s[2] + a23 * k.s[1])},
        {(a10 * k.c[4] - a11 * k.c[2] + a13 * k.c[0]), (-a00 * k.c[4] + a01 * k.c[2] - a03 * k.c[0]),
         (a30 * k.s[4] - a31 * k.s[2] + a33 * k.s[0]), (-a20 * k.s[4] + a21 * k.s[2] - a23 * k.s[0])},
        {(-a10 * k.c[3] + a11 * k.c[1] - a12 * k.c[0]), (a00 * k.c[3] - a01 * k.c[1] + a02 * k.c[0]),
         (-a30 * k.s[3] + a31 * k.s[1] - a32 * k.s[0]), (a20 * k.s[3] - a21 * k.s[1] + a22 * k.s[0])},
    };
    Matrix4 out;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            const double value = r[i][j] * inv;
            // A determinant that underflows the reciprocal's range overflows float here.
            if (!std::isfinite(static_cast<float>(value))) return kStatusFailed;
            out.m[i][j] = static_cast<float>(value);
        }
    result = out;
    return kStatusOk;
}

Vector4 Matrix4::Transform(const Vector4& v) const {
    return {v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0] + v.w * m[3][0],
            v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1] + v.w * m[3][1],
            v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2] + v.w * m[3][2],
            v.x * m[0][3] + v.y * m[1][3] + v.z * m[2][3] + v.w * m[3][3]};
}

Vector3 Matrix4::TransformPoint(const Vector3& v) const {
    const Vector4 h = Transform(Vector4(v, 1.0f));
    if (h.w == 1.0f || h.w == 0.0f) return h.Xyz();
    const float inv = 1.0f / h.w;
    return {h.x * inv, h.y * inv, h.z * inv};
}

Vector3 Matrix4::TransformVector(const Vector3& v) const {
    return {v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0],
            v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1],
            v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2]};
}

Matrix4 Matrix4::Translation(const Vector3& t) {
    Matrix4 result;
    result.m[3][0] = t.x;
    result.m[3][1] = t.y;
    result.m[3][2] = t.z;
    return result;
}

Matrix4 Matrix4::Scaling(const Vector3& s) {
    Matrix4 result;
    result.m[0][0] = s.x;
    result.m[1][1] = s.y;
    result.m[2][2] = s.z;
    return result;
}

Matrix4 Matrix4::RotationX(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return {1, 0, 0, 0,  0, c, s, 0,  0, -s, c, 0,  0, 0, 0, 1};
}

Matrix4 Matrix4::RotationY(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return {c, 0, -s, 0,  0, 1, 0, 0,  s, 0, c, 0,  0, 0, 0, 1};
}

Matrix4 Matrix4::RotationZ(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return {c, s, 0, 0,  -s, c, 0, 0,  0, 0, 1, 0,  0, 0, 0, 1};
}

Matrix4 Matrix4::RotationAxis(const Vector3& axis, float angle) {
    const Vector3 n = axis.Normalized();
    if (n == Vector3()) return Identity();
    const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
    // Rows are the images of the x, y and z axes (row vectors), hence the transposed Rodrigues form.
    return {t * n.x * n.x + c,       t * n.x * n.y + s * n.z, t * n.x * n.z - s * n.y, 0,
            t * n.x * n.y - s * n.z, t * n.y * n.y + c,       t * n.y * n.z + s * n.x, 0,
            t * n.x * n.z + s * n.y, t * n.y * n.z - s * n.x, t * n.z * n.z + c,       0,
            0, 0, 0, 1};
}

Matrix4 Matrix4::RotationQuaternion(const Quaternion& q) { return q.ToMatrix(); }

Matrix4 Matrix4::LookToLH(const Vector3& eye, const Vector3& forward, const Vector3& up) {
    const Vector3 f = forward.Normalized();
    const Vector3 r = Cross(up, f).Normalized();
    const Vector3 u = Cross(f, r);
    // The inverse of the eye's placement: its axes become the columns, and the eye moves to the origin.
    return {r.x, u.x, f.x, 0,
            r.y, u.y, f.y, 0,
            r.z, u.z, f.z, 0,
            -Dot(r, eye), -Dot(u, eye), -Dot(f, eye), 1};
}

Matrix4 Matrix4::LookAtLH(const Vector3& eye, const Vector3& target, const Vector3& up) {
    return LookToLH(eye, target - eye, up);
}

Matrix4 Matrix4::PerspectiveFovLH(float fovY, float aspect, float nearPlane, float farPlane) {
    const float yScale = 1.0f / std::tan(fovY * 0.5f);
    const float xScale = yScale / aspect;
    const float depth = farPlane - nearPlane;
    // w' = z carries the view depth into the divide; z' = (z − near)·far/(far − near).
    return {xScale, 0, 0, 0,
            0, yScale, 0, 0,
            0, 0, farPlane / depth, 1,
            0, 0, -nearPlane * farPlane / depth, 0};
}

Matrix4 Matrix4::OrthoLH(float width, float height, float nearPlane, float farPlane) {
    const float depth = farPlane - nearPlane;
    return {2.0f / width, 0, 0, 0,
            0, 2.0f / height, 0, 0,
            0, 0, 1.0f / depth, 0,
            0, 0, -nearPlane / depth, 1};
}

Matrix4 Matrix4::OrthoOffCenterLH(float left, float right, float bottom, float top, float nearPlane,
                                  float farPlane) {
    const float width = right - left, height = top - bottom, depth = farPlane - nearPlane;
    return {2.0f / width, 0, 0, 0,
            0, 2.0f / height, 0, 0,
            0, 0, 1.0f / depth, 0,
            -(left + right) / width, -(top + bottom) / height, -nearPlane / depth, 1};
}

} // namespace nuv
