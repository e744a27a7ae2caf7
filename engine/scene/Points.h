#pragma once

#include "scene/GeometryNode.h"

namespace nuv {

// Geometry drawn indexed as a point list.
class Points : public GeometryNode {
    NUV_DECLARE_OBJECT
public:
    Points() = default;

    int GetPrimitiveType() const override { return 0; }
};

} // namespace nuv
