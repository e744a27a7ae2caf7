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

    // Estimated bits per symbol, taken from the code lengths of recent tables.
    struct CostModel {
        uint8_t main[298];
        uint8_t dist[48];
        uint8_t rep[28];
        // Bits of n literals starting at p.
        int Literals(const uint8_t* p, uint32_t n) const {
            int bits = 0;
            for (uint32_t i = 0; i < n; ++i) bits += main[p[i]];
            return bits;
        }
    };

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
    // Best match at pos (not yet inserted) of at most maxLength bytes, judged by the bits it
    // saves against literals under the cost model; gain 0 when nothing beats literals.
    Match Find(uint32_t pos, uint32_t maxLength, const CostModel& costs, int maxChain, uint32_t niceLength) const;
    // Bytes that match at pos against pos - distance, at most maxLength.
    uint32_t MatchLength(uint32_t pos, uint32_t distance, uint32_t maxLength) const;

    // Estimated bit cost of a long match (symbols 270..297) and of a short one (261..268).
    static int LongCost(uint32_t length, uint32_t distance, const CostModel& costs);
    static int ShortCost(uint32_t distance, const CostModel& costs);
    const uint8_t* Bytes(uint32_t pos) const { return At(pos); }

private:
    static constexpr int kHashBits = 17;
    static constexpr int kHash3Bits = 15;
    static uint32_t Hash3(const uint8_t* p) {
        return ((uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]) * 2654435761u) >> (32 - kHash3Bits);
    }
    static uint32_t Hash4(const uint8_t* p) {
        const uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        return (v * 2654435761u) >> (32 - kHashBits);
    }
    const uint8_t* At(uint32_t pos) const { return data_ + (pos - base_); }

    // Chains run over 4-byte hashes, which stay short on binary data; 3- and 2-byte matches,
    // worth taking only close by, come from the newest position with those bytes.
    std::vector<uint32_t> head4_;  // newest position + 1 per 4-byte hash, 0 for none
    std::vector<uint32_t> head3_;  // newest position + 1 per 3-byte hash
    std::vector<uint32_t> head2_;  // newest position + 1 per byte pair
    std::vector<uint32_t> prev_;   // previous position + 1 with the same 4-byte hash
    const uint8_t* data_ = nullptr;
    uint32_t base_ = 0;
    uint32_t end_ = 0;
    uint32_t low_ = 0;
};

} // namespace nuv
