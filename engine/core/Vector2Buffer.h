#pragma once

#include "core/Buffer.h"
#include "core/Vector2.h"

#include <cstdint>

namespace nuv {

// Buffer of (x, y) pairs, such as texture coordinates; new elements are (0, 0).
class Vector2Buffer : public BufferOf<Vector2> {
    NUV_DECLARE_OBJECT
public:
    explicit Vector2Buffer(int count = 0, Vector2* data = nullptr) : BufferOf<Vector2>(count, data) {}
};

} // namespace nuv
