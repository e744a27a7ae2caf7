#include "content/Mesh.h"

#include "core/MathUtil.h"

#include <cmath>
#include <utility>

namespace nuv {

namespace {

Vector3 Normalized(const Vector3& v) {
    const float length = std::sqrt(Dot(v, v));
    return length > 0.0f ? v / length : Vector3(0.0f, 1.0f, 0.0f);
}

} // namespace

int Mesh::Vertex(const Vector3& p, const Vector2& uv) {
    positions.push_back(p);
    uvs.push_back(uv);
    return int(positions.size()) - 1;
}

void Mesh::Triangle(int a, int b, int c, const Vector3& outward) {
    const Vector3 n = Cross(positions[size_t(b)] - positions[size_t(a)], positions[size_t(c)] - positions[size_t(a)]);
    if (Dot(n, outward) < 0.0f) std::swap(b, c);
    indices.insert(indices.end(), {a, b, c});
}

void Mesh::Quad(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3, float u, float v,
                const Vector3& outward) {
    const int a = Vertex(p0, {0.0f, v}), b = Vertex(p1, {u, v}), c = Vertex(p2, {u, 0.0f}), d = Vertex(p3, {0.0f, 0.0f});
    Triangle(a, b, c, outward);
    Triangle(a, c, d, outward);
}

void Mesh::Ellipsoid(const Vector3& centre, const Vector3& radii, int rings, int segments) {
    const int first = int(positions.size());
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s <= segments; ++s) {
            const float polar = float(r) / float(rings) * kPi, azimuth = float(s) / float(segments) * 2.0f * kPi;
            const Vector3 unit{std::sin(polar) * std::cos(azimuth), std::cos(polar), std::sin(polar) * std::sin(azimuth)};
            Vertex(centre + Vector3(unit.x * radii.x, unit.y * radii.y, unit.z * radii.z),
                   {float(s) / float(segments), float(r) / float(rings)});
        }
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const int a = first + r * (segments + 1) + s, b = a + 1, c = a + segments + 1, d = c + 1;
            const Vector3 out = positions[size_t(a)] + positions[size_t(d)] - centre * 2.0f;
            if (r > 0) Triangle(a, b, d, out);
            if (r + 1 < rings) Triangle(a, d, c, out);
        }
}

void Mesh::Tube(const Vector3& a, const Vector3& b, float ra, float rb, int segments) {
    const Vector3 axis = Normalized(b - a);
    const Vector3 side = Normalized(Cross(std::fabs(axis.y) < 0.9f ? Vector3(0, 1, 0) : Vector3(1, 0, 0), axis));
    const Vector3 other = Cross(axis, side);
    const int first = int(positions.size());
    for (int s = 0; s <= segments; ++s) {
        const float angle = float(s) / float(segments) * 2.0f * kPi;
        const Vector3 radial = side * std::cos(angle) + other * std::sin(angle);
        Vertex(a + radial * ra, {float(s) / float(segments), 1.0f});
        Vertex(b + radial * rb, {float(s) / float(segments), 0.0f});
    }
    const int capA = Vertex(a, {0.5f, 1.0f}), capB = Vertex(b, {0.5f, 0.0f});
    for (int s = 0; s < segments; ++s) {
        const int i0 = first + 2 * s, i1 = i0 + 1, i2 = i0 + 2, i3 = i0 + 3;
        const Vector3 out = positions[size_t(i0)] + positions[size_t(i3)] - a - b;
        Triangle(i0, i2, i3, out);
        Triangle(i0, i3, i1, out);
        Triangle(capA, i0, i2, -axis);
        Triangle(capB, i1, i3, axis);
    }
}

void Mesh::Cone(const Vector3& centre, float radius, float height, int segments) {
    const int apex = Vertex(centre + Vector3(0.0f, height, 0.0f), {0.5f, 0.0f});
    for (int s = 0; s < segments; ++s) {
        const float a0 = float(s) / float(segments) * 2.0f * kPi, a1 = float(s + 1) / float(segments) * 2.0f * kPi;
        const Vector3 out{std::cos((a0 + a1) * 0.5f), 0.5f, std::sin((a0 + a1) * 0.5f)};
        const int b0 = Vertex(centre + Vector3(radius * std::cos(a0), 0.0f, radius * std::sin(a0)), {0.0f, 1.0f});
        const int b1 = Vertex(centre + Vector3(radius * std::cos(a1), 0.0f, radius * std::sin(a1)), {1.0f, 1.0f});
        Triangle(apex, b0, b1, out);
    }
}

void Mesh::FillSecondSet() {
    for (size_t i = uvs2.size(); i < uvs.size(); ++i) uvs2.push_back(uvs[i]);
}

} // namespace nuv
