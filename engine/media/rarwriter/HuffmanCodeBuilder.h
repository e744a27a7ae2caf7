#pragma once

#include <cstdint>

namespace nuv {

// Prefix codes as RAR 2.0 decoders rebuild them from code lengths alone: canonical codes,
// shorter codes first, equal lengths in symbol order, codes read most significant bit first.
class HuffmanCodeBuilder {
public:
    static constexpr int kMaxLength = 15;

    // Code lengths (at most maxLength) for the given symbol frequencies; unused symbols get 0.
    // The code is always complete (Kraft sum exactly 1): when fewer than two symbols are used,
    // the lowest unused symbols are given codes too, since some decoders reject a lone code.
    static void BuildLengths(const uint32_t* freqs, int count, int maxLength, uint8_t* lengths);

    // Canonical codes for the lengths (codes[i] undefined where lengths[i] is 0).
    static void BuildCodes(const uint8_t* lengths, int count, uint16_t* codes);

    // Sum over symbols of freq * length, in bits.
    static uint64_t Cost(const uint32_t* freqs, const uint8_t* lengths, int count);
};

} // namespace nuv
