#include "media/rar/Rar2Huffman.h"

namespace nuv {

void Rar2Huffman::Build(const uint8_t* lengths, int count) {
    if (count > kMaxSymbols) count = kMaxSymbols;
    count_ = count;
    uint32_t lenCount[16] = {};
    for (int i = 0; i < count; ++i) lenCount[lengths[i] & 15]++;
    lenCount[0] = 0;

    // Limits are running sums of left-aligned code spaces, capped to 16 bits; the cap keeps
    // an over-subscribed set decodable (every 16-bit value then falls below some limit).
    uint32_t sum = 0;
    limit_[0] = 0;
    firstPos_[0] = 0;
    for (int len = 1; len < 16; ++len) {
        sum += lenCount[len] << (16 - len);
        limit_[len] = sum > 0xFFFF ? 0xFFFF : sum;
        firstPos_[len] = firstPos_[len - 1] + lenCount[len - 1];
    }

    uint32_t next[16];
    for (int len = 0; len < 16; ++len) next[len] = firstPos_[len];
    for (int i = 0; i < count_; ++i) symbols_[i] = 0;
    for (int i = 0; i < count; ++i) {
        const int len = lengths[i] & 15;
        if (len) symbols_[next[len]++] = uint16_t(i);
    }

    // Limits never decrease, so the code length grows with the prefix value: one pass.
    int len = 1;
    for (uint32_t p = 0; p < (1u << kQuickBits); ++p) {
        const uint32_t bits = p << (16 - kQuickBits);
        while (len <= kQuickBits && bits >= limit_[len]) ++len;
        if (len > kQuickBits) {
            for (; p < (1u << kQuickBits); ++p) quick_[p] = 0;
            break;
        }
        quick_[p] = uint16_t(Lookup(bits, len) << 4 | len);
    }
}

int Rar2Huffman::Lookup(uint32_t bits, int len) const {
    uint32_t pos = firstPos_[len] + ((bits - limit_[len - 1]) >> (16 - len));
    if (pos >= uint32_t(count_)) pos = 0;
    return symbols_[pos];
}

int Rar2Huffman::DecodeSlow(uint32_t bits, int& length) const {
    bits &= 0xFFFE;
    int len = kQuickBits + 1;
    while (len < 15 && bits >= limit_[len]) ++len;
    length = len;
    return Lookup(bits, len);
}

} // namespace nuv
