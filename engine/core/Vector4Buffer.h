#pragma once

#include "core/Buffer.h"
#include "core/Vector4.h"

#include <cstdint>

namespace nuv {

// Buffer of four-float vectors, such as tangents or bone weights.
class Vector4Buffer : public BufferOf<Vector4> {
    NUV_DECLARE_OBJECT
public:
    explicit Vector4Buffer(int count = 0, Vector4* data = nullptr) : BufferOf<Vector4>(count, data) {}
};

} // namespace nuv
