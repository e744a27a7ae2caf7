#pragma once

#include "core/Buffer.h"
#include "core/Vector3.h"

#include <cstdint>

namespace nuv {

// Buffer of (x, y, z) vectors, such as positions and normals; new elements are (0, 0, 0).
class Vector3Buffer : public BufferOf<Vector3> {
    NUV_DECLARE_OBJECT
public:
    explicit Vector3Buffer(int count = 0, Vector3* data = nullptr) : BufferOf<Vector3>(count, data) {}
};

} // namespace nuv
