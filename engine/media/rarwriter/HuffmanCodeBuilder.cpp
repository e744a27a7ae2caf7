#include "media/rarwriter/HuffmanCodeBuilder.h"

#include <algorithm>
#include <vector>

namespace nuv {

namespace {

// Plain Huffman code lengths by the two-queue method over leaves sorted by (freq, symbol),
// so equal inputs always give equal trees. Returns the longest length.
int HuffmanLengths(const std::vector<uint64_t>& freqs, const std::vector<int>& symbols, uint8_t* lengths) {
    const size_t n = symbols.size();
    std::vector<int> order(symbols);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return freqs[a] < freqs[b]; });

    // Nodes 0..n-1 are leaves (in sorted order), n.. are internal nodes in creation order.
    std::vector<uint64_t> weight(2 * n);
    std::vector<int> parent(2 * n, -1);
    for (size_t i = 0; i < n; ++i) weight[i] = freqs[order[i]];
    size_t leaf = 0, inner = n, next = n;
    auto take = [&]() -> size_t {
        if (leaf < n && (inner >= next || weight[leaf] <= weight[inner])) return leaf++;
        return inner++;
    };
    while (next < 2 * n - 1) {
        size_t a = take();
        size_t b = take();
        weight[next] = weight[a] + weight[b];
        parent[a] = parent[b] = int(next);
        ++next;
    }
    // Depths from the root down: parents always have higher indices than their children.
    std::vector<int> depth(2 * n, 0);
    int longest = 0;
    for (size_t i = 2 * n - 1; i-- > 0;) {
        if (parent[i] >= 0) depth[i] = depth[size_t(parent[i])] + 1;
    }
    for (size_t i = 0; i < n; ++i) {
        lengths[order[i]] = uint8_t(depth[i]);
        longest = std::max(longest, depth[i]);
    }
    return longest;
}

} // namespace

void HuffmanCodeBuilder::BuildLengths(const uint32_t* freqs, int count, int maxLength, uint8_t* lengths) {
    std::vector<uint64_t> f(size_t(count), 0);
    std::vector<int> used;
    for (int i = 0; i < count; ++i) {
        lengths[i] = 0;
        if (freqs[i] > 0) {
            f[size_t(i)] = freqs[i];
            used.push_back(i);
        }
    }
    for (int i = 0; i < count && used.size() < 2; ++i) {
        if (f[size_t(i)] == 0) {
            f[size_t(i)] = 1;
            used.insert(std::lower_bound(used.begin(), used.end(), i), i);
        }
    }
    if (used.size() < 2) return;  // a table of fewer than two symbols cannot have a code
    // Flattening the frequencies until the tree fits: each halving shortens the deepest
    // paths, and with all frequencies equal the depth is ceil(log2(n)) <= 9 here.
    while (HuffmanLengths(f, used, lengths) > maxLength) {
        for (int s : used) f[size_t(s)] = (f[size_t(s)] + 1) / 2;
    }
}

void HuffmanCodeBuilder::BuildCodes(const uint8_t* lengths, int count, uint16_t* codes) {
    int lengthCount[kMaxLength + 1] = {};
    for (int i = 0; i < count; ++i) lengthCount[lengths[i]]++;
    lengthCount[0] = 0;
    uint32_t next[kMaxLength + 2] = {};
    uint32_t code = 0;
    for (int len = 1; len <= kMaxLength; ++len) {
        code = (code + uint32_t(lengthCount[len - 1])) << 1;
        next[len] = code;
    }
    for (int i = 0; i < count; ++i) {
        if (lengths[i] != 0) codes[i] = uint16_t(next[lengths[i]]++);
    }
}

uint64_t HuffmanCodeBuilder::Cost(const uint32_t* freqs, const uint8_t* lengths, int count) {
    uint64_t bits = 0;
    for (int i = 0; i < count; ++i) bits += uint64_t(freqs[i]) * lengths[i];
    return bits;
}

} // namespace nuv
