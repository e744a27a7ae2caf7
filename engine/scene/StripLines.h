#pragma once

#include "scene/GeometryNode.h"

namespace nuv {

// Geometry drawn indexed as a line strip.
class StripLines : public GeometryNode {
    NUV_DECLARE_OBJECT
public:
    StripLines() = default;

    int GetPrimitiveType() const override { return 2; }
};

} // namespace nuv
