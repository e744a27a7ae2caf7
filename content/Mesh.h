#pragma once

#include "core/Vector2.h"
#include "core/Vector3.h"

#include <cstdint>
#include <vector>

namespace nuv {

// Triangle lists assembled by the scene builders before they become engine buffers: positions,
// two coordinate sets and indices, with a few solids the village is made of.
class Mesh {
public:
    std::vector<Vector3> positions;
    std::vector<Vector2> uvs;
    std::vector<Vector2> uvs2;  // a second set (light maps, normal maps); empty when unused
    std::vector<int32_t> indices;

    int Vertex(const Vector3& p, const Vector2& uv);
    // Keeps the triangle's front on the side facing outward (clockwise seen from there).
    void Triangle(int a, int b, int c, const Vector3& outward);
    void Quad(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3, float u, float v,
              const Vector3& outward);
    // An ellipsoid of the given radii around centre, facing out.
    void Ellipsoid(const Vector3& centre, const Vector3& radii, int rings, int segments);
    // A closed tube from a to b (radii ra, rb), its ends capped.
    void Tube(const Vector3& a, const Vector3& b, float ra, float rb, int segments);
    // An open cone standing on its base circle at centre, facing out.
    void Cone(const Vector3& centre, float radius, float height, int segments);
    // The second coordinate set, filled with the first where nothing else was given.
    void FillSecondSet();
};

} // namespace nuv
