#pragma once

#include "core/Buffer.h"

#include <cstdint>

namespace nuv {

// Buffer of floats (4 bytes each).
class FloatBuffer : public BufferOf<float> {
    NUV_DECLARE_OBJECT
public:
    explicit FloatBuffer(int count = 0, float* data = nullptr) : BufferOf<float>(count, data) {}
};

} // namespace nuv
