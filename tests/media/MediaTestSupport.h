#pragma once

// Data makers shared by the media tests.
#include <cstdint>
#include <string>
#include <vector>

namespace nuv::test {

// Deterministic pseudo-random bytes.
inline std::vector<uint8_t> Noise(size_t size, uint32_t seed) {
    std::vector<uint8_t> b(size);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& v : b) {
        x = x * 1664525u + 1013904223u;
        v = uint8_t(x >> 24);
    }
    return b;
}

// Text-like data: the 16 words, in an order that state drives.
inline std::vector<uint8_t> WordText(size_t size, uint32_t state, const char* const (&words)[16]) {
    std::vector<uint8_t> b;
    uint32_t x = state;
    while (b.size() < size) {
        x = x * 1103515245u + 12345u;
        const char* w = words[(x >> 16) % 16];
        b.insert(b.end(), w, w + std::char_traits<char>::length(w));
    }
    b.resize(size);
    return b;
}

} // namespace nuv::test
