#include "media/rarwriter/Rar2Encoder.h"

#include "core/Status.h"
#include "media/rarwriter/BitWriter.h"
#include "media/rarwriter/HuffmanCodeBuilder.h"

#include <algorithm>
#include <cstdlib>
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
    std::memset(lengths_, 0, sizeof(lengths_));
    std::memset(audioLengths_, 0, sizeof(audioLengths_));
    for (AudioChannel& c : audio_) c = AudioChannel{};
    channelDelta_ = 0;
    audioChannel_ = 0;
}

int Rar2Encoder::Encode(const uint8_t* data, size_t size, std::vector<uint8_t>& packed) {
    packed.clear();
    if (uint64_t(base_) + history_.size() + size > kPositionLimit) return kStatusFailed;
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
    // Some readers look further ahead than the last code needs and fail at the end of the
    // data (seen with short streams and audio streams); a zero byte after the last symbol
    // satisfies them, and is too short to be taken for another table switch.
    packed.push_back(0);
    return kStatusOk;
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

// The decoder's predictor, run forward: the symbol is what makes the decoder output byte,
// and the state moves exactly as the decoder's will.
uint8_t Rar2Encoder::AudioSymbol(int channel, uint8_t byte) {
    AudioChannel& v = audio_[channel];
    v.count++;
    v.d[3] = v.d[2];
    v.d[2] = v.d[1];
    v.d[1] = v.lastDelta - v.d[0];
    v.d[0] = v.lastDelta;
    const int predicted = 8 * v.lastByte + v.k[0] * v.d[0] + v.k[1] * v.d[1] + v.k[2] * v.d[2] + v.k[3] * v.d[3] +
                          v.k[4] * channelDelta_;
    const uint32_t prediction = (uint32_t(predicted) >> 3) & 0xFF;
    const uint8_t symbol = uint8_t(prediction - byte);

    const int d = int(int8_t(symbol)) * 8;
    const int terms[11] = {d,
                           d - v.d[0], d + v.d[0], d - v.d[1], d + v.d[1], d - v.d[2], d + v.d[2],
                           d - v.d[3], d + v.d[3], d - channelDelta_, d + channelDelta_};
    for (int i = 0; i < 11; ++i) v.err[i] += uint32_t(std::abs(terms[i]));
    v.lastDelta = int(int8_t(uint8_t(byte - v.lastByte)));
    channelDelta_ = v.lastDelta;
    v.lastByte = byte;

    if ((v.count & 0x1F) == 0) {
        int best = 0;
        for (int i = 1; i < 11; ++i) {
            if (v.err[i] < v.err[best]) best = i;
        }
        if (best > 0) {
            int& k = v.k[(best - 1) / 2];
            if (best % 2 == 1) {
                if (k >= -16) --k;
            } else {
                if (k < 16) ++k;
            }
        }
        std::fill(std::begin(v.err), std::end(v.err), 0u);
    }
    return symbol;
}

namespace {

constexpr size_t kAudioSegment = 16384;

void BuildAudioLengths(const uint32_t* freq, int channels, uint8_t* lengths) {
    for (int c = 0; c < channels; ++c) {
        uint32_t f[S::kAudioSymbols];
        std::memcpy(f, freq + c * S::kAudioSymbols, sizeof(f));
        f[256] = std::max<uint32_t>(f[256], 1);  // every table can announce new tables
        HuffmanCodeBuilder::BuildLengths(f, S::kAudioSymbols, HuffmanCodeBuilder::kMaxLength,
                                         lengths + c * S::kAudioSymbols);
    }
}

uint64_t AudioOwnCost(const uint32_t* freq, int channels) {
    uint8_t lengths[4 * S::kAudioSymbols];
    BuildAudioLengths(freq, channels, lengths);
    const int count = channels * S::kAudioSymbols;
    return EncodeLengths(lengths, count, true).bits + HuffmanCodeBuilder::Cost(freq, lengths, count);
}

} // namespace

void Rar2Encoder::EncodeAudio(uint32_t start, uint32_t end, BitWriter& bits) {
    const int channels = settings_.channels;
    const int count = channels * S::kAudioSymbols;
    const size_t n = end - start;
    const uint8_t* data = history_.data() + (start - base_);
    std::vector<uint8_t> symbols(n), lanes(n);
    for (size_t i = 0; i < n; ++i) {
        lanes[i] = uint8_t(audioChannel_);
        symbols[i] = AudioSymbol(audioChannel_, data[i]);
        audioChannel_ = (audioChannel_ + 1) % channels;
    }
    // Segments join the pending block while one table set codes them more cheaply.
    std::vector<uint32_t> pendingFreq(size_t(count), 0), segmentFreq(size_t(count), 0), merged(size_t(count), 0);
    size_t pendingStart = 0;
    for (size_t seg = 0; seg < n; seg += kAudioSegment) {
        const size_t segEnd = std::min(n, seg + kAudioSegment);
        std::fill(segmentFreq.begin(), segmentFreq.end(), 0u);
        for (size_t i = seg; i < segEnd; ++i) segmentFreq[size_t(lanes[i]) * S::kAudioSymbols + symbols[i]]++;
        if (seg > pendingStart) {
            for (int i = 0; i < count; ++i) merged[size_t(i)] = pendingFreq[size_t(i)] + segmentFreq[size_t(i)];
            const bool merge = seg - pendingStart < kMaxBlockTokens &&
                               AudioOwnCost(merged.data(), channels) <=
                                   AudioOwnCost(pendingFreq.data(), channels) + AudioOwnCost(segmentFreq.data(), channels);
            if (!merge) {
                WriteAudioBlock(&symbols[pendingStart], &lanes[pendingStart], seg - pendingStart, pendingFreq.data(), bits);
                pendingStart = seg;
                std::fill(pendingFreq.begin(), pendingFreq.end(), 0u);
            }
        }
        for (int i = 0; i < count; ++i) pendingFreq[size_t(i)] += segmentFreq[size_t(i)];
    }
    if (n > pendingStart || !hasTables_) {
        WriteAudioBlock(symbols.data() + pendingStart, lanes.data() + pendingStart, n - pendingStart,
                        pendingFreq.data(), bits);
    }
}

void Rar2Encoder::WriteAudioBlock(const uint8_t* symbols, const uint8_t* lanes, size_t n, const uint32_t* freq,
                                  BitWriter& bits) {
    const int channels = settings_.channels;
    const int count = channels * S::kAudioSymbols;
    uint8_t lengths[kAudioTableSymbols] = {};
    BuildAudioLengths(freq, channels, lengths);
    const TableHeader header = EncodeLengths(lengths, count, true);
    bool reuse = false;
    if (hasTables_) {
        bool covered = true;
        for (int i = 0; i < count && covered; ++i) covered = freq[i] == 0 || audioLengths_[i] != 0;
        if (covered) {
            reuse = HuffmanCodeBuilder::Cost(freq, audioLengths_, count) <=
                    header.bits + HuffmanCodeBuilder::Cost(freq, lengths, count);
        }
    }
    if (!reuse) {
        if (hasTables_) {
            const int announce = n > 0 ? lanes[0] : audioChannel_;  // the channel whose table is in use
            const int index = announce * S::kAudioSymbols + 256;
            bits.Write(audioCodes_[index], audioLengths_[index]);
        }
        WriteHeader(header, true, channels, bits);
        std::memcpy(audioLengths_, lengths, size_t(count));
        for (int c = 0; c < channels; ++c) {
            HuffmanCodeBuilder::BuildCodes(audioLengths_ + c * S::kAudioSymbols, S::kAudioSymbols,
                                           audioCodes_ + c * S::kAudioSymbols);
        }
        hasTables_ = true;
    }
    for (size_t i = 0; i < n; ++i) {
        const int index = lanes[i] * S::kAudioSymbols + symbols[i];
        bits.Write(audioCodes_[index], audioLengths_[index]);
    }
}

} // namespace nuv
