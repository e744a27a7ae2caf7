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

    // Each length up to kQuickBits owns one run of prefixes (limits never decrease); within
    // it every 2^(kQuickBits - len) prefixes share one symbol.
    uint32_t start = 0;
    for (int len = 1; len <= kQuickBits; ++len) {
        const uint32_t end = limit_[len] >= 0xFFFF ? (1u << kQuickBits) : limit_[len] >> (16 - kQuickBits);
        if (end <= start) continue;
        const uint32_t step = 1u << (kQuickBits - len);
        uint32_t pos = firstPos_[len];
        for (uint32_t p = start; p < end; p += step, ++pos) {
            const uint16_t e = uint16_t((pos < uint32_t(count_) ? symbols_[pos] : symbols_[0]) << 4 | len);
            const uint32_t stop = p + step < end ? p + step : end;
            for (uint32_t q = p; q < stop; ++q) quick_[q] = e;
        }
        start = end;
    }
    for (uint32_t p = start; p < (1u << kQuickBits); ++p) quick_[p] = 0;
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

uint32_t Rar2Huffman::SlowEntry(uint32_t bits) const {
    int length;
    const int symbol = DecodeSlow(bits, length);
    return uint32_t(symbol) << 4 | uint32_t(length);
}

} // namespace nuv
