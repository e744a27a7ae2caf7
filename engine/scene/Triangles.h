#pragma once

#include "scene/GeometryNode.h"

namespace nuv {

// Geometry drawn indexed as a triangle list, which can derive its per-vertex normals and
// tangents from the positions, the indices and a texture coordinate set.
class Triangles : public GeometryNode {
    NUV_DECLARE_OBJECT
public:
    Triangles() = default;

    int GetPrimitiveType() const override { return 3; }
    // Area-weighted face normals summed per vertex, then normalised (zero where nothing added).
    void ComputeNormals() override;
    // Per-vertex directions of growing texture u from the first two components of set.
    void ComputeTangents(int set) override;
};

} // namespace nuv
