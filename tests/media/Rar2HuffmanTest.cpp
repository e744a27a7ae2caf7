#include "media/rar/Rar2Huffman.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace nuv {
namespace {

// Canonical codes as the format assigns them: by length, then by symbol, counting up.
std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t>& lengths) {
    std::vector<int> order;
    for (int i = 0; i < int(lengths.size()); ++i)
        if (lengths[i]) order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return lengths[a] < lengths[b]; });
    std::vector<uint32_t> codes(lengths.size());
    uint32_t code = 0;
    int len = order.empty() ? 0 : lengths[order[0]];
    for (int s : order) {
        code <<= lengths[s] - len;
        len = lengths[s];
        codes[s] = code++;
    }
    return codes;
}

// A complete code: repeatedly split a random leaf into two one bit longer.
std::vector<uint8_t> RandomCompleteLengths(std::mt19937& rng, int count, int used) {
    std::vector<uint8_t> leaves = {1, 1};
    while (int(leaves.size()) < used) {
        const size_t i = rng() % leaves.size();
        if (leaves[i] >= 15) continue;
        leaves[i]++;
        leaves.push_back(leaves[i]);
    }
    std::vector<uint8_t> lengths(size_t(count), 0);
    std::vector<int> symbols(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) symbols[size_t(i)] = i;
    std::shuffle(symbols.begin(), symbols.end(), rng);
    for (size_t i = 0; i < leaves.size(); ++i) lengths[size_t(symbols[i])] = leaves[i];
    return lengths;
}

TEST(Rar2Huffman, CompleteCodesDecodeToTheirSymbols) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        const int count = round % 3 == 0 ? 298 : round % 3 == 1 ? 48 : 19;
        const int used = 2 + int(rng() % uint32_t(count - 1));
        const std::vector<uint8_t> lengths = RandomCompleteLengths(rng, count, used);
        const std::vector<uint32_t> codes = CanonicalCodes(lengths);
        Rar2Huffman table;
        table.Build(lengths.data(), count);
        for (int s = 0; s < count; ++s) {
            if (!lengths[s]) continue;
            const int len = lengths[s];
            const uint32_t tail = rng() & ((1u << (16 - len)) - 1);
            int used_bits = 0;
            ASSERT_EQ(table.Decode(codes[s] << (16 - len) | tail, used_bits), s) << "round " << round;
            ASSERT_EQ(used_bits, len);
        }
    }
}

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
        }
    }
}

} // namespace
} // namespace nuv
