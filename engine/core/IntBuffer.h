#pragma once

#include "core/Buffer.h"

#include <cstdint>

namespace nuv {

// Buffer of 32-bit integers, such as indices (4 bytes each).
class IntBuffer : public BufferOf<int32_t> {
    NUV_DECLARE_OBJECT
public:
    explicit IntBuffer(int count = 0, int32_t* data = nullptr) : BufferOf<int32_t>(count, data) {}
};

} // namespace nuv
