#include "media/rarwriter/Rar2Encoder.h"

#include "media/rarwriter/BitWriter.h"
#include "media/rarwriter/HuffmanCodeBuilder.h"

#include <algorithm>
#include <cstring>

namespace nuv {

namespace {

using S = Rar2Symbols;

constexpr int kDistOffset = S::kMainSymbols;
constexpr int kRepOffset = S::kMainSymbols + S::kDistSymbols;
constexpr size_t kSegmentTokens = 4096;    // unit of the new-tables decision
constexpr size_t kMaxBlockTokens = 1 << 18;
constexpr uint32_t kPositionLimit = 0xF0000000u;
constexpr uint32_t kGoodLength = 32;

// The code lengths of one table set, run-length coded with the bit-length code.
struct TableHeader {
    std::vector<uint8_t> symbols;  // 0..18
    std::vector<uint8_t> extra;    // extra value for 16/17/18
    uint8_t bitLengths[S::kBitLengthSymbols] = {};
    uint16_t bitCodes[S::kBitLengthSymbols] = {};
    uint64_t bits = 0;             // whole header size in bits
};

int ExtraBitsOf(uint8_t symbol) { return symbol == 16 ? 2 : symbol == 17 ? 3 : symbol == 18 ? 7 : 0; }

TableHeader EncodeLengths(const uint8_t* lengths, int count, bool audio) {
    TableHeader h;
    for (int i = 0; i < count;) {
        const uint8_t v = lengths[i];
        int run = 1;
        while (i + run < count && lengths[i + run] == v) ++run;
        int r = run;
        if (v == 0) {
            while (r >= 11) {
                const int n = std::min(r, 138);
                h.symbols.push_back(18);
                h.extra.push_back(uint8_t(n - 11));
                r -= n;
            }
            if (r >= 3) {
                h.symbols.push_back(17);
                h.extra.push_back(uint8_t(r - 3));
                r = 0;
            }
        } else {
            h.symbols.push_back(v);
            h.extra.push_back(0);
            --r;
            while (r >= 3) {
                const int n = std::min(r, 6);
                h.symbols.push_back(16);
                h.extra.push_back(uint8_t(n - 3));
                r -= n;
            }
        }
        for (; r > 0; --r) {
            h.symbols.push_back(v);
            h.extra.push_back(0);
        }
        i += run;
    }
    uint32_t freq[S::kBitLengthSymbols] = {};
    for (uint8_t s : h.symbols) freq[s]++;
    HuffmanCodeBuilder::BuildLengths(freq, S::kBitLengthSymbols, HuffmanCodeBuilder::kMaxLength, h.bitLengths);
    HuffmanCodeBuilder::BuildCodes(h.bitLengths, S::kBitLengthSymbols, h.bitCodes);
    h.bits = 2 + (audio ? 2 : 0) + 4 * S::kBitLengthSymbols;
    for (uint8_t s : h.symbols) h.bits += h.bitLengths[s] + ExtraBitsOf(s);
    return h;
}

void WriteHeader(const TableHeader& h, bool audio, int channels, BitWriter& bits) {
    bits.Write(audio ? 1 : 0, 1);
    bits.Write(0, 1);  // lengths are sent whole, not as changes to the previous table
    if (audio) bits.Write(uint32_t(channels - 1), 2);
    for (int i = 0; i < S::kBitLengthSymbols; ++i) bits.Write(h.bitLengths[i], 4);
    for (size_t i = 0; i < h.symbols.size(); ++i) {
        const uint8_t s = h.symbols[i];
        bits.Write(h.bitCodes[s], h.bitLengths[s]);
        if (int n = ExtraBitsOf(s)) bits.Write(h.extra[i], n);
    }
}

// Code lengths of the three LZ tables for the frequencies. The new-tables symbol always
// gets a code, so that any later block may switch tables.
void BuildTableLengths(const uint32_t* freq, uint8_t* lengths) {
    uint32_t main[S::kMainSymbols];
    std::memcpy(main, freq, sizeof(main));
    main[S::kNewTables] = std::max<uint32_t>(main[S::kNewTables], 1);
    HuffmanCodeBuilder::BuildLengths(main, S::kMainSymbols, HuffmanCodeBuilder::kMaxLength, lengths);
    HuffmanCodeBuilder::BuildLengths(freq + kDistOffset, S::kDistSymbols, HuffmanCodeBuilder::kMaxLength,
                                     lengths + kDistOffset);
    HuffmanCodeBuilder::BuildLengths(freq + kRepOffset, S::kRepLenSymbols, HuffmanCodeBuilder::kMaxLength,
                                     lengths + kRepOffset);
}

// Bits of a block coded with its own new tables, header included.
uint64_t OwnTablesCost(const uint32_t* freq) {
    uint8_t lengths[S::kTableSymbols];
    BuildTableLengths(freq, lengths);
    return EncodeLengths(lengths, S::kTableSymbols, false).bits +
           HuffmanCodeBuilder::Cost(freq, lengths, S::kTableSymbols);
}

} // namespace

Rar2Encoder::Rar2Encoder() : Rar2Encoder(Settings{}) {}

Rar2Encoder::Rar2Encoder(const Settings& settings) : settings_(settings) {
    settings_.channels = std::clamp(settings_.channels, 1, 4);
    settings_.maxChain = std::max(settings_.maxChain, 1);
    settings_.niceLength = std::clamp<uint32_t>(settings_.niceLength, 3, Rar2MatchFinder::kMaxLength);
    segment_.reserve(kSegmentTokens);
    ResetCosts();
}

void Rar2Encoder::ResetCosts() {
    // Before any statistics: literals about a byte, matches a little cheaper per symbol.
    std::fill(std::begin(costs_.main), std::end(costs_.main), uint8_t(8));
    std::fill(std::begin(costs_.main) + 256, std::end(costs_.main), uint8_t(7));
    std::fill(std::begin(costs_.dist), std::end(costs_.dist), uint8_t(5));
    std::fill(std::begin(costs_.rep), std::end(costs_.rep), uint8_t(4));
}

void Rar2Encoder::UpdateCosts(const uint32_t* freq) {
    uint8_t lengths[S::kTableSymbols];
    BuildTableLengths(freq, lengths);
    // Symbols without a code would need new tables: price them dearly but not out of reach.
    auto cost = [](uint8_t len) { return uint8_t(len == 0 ? 16 : len); };
    for (int i = 0; i < S::kMainSymbols; ++i) costs_.main[i] = cost(lengths[i]);
    for (int i = 0; i < S::kDistSymbols; ++i) costs_.dist[i] = cost(lengths[kDistOffset + i]);
    for (int i = 0; i < S::kRepLenSymbols; ++i) costs_.rep[i] = cost(lengths[kRepOffset + i]);
}

Rar2Encoder::~Rar2Encoder() = default;

void Rar2Encoder::Reset() {
    streamStart_ = base_ + uint32_t(history_.size());
    if (streamStart_ > kPositionLimit / 2) {
        finder_.Clear();
        streamStart_ = 0;
    }
    history_.clear();
    base_ = streamStart_;
    std::fill(std::begin(recent_), std::end(recent_), 0u);
    recentNext_ = 0;
    lastDistance_ = 0;
    lastLength_ = 0;
    ResetCosts();
    hasTables_ = false;
    audioTables_ = false;
    std::memset(lengths_, 0, sizeof(lengths_));
    for (AudioChannel& c : audio_) c = AudioChannel{};
    channelDelta_ = 0;
}

int Rar2Encoder::Encode(const uint8_t* data, size_t size, std::vector<uint8_t>& packed) {
    packed.clear();
    if (uint64_t(base_) + history_.size() + size > kPositionLimit) return 1;
    // Only the last window's worth of bytes can still be referenced.
    if (history_.size() > 4 * size_t(Rar2MatchFinder::kWindowSize)) {
        const size_t drop = history_.size() - Rar2MatchFinder::kWindowSize;
        history_.erase(history_.begin(), history_.begin() + ptrdiff_t(drop));
        base_ += uint32_t(drop);
    }
    const uint32_t start = base_ + uint32_t(history_.size());
    if (size > 0) history_.insert(history_.end(), data, data + size);
    const uint32_t end = start + uint32_t(size);
    finder_.SetData(history_.data(), base_, end, streamStart_);

    BitWriter bits(packed);
    if (settings_.audio) {
        EncodeAudio(start, end, bits);
    } else {
        EncodeLz(start, end, bits);
    }
    bits.Flush();
    // A one-byte stream (a single literal continuing a solid stream) is rejected by some
    // readers; a zero byte after the last symbol is ignored by all.
    if (packed.size() == 1) packed.push_back(0);
    return 0;
}

int Rar2Encoder::RecentIndex(uint32_t distance) const {
    for (int i = 0; i < 4; ++i) {
        if (recent_[(recentNext_ - 1 - uint32_t(i)) & 3] == distance) return i;
    }
    return -1;
}

Rar2MatchFinder::Match Rar2Encoder::BestAt(uint32_t pos, uint32_t end, int maxChain) {
    const uint32_t maxLength = std::min(Rar2MatchFinder::kMaxLength, end - pos);
    Rar2MatchFinder::Match best = finder_.Find(pos, maxLength, costs_, maxChain, settings_.niceLength);
    const uint8_t* cur = finder_.Bytes(pos);
    // The recent distances are cheap to name, so they are tried on their own.
    for (int i = 0; i < 4; ++i) {
        const uint32_t d = recent_[(recentNext_ - 1 - uint32_t(i)) & 3];
        if (d == 0 || RecentIndex(d) != i) continue;
        const uint32_t n = finder_.MatchLength(pos, d, maxLength);
        if (d == lastDistance_ && lastLength_ > 0 && n >= lastLength_) {
            const int gain = costs_.Literals(cur, lastLength_) - costs_.main[S::kRepeatLast];
            if (gain > best.gain) best = {lastLength_, d, gain};
        }
        const uint32_t bonus = S::RecentBonus(d);
        if (n < 2 + bonus) continue;
        const int slot = S::LengthSlot(n - 2 - bonus);
        const int gain = costs_.Literals(cur, n) - (costs_.main[S::kRecentBase + 1 + i] + costs_.rep[slot] + S::kLengthBits[slot]);
        if (gain > best.gain) best = {n, d, gain};
    }
    return best;
}

void Rar2Encoder::EncodeLz(uint32_t start, uint32_t end, BitWriter& bits) {
    uint32_t inserted = start;
    auto insertUpTo = [&](uint32_t p) {
        for (; inserted < p; ++inserted) finder_.Insert(inserted);
    };
    const uint8_t* bytes = history_.data() - 0;  // index with (pos - base_)
    uint32_t pos = start;
    while (pos < end) {
        insertUpTo(pos);
        Rar2MatchFinder::Match m = BestAt(pos, end, settings_.maxChain);
        if (m.gain <= 0) {
            EmitLiteral(bytes[pos - base_], bits);
            ++pos;
            continue;
        }
        // Lazy matching: a better match one byte later is worth a literal now.
        while (m.length < settings_.niceLength && pos + 1 < end) {
            insertUpTo(pos + 1);
            // A good match already in hand needs only a quick look for a better one.
            const int chain = m.length >= kGoodLength ? settings_.maxChain / 4 + 1 : settings_.maxChain;
            Rar2MatchFinder::Match next = BestAt(pos + 1, end, chain);
            if (next.gain <= m.gain) break;
            EmitLiteral(bytes[pos - base_], bits);
            ++pos;
            m = next;
        }
        EmitMatch(m.length, m.distance, bits);
        pos += m.length;
    }
    insertUpTo(end);
    CloseSegment(bits);
    FlushPending(bits);
    if (!hasTables_) {
        // An empty start of a stream still owes the decoder its tables.
        uint8_t lengths[S::kTableSymbols];
        uint32_t none[S::kTableSymbols] = {};
        BuildTableLengths(none, lengths);
        WriteBlock({}, lengths, true, bits);
    }
}

void Rar2Encoder::EmitLiteral(uint8_t byte, BitWriter& bits) {
    AddToken(Token{byte, 0, 0, 0, 0, 0, 0}, bits);
}

void Rar2Encoder::EmitMatch(uint32_t length, uint32_t distance, BitWriter& bits) {
    Token t{0, 0, 0, 0, 0, 0, 0};
    const int recent = RecentIndex(distance);
    if (length == lastLength_ && distance == lastDistance_) {
        t.main = S::kRepeatLast;
    } else if (recent >= 0 && length >= 2 + S::RecentBonus(distance)) {
        const uint32_t value = length - 2 - S::RecentBonus(distance);
        const int slot = S::LengthSlot(value);
        t.main = uint16_t(S::kRecentBase + 1 + recent);
        t.sub = uint16_t(slot);
        t.subTable = 2;
        t.subBits = S::kLengthBits[slot];
        t.subExtra = value - S::kLengthBase[slot];
    } else if (length == 2) {
        const int slot = S::ShortSlot(distance);
        t.main = uint16_t(S::kShortBase + slot);
        t.mainBits = S::kShortBits[slot];
        t.mainExtra = distance - 1 - S::kShortBase8[slot];
    } else {
        const uint32_t value = length - 3 - S::LongBonus(distance);
        const int slot = S::LengthSlot(value);
        const int dslot = S::DistanceSlot(distance);
        t.main = uint16_t(S::kLongBase + slot);
        t.mainBits = S::kLengthBits[slot];
        t.mainExtra = value - S::kLengthBase[slot];
        t.sub = uint16_t(dslot);
        t.subTable = 1;
        t.subBits = S::kDistBits[dslot];
        t.subExtra = distance - 1 - S::kDistBase[dslot];
    }
    recent_[recentNext_ & 3] = distance;
    recentNext_++;
    lastDistance_ = distance;
    lastLength_ = length;
    AddToken(t, bits);
}

void Rar2Encoder::AddToken(const Token& token, BitWriter& bits) {
    segment_.push_back(token);
    segmentFreq_.f[token.main]++;
    if (token.subTable == 1) segmentFreq_.f[kDistOffset + token.sub]++;
    if (token.subTable == 2) segmentFreq_.f[kRepOffset + token.sub]++;
    if (segment_.size() >= kSegmentTokens) CloseSegment(bits);
}

void Rar2Encoder::CloseSegment(BitWriter& bits) {
    if (segment_.empty()) return;
    bool merge = false;
    if (!pending_.empty() && pending_.size() + segment_.size() <= kMaxBlockTokens) {
        Frequencies merged = pendingFreq_;
        merged.Add(segmentFreq_);
        merge = OwnTablesCost(merged.f) <= OwnTablesCost(pendingFreq_.f) + OwnTablesCost(segmentFreq_.f);
    }
    if (!merge) FlushPending(bits);
    pending_.insert(pending_.end(), segment_.begin(), segment_.end());
    pendingFreq_.Add(segmentFreq_);
    // The next segment is parsed with prices from the block it will most likely join.
    UpdateCosts(pendingFreq_.f);
    segment_.clear();
    segmentFreq_ = Frequencies{};
}

void Rar2Encoder::FlushPending(BitWriter& bits) {
    if (pending_.empty()) return;
    uint8_t lengths[S::kTableSymbols];
    BuildTableLengths(pendingFreq_.f, lengths);
    bool reuse = false;
    if (hasTables_) {
        // Keep the tables in force when they code this block about as well as new ones.
        bool covered = true;
        for (int i = 0; i < S::kTableSymbols && covered; ++i) covered = pendingFreq_.f[i] == 0 || lengths_[i] != 0;
        if (covered) {
            const uint64_t oldCost = HuffmanCodeBuilder::Cost(pendingFreq_.f, lengths_, S::kTableSymbols);
            const uint64_t newCost = lengths_[S::kNewTables] + EncodeLengths(lengths, S::kTableSymbols, false).bits +
                                     HuffmanCodeBuilder::Cost(pendingFreq_.f, lengths, S::kTableSymbols);
            reuse = oldCost <= newCost;
        }
    }
    WriteBlock(pending_, lengths, !reuse, bits);
    pending_.clear();
    pendingFreq_ = Frequencies{};
}

void Rar2Encoder::WriteBlock(const std::vector<Token>& tokens, const uint8_t* lengths, bool newTables,
                             BitWriter& bits) {
    if (newTables) {
        if (hasTables_) bits.Write(codes_[S::kNewTables], lengths_[S::kNewTables]);
        WriteHeader(EncodeLengths(lengths, S::kTableSymbols, false), false, 1, bits);
        std::memcpy(lengths_, lengths, sizeof(lengths_));
        HuffmanCodeBuilder::BuildCodes(lengths_, S::kMainSymbols, codes_);
        HuffmanCodeBuilder::BuildCodes(lengths_ + kDistOffset, S::kDistSymbols, codes_ + kDistOffset);
        HuffmanCodeBuilder::BuildCodes(lengths_ + kRepOffset, S::kRepLenSymbols, codes_ + kRepOffset);
        hasTables_ = true;
    }
    for (const Token& t : tokens) {
        bits.Write(codes_[t.main], lengths_[t.main]);
        bits.Write(t.mainExtra, t.mainBits);
        if (t.subTable != 0) {
            const int index = (t.subTable == 1 ? kDistOffset : kRepOffset) + t.sub;
            bits.Write(codes_[index], lengths_[index]);
            bits.Write(t.subExtra, t.subBits);
        }
    }
}

void Rar2Encoder::EncodeAudio(uint32_t start, uint32_t end, BitWriter& bits) {
    // Filled in below once the LZ path is settled; until then audio data goes through LZ.
    EncodeLz(start, end, bits);
}

} // namespace nuv
