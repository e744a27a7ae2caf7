#pragma once

#include <cstddef>
#include <cstdint>

namespace nuv {

// CRC-32 with the reflected polynomial 0xEDB88320, as RAR archives store it for file
// data and for headers. Update() continues a running value; pass the previous result.
class Crc32 {
public:
    static uint32_t Compute(const void* data, size_t size) { return Update(0, data, size); }
    static uint32_t Update(uint32_t crc, const void* data, size_t size);
    // Update() with the byte tables only, where the processor has a faster way; the same result.
    static uint32_t UpdateScalar(uint32_t crc, const void* data, size_t size);
};

} // namespace nuv
