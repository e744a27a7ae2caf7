#pragma once

#include <cstdint>
#include <vector>

namespace nuv {

// Hash-chain match finder over a stream of bytes held by the caller. Positions are stream
// positions (they keep growing across the files of a solid archive); only the last
// kMaxDistance bytes before a position can be referenced.
class Rar2MatchFinder {
public:
    static constexpr uint32_t kWindowSize = 1u << 20;
    // Kept below the 1 MiB window so that no decoder's window bookkeeping is stressed.
    static constexpr uint32_t kMaxDistance = kWindowSize - 4096;
    static constexpr uint32_t kMaxLength = 257;  // the longest length every match form can carry

    struct Match {
        uint32_t length = 0;
        uint32_t distance = 0;
        int gain = 0;  // estimated bits saved against literals
    };

    Rar2MatchFinder();

    // Forgets every position.
    void Clear();
    // data[i] is the byte at stream position base + i, up to (not including) end. Positions
    // below low are outside the current dictionary and are never matched.
    void SetData(const uint8_t* data, uint32_t base, uint32_t end, uint32_t low);
    // Records pos as a match source. Call once per position, in increasing order.
    void Insert(uint32_t pos);
    // Best match at pos (not yet inserted) of at most maxLength bytes, judged by estimated
    // gain with literals costing literalBits each; gain 0 when nothing beats literals.
    Match Find(uint32_t pos, uint32_t maxLength, int literalBits, int maxChain, uint32_t niceLength) const;
    // Bytes that match at pos against pos - distance, at most maxLength.
    uint32_t MatchLength(uint32_t pos, uint32_t distance, uint32_t maxLength) const;

    // Estimated bit cost of a long match (symbols 270..297) and of a short one (261..268).
    static int LongCost(uint32_t length, uint32_t distance);
    static int ShortCost(uint32_t distance);

private:
    static constexpr int kHashBits = 17;
    static uint32_t Hash3(const uint8_t* p) {
        return ((uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]) * 2654435761u) >> (32 - kHashBits);
    }
    const uint8_t* At(uint32_t pos) const { return data_ + (pos - base_); }

    std::vector<uint32_t> head3_;  // newest position + 1 per 3-byte hash, 0 for none
    std::vector<uint32_t> head2_;  // newest position + 1 per byte pair
    std::vector<uint32_t> prev_;   // previous position + 1 with the same 3-byte hash
    const uint8_t* data_ = nullptr;
    uint32_t base_ = 0;
    uint32_t end_ = 0;
    uint32_t low_ = 0;
};

} // namespace nuv
