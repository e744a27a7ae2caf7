#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nuv {

// Deterministic inputs for the archive benchmarks: the same size always gives the same bytes,
// so packed sizes and timings compare across builds and machines.
struct RarBenchData {
    // Text: words from a vocabulary of 64 with a skewed choice, lines of varying length.
    static std::vector<uint8_t> Text(size_t size);
    // Machine-code-like: short repeated instruction patterns with varying operands.
    static std::vector<uint8_t> Binary(size_t size);
    // 16-bit stereo PCM: two tones with a little noise.
    static std::vector<uint8_t> Pcm(size_t size);
};

} // namespace nuv
