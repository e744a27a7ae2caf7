#include "media/rarwriter/Rar2MatchFinder.h"

#include "media/rarwriter/Rar2Symbols.h"

#include <algorithm>

namespace nuv {

namespace {
constexpr uint32_t kGoodLength = 32;
constexpr uint32_t kShortMatch = 6;
} // namespace

Rar2MatchFinder::Rar2MatchFinder()
    : head4_(size_t(1) << kHashBits, 0), head3_(size_t(1) << kHash3Bits, 0), head2_(size_t(1) << 16, 0),
      prev_(kWindowSize, 0) {}

void Rar2MatchFinder::Clear() {
    std::fill(head4_.begin(), head4_.end(), 0);
    std::fill(head3_.begin(), head3_.end(), 0);
    std::fill(head2_.begin(), head2_.end(), 0);
    std::fill(prev_.begin(), prev_.end(), 0);
}

void Rar2MatchFinder::SetData(const uint8_t* data, uint32_t base, uint32_t end, uint32_t low) {
    data_ = data;
    base_ = base;
    end_ = end;
    low_ = low;
}

void Rar2MatchFinder::Insert(uint32_t pos) {
    if (pos + 1 >= end_) return;
    const uint8_t* p = At(pos);
    head2_[uint32_t(p[0]) << 8 | p[1]] = pos + 1;
    if (pos + 2 >= end_) return;
    head3_[Hash3(p)] = pos + 1;
    if (pos + 3 >= end_) return;
    uint32_t& head = head4_[Hash4(p)];
    prev_[pos & (kWindowSize - 1)] = head;
    head = pos + 1;
}

uint32_t Rar2MatchFinder::MatchLength(uint32_t pos, uint32_t distance, uint32_t maxLength) const {
    if (distance == 0 || distance > pos - low_ || distance > kMaxDistance) return 0;
    maxLength = std::min(maxLength, end_ - pos);
    const uint8_t* a = At(pos);
    const uint8_t* b = a - distance;
    uint32_t n = 0;
    while (n < maxLength && a[n] == b[n]) ++n;
    return n;
}

int Rar2MatchFinder::LongCost(uint32_t length, uint32_t distance, const CostModel& costs) {
    const int slot = Rar2Symbols::LengthSlot(length - 3 - Rar2Symbols::LongBonus(distance));
    const int dslot = Rar2Symbols::DistanceSlot(distance);
    return costs.main[Rar2Symbols::kLongBase + slot] + Rar2Symbols::kLengthBits[slot] + costs.dist[dslot] +
           Rar2Symbols::kDistBits[dslot];
}

int Rar2MatchFinder::ShortCost(uint32_t distance, const CostModel& costs) {
    const int slot = Rar2Symbols::ShortSlot(distance);
    return costs.main[Rar2Symbols::kShortBase + slot] + Rar2Symbols::kShortBits[slot];
}

Rar2MatchFinder::Match Rar2MatchFinder::Find(uint32_t pos, uint32_t maxLength, const CostModel& costs,
                                             int maxChain, uint32_t niceLength) const {
    Match best;
    maxLength = std::min(maxLength, end_ - pos);
    if (maxLength < 2) return best;
    const uint8_t* cur = At(pos);

    // Length 2 only pays at short distances, where it has its own symbols.
    if (uint32_t c = head2_[uint32_t(cur[0]) << 8 | cur[1]]; c != 0) {
        const uint32_t src = c - 1;
        const uint32_t distance = pos - src;
        if (src >= low_ && distance <= 256) {
            const int gain = costs.Literals(cur, 2) - ShortCost(distance, costs);
            if (gain > 0) best = {2, distance, gain};
        }
    }
    if (maxLength < 3) return best;

    // Literal bits of the first n bytes, extended as longer matches turn up.
    int literalPrefix[kMaxLength + 1];
    literalPrefix[0] = 0;
    uint32_t prefixUpTo = 0;
    uint32_t bestLength = 2;
    uint32_t last = pos + 1;
    uint32_t c = head3_[Hash3(cur)];
    const bool chained = maxLength >= 4;
    bool first = true;
    for (int chain = maxChain; c != 0 && chain > 0; --chain) {
        const uint32_t src = c - 1;
        if (first) {
            // The newest 3-byte candidate, then the 4-byte chain.
            first = false;
            c = chained ? head4_[Hash4(cur)] : 0;
            if (src >= pos || src < low_ || pos - src > kMaxDistance) continue;
        } else {
            if (src >= last || src < low_) break;
            if (pos - src > kMaxDistance) break;
            last = src;
            c = prev_[src & (kWindowSize - 1)];
        }
        if (c > low_ && c <= pos) {
            // The chain is walked one dependent load at a time; start the next ones early.
            __builtin_prefetch(&prev_[(c - 1) & (kWindowSize - 1)]);
            __builtin_prefetch(At(c - 1));
        }
        // Data where only short matches turn up (sampled sound, tables of numbers) would walk
        // every chain to its end for little; a quarter of the budget tells which kind this is.
        if (chain == maxChain - maxChain / 4 && bestLength < kShortMatch) break;
        const uint32_t distance = pos - src;
        const uint8_t* cand = At(src);
        if (cand[bestLength] != cur[bestLength] || cand[0] != cur[0] || cand[1] != cur[1]) continue;
        uint32_t n = 2;
        while (n < maxLength && cand[n] == cur[n]) ++n;
        // Long distances imply a longer minimum length in the code.
        if (n < 3 + Rar2Symbols::LongBonus(distance)) continue;
        for (; prefixUpTo < n; ++prefixUpTo) literalPrefix[prefixUpTo + 1] = literalPrefix[prefixUpTo] + costs.main[cur[prefixUpTo]];
        const int gain = literalPrefix[n] - LongCost(n, distance, costs);
        if (gain > best.gain) {
            best = {n, distance, gain};
        }
        if (n > bestLength) {
            bestLength = n;
            if (n >= niceLength || n >= maxLength) break;
            // With a good match in hand, a short further look is enough.
            if (n >= kGoodLength && chain > maxChain / 4) chain = maxChain / 4;
        }
    }
    return best;
}

} // namespace nuv
