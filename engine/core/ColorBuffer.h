#pragma once

#include "core/Buffer.h"
#include "core/Color.h"

#include <cstdint>

namespace nuv {

// Buffer of (r, g, b, a) colours.
class ColorBuffer : public BufferOf<Color> {
    NUV_DECLARE_OBJECT
public:
    explicit ColorBuffer(int count = 0, Color* data = nullptr) : BufferOf<Color>(count, data) {}
};

} // namespace nuv
