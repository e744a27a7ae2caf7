#pragma once

#include "scene/GeometryNode.h"

namespace nuv {

// Geometry drawn indexed as a line list: independent segments, an odd last index is ignored.
class Lines : public GeometryNode {
    NUV_DECLARE_OBJECT
public:
    Lines() = default;

    int GetPrimitiveType() const override { return 1; }
};

} // namespace nuv
