#include "media/rar/Rar2Huffman.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace nuv {
namespace {

// The shortest length whose left-aligned limit lies above the bits (15 when none does);
// a position past the table gives the first symbol. Damaged streams reach these cases.
struct ReferenceTable {
    explicit ReferenceTable(const std::vector<uint8_t>& lengths) : size(lengths.size()) {
        uint32_t count[16] = {};
        for (uint8_t l : lengths) count[l]++;
        count[0] = 0;
        uint32_t sum = 0;
        for (int l = 1; l < 16; ++l) {
            sum += count[l] << (16 - l);
            limit[l] = std::min(sum, 0xFFFFu);
            first[l] = first[l - 1] + count[l - 1];
        }
        for (int l = 1; l < 16; ++l)
            for (int s = 0; s < int(lengths.size()); ++s)
                if (lengths[s] == l) ordered.push_back(s);
        ordered.resize(lengths.size(), 0);
    }
    int Decode(uint32_t bits, int& used) const {
        bits &= 0xFFFE;
        int len = 1;
        while (len < 15 && bits >= limit[len]) ++len;
        used = len;
        const uint32_t pos = first[len] + ((bits - limit[len - 1]) >> (16 - len));
        return ordered[pos < size ? pos : 0];
    }
    size_t size;
    uint32_t limit[16] = {};
    uint32_t first[16] = {};
    std::vector<int> ordered;
};

TEST(Rar2Huffman, IncompleteAndOversubscribedSetsMatchTheReference) {
    std::mt19937 rng(11);
    for (int round = 0; round < 60; ++round) {
        const int count = round % 2 ? 28 : 257;
        std::vector<uint8_t> lengths(static_cast<size_t>(count));
        const int maxLen = 1 + round % 15;
        const int density = 1 + int(rng() % 4);
        for (auto& l : lengths) l = rng() % uint32_t(density) == 0 ? uint8_t(1 + rng() % uint32_t(maxLen)) : 0;
        if (round == 0) std::fill(lengths.begin(), lengths.end(), 0);
        Rar2Huffman table;
        table.Build(lengths.data(), count);
        const ReferenceTable reference(lengths);
        for (uint32_t bits = 0; bits < 65536; ++bits) {
            int used = 0, expectedUsed = 0;
            const int expected = reference.Decode(bits, expectedUsed);
            ASSERT_EQ(table.Decode(bits, used), expected) << "round " << round << " bits " << bits;
            ASSERT_EQ(used, expectedUsed) << "round " << round << " bits " << bits;
            // The same from the front of a 64-bit buffer, whatever bits follow.
            const uint64_t front = uint64_t(bits) << 48 | (uint64_t(rng()) << 16 | (bits * 40503u & 0xFFFF));
            ASSERT_EQ(table.DecodeFront(front, used), expected) << "round " << round << " bits " << bits;
            ASSERT_EQ(used, expectedUsed) << "round " << round << " bits " << bits;
        }
    }
}

} // namespace
} // namespace nuv
