#pragma once

#include <cstddef>
#include <cstdint>

namespace nuv {

// Canonical Huffman decode table of the RAR 2.0 format: codes ordered by length, then by
// symbol. A lookup on the first kQuickBits bits resolves short codes at once; longer ones
// fall back to the per-length limits. Both paths give the same symbol for the same bits,
// including for incomplete or over-subscribed code sets found in damaged streams.
class Rar2Huffman {
public:
    static constexpr int kMaxSymbols = 298;
    static constexpr int kQuickBits = 10;

    // lengths[i] is the code length of symbol i (0: no code); count <= kMaxSymbols.
    void Build(const uint8_t* lengths, int count);

    // bits: the next 16 input bits, most significant first. Returns the symbol and sets
    // length to the number of bits it used (1..15).
    int Decode(uint32_t bits, int& length) const {
        const uint32_t e = quick_[bits >> (16 - kQuickBits)];
        if (e & 0xF) {
            length = int(e & 0xF);
            return int(e >> 4);
        }
        return DecodeSlow(bits, length);
    }
    // Decode() on the front of a 64-bit bit buffer (the next bit in its top bit). One shift
    // and whole-register masks keep the step from one symbol to the next short: a decoder
    // that waits for nothing else waits for this.
    int DecodeFront(uint64_t front, int& length) const {
        uint32_t e = quick_[front >> (64 - kQuickBits)];
        if (__builtin_expect((e & 0xF) == 0, 0)) e = SlowEntry(uint32_t(front >> 48));
        length = int(e & 0xF);
        return int(e >> 4);
    }

private:
    int DecodeSlow(uint32_t bits, int& length) const;
    // DecodeSlow() as a quick-table entry: symbol << 4 | length.
    uint32_t SlowEntry(uint32_t bits) const;
    int Lookup(uint32_t bits, int len) const;

    uint32_t limit_[16] = {};     // left-aligned limit of each length; limit_[0] = 0
    uint32_t firstPos_[16] = {};  // index in symbols_ of the first code of each length
    uint16_t symbols_[kMaxSymbols] = {};
    int count_ = 0;
    uint16_t quick_[1 << kQuickBits] = {};  // symbol << 4 | length, 0 when longer than kQuickBits
};

} // namespace nuv
