#include "media/rar/Rar2Unpacker.h"

#include "media/rar/Crc32.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace nuv {

namespace {

constexpr uint32_t kRingMask = Rar2Unpacker::kRingSize - 1;
// Bytes behind the ring's end that a whole-word match copy may read or write.
constexpr uint32_t kRingSlack = 16;
constexpr int kLiteralCount = 298;
constexpr int kDistanceCount = 48;
constexpr int kRepeatCount = 28;
constexpr int kLzTableCount = kLiteralCount + kDistanceCount + kRepeatCount;
constexpr int kAudioTableCount = 257;
// Output leaves the ring in pieces small enough to be still in cache for the copy and the CRC.
// A symbol writes at most 260 bytes past a piece's end, far from overrunning the ring.
constexpr uint64_t kFlushChunk = 256u << 10;
// Table switches that produce no output in between cannot come from an encoder.
constexpr int kMaxIdleTableReads = 8;

constexpr uint8_t kLengthBase[28] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10,  12,  14,  16,  20,
                                     24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
constexpr uint8_t kLengthBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                     2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
constexpr uint32_t kDistanceBase[48] = {
    0,      1,      2,      3,      4,      6,      8,      12,     16,     24,     32,     48,
    64,     96,     128,    192,    256,    384,    512,    768,    1024,   1536,   2048,   3072,
    4096,   6144,   8192,   12288,  16384,  24576,  32768,  49152,  65536,  98304,  131072, 196608,
    262144, 327680, 393216, 458752, 524288, 589824, 655360, 720896, 786432, 851968, 917504, 983040};
constexpr uint8_t kDistanceBits[48] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                       7,  7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14, 14,
                                       15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};
constexpr uint8_t kShortBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
constexpr uint8_t kShortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

} // namespace

// Most-significant-first bit reader over the packed bytes. Past the end it reads zeros and
// remembers that it did, so a damaged stream ends in an error instead of a stray read.
class Rar2Unpacker::BitInput {
public:
    BitInput(const uint8_t* data, size_t size) : begin_(data), p_(data), end_(data + size) {}

    // Afterwards at least 56 bits are buffered: enough for any one symbol with its extras.
    // False once more bits were consumed than the packed data holds, which can only be
    // found out near its end, where the bytes are taken one by one.
    bool Refill() {
        if (end_ - p_ >= 8) {
            uint64_t v;
            std::memcpy(&v, p_, 8);
            v = __builtin_bswap64(v);
            buf_ |= v >> avail_;
            p_ += (63 - avail_) >> 3;
            avail_ |= 56;
            return true;
        }
        while (avail_ <= 56) {
            uint64_t b = 0;
            if (p_ < end_) b = *p_++;
            else ++padding_;
            buf_ |= b << (56 - avail_);
            avail_ += 8;
        }
        return !Overrun();
    }
    int Available() const { return avail_; }
    uint32_t Peek16() const { return uint32_t(buf_ >> 48); }
    uint64_t Front() const { return buf_; }
    void Skip(int n) {
        buf_ <<= n;
        avail_ -= n;
    }
    // n = 0..32; two shifts so that n = 0 needs no branch.
    uint32_t Get(int n) {
        const uint32_t v = uint32_t((buf_ >> 1) >> (63 - n));
        Skip(n);
        return v;
    }
    uint64_t ConsumedBits() const { return uint64_t(p_ - begin_ + padding_) * 8 - uint64_t(avail_); }
    size_t Size() const { return size_t(end_ - begin_); }
    // More bits were consumed than the packed data holds.
    bool Overrun() const { return padding_ != 0 && ConsumedBits() > uint64_t(Size()) * 8; }

private:
    const uint8_t* begin_;
    const uint8_t* p_;
    const uint8_t* end_;
    uint64_t buf_ = 0;
    int avail_ = 0;
    size_t padding_ = 0;
};

Rar2Unpacker::Rar2Unpacker() = default;
Rar2Unpacker::~Rar2Unpacker() = default;

void Rar2Unpacker::Reset() {
    pos_ = 0;
    written_ = 0;
    flushed_ = 0;
    std::memset(recent_, 0, sizeof(recent_));
    recentNext_ = 0;
    lastDistance_ = 0;
    lastLength_ = 0;
    tablesReady_ = false;
    audio_ = false;
    channels_ = 1;
    channel_ = 0;
    channelDelta_ = 0;
    std::memset(audioState_, 0, sizeof(audioState_));
    std::memset(savedLengths_, 0, sizeof(savedLengths_));
}

bool Rar2Unpacker::ReadTables(BitInput& in) {
    tablesReady_ = false;
    in.Refill();
    const bool audio = in.Get(1) != 0;
    if (in.Get(1) == 0) std::memset(savedLengths_, 0, sizeof(savedLengths_));
    int count = kLzTableCount;
    if (audio) {
        channels_ = int(in.Get(2)) + 1;
        if (channel_ >= channels_) channel_ = 0;
        count = channels_ * kAudioTableCount;
    }
    uint8_t bitLengths[19];
    for (int i = 0; i < 19; ++i) {
        in.Refill();
        bitLengths[i] = uint8_t(in.Get(4));
    }
    bitLength_.Build(bitLengths, 19);

    uint8_t lengths[4 * 257];
    for (int i = 0; i < count;) {
        in.Refill();
        if (in.Overrun()) return false;
        int used;
        const int symbol = bitLength_.Decode(in.Peek16(), used);
        in.Skip(used);
        if (symbol < 16) {
            lengths[i] = uint8_t((savedLengths_[i] + symbol) & 15);
            ++i;
        } else if (symbol == 16) {
            // Repeats the previous length; at the first position there is none to repeat.
            if (i == 0) return false;
            int n = 3 + int(in.Get(2));
            for (; n > 0 && i < count; --n, ++i) lengths[i] = lengths[i - 1];
        } else {
            int n = symbol == 17 ? 3 + int(in.Get(3)) : 11 + int(in.Get(7));
            for (; n > 0 && i < count; --n, ++i) lengths[i] = 0;
        }
    }
    if (in.Overrun()) return false;

    audio_ = audio;
    if (audio) {
        for (int c = 0; c < channels_; ++c) audioTable_[c].Build(lengths + c * kAudioTableCount, kAudioTableCount);
    } else {
        literal_.Build(lengths, kLiteralCount);
        distance_.Build(lengths + kLiteralCount, kDistanceCount);
        repeat_.Build(lengths + kLiteralCount + kDistanceCount, kRepeatCount);
    }
    std::memcpy(savedLengths_, lengths, size_t(count));
    tablesReady_ = true;
    return true;
}

uint8_t Rar2Unpacker::DecodeAudio(AudioChannel& v, int& channelDelta, int symbol) {
    v.count++;
    v.d[3] = v.d[2];
    v.d[2] = v.d[1];
    v.d[1] = v.lastDelta - v.d[0];
    v.d[0] = v.lastDelta;
    const int delta = channelDelta;
    const int prediction = ((8 * v.lastByte + v.k[0] * v.d[0] + v.k[1] * v.d[1] + v.k[2] * v.d[2] +
                             v.k[3] * v.d[3] + v.k[4] * delta) >> 3) & 0xFF;
    const uint8_t byte = uint8_t(prediction - symbol);

    // The sums run four lanes at a time: against D1..D4, and |d|, |d - delta|, |d + delta|.
    const int d = int(int8_t(uint8_t(symbol))) * 8;
    const Lanes dv = {d, d, d, d};
    const Lanes dd = {v.d[0], v.d[1], v.d[2], v.d[3]};
    Lanes minus = dv - dd;
    Lanes plus = dv + dd;
    Lanes other = dv - Lanes{0, delta, -delta, 0};
    const Lanes minusSign = minus >> 31;
    const Lanes plusSign = plus >> 31;
    const Lanes otherSign = other >> 31;
    v.errorMinus += (minus ^ minusSign) - minusSign;
    v.errorPlus += (plus ^ plusSign) - plusSign;
    v.errorOther += (other ^ otherSign) - otherSign;

    v.lastDelta = channelDelta = int(int8_t(uint8_t(byte - v.lastByte)));
    v.lastByte = byte;

    if ((v.count & 0x1F) == 0) {
        // Sums in their fixed order: |d|, then -D1, +D1, -D2, +D2, ... -delta, +delta.
        const int error[11] = {v.errorOther[0], v.errorMinus[0], v.errorPlus[0], v.errorMinus[1],
                               v.errorPlus[1],  v.errorMinus[2], v.errorPlus[2], v.errorMinus[3],
                               v.errorPlus[3],  v.errorOther[1], v.errorOther[2]};
        int best = 0;
        for (int i = 1; i < 11; ++i)
            if (error[i] < error[best]) best = i;
        if (best != 0) {
            int& k = v.k[(best - 1) / 2];
            if (best & 1) {
                if (k >= -16) --k;
            } else if (k < 16) {
                ++k;
            }
        }
        v.errorMinus = Lanes{};
        v.errorPlus = Lanes{};
        v.errorOther = Lanes{};
    }
    return byte;
}

namespace {

// Copies a match inside the ring. Byte order matters: where source and destination overlap
// (a distance shorter than the length), the copied bytes repeat. Whole-word steps write up
// to 15 bytes past the match: ahead of the write position, over bytes older than any
// distance reaches, or into the slack behind the ring.
inline void CopyMatch(uint8_t* w, uint32_t pos, uint32_t distance, uint32_t length) {
    const uint32_t src = (pos - distance) & kRingMask;
    if (pos + length <= Rar2Unpacker::kRingSize && src + length <= Rar2Unpacker::kRingSize) {
        uint8_t* d = w + pos;
        const uint8_t* s = w + src;
        if (distance >= 16) {
            // Each step reads only bytes before the ones it writes.
            for (uint32_t i = 0; i < length; i += 16) std::memcpy(d + i, s + i, 16);
        } else if (distance >= 8) {
            for (uint32_t i = 0; i < length; i += 8) std::memcpy(d + i, s + i, 8);
        } else if (distance == 1) {
            std::memset(d, *s, length);
        } else {
            for (uint32_t i = 0; i < length; ++i) d[i] = s[i];
        }
        return;
    }
    for (uint32_t i = 0; i < length; ++i) w[(pos + i) & kRingMask] = w[(src + i) & kRingMask];
}

} // namespace

void Rar2Unpacker::Flush(std::vector<uint8_t>* out, uint32_t* crc, uint64_t fileEnd) {
    const uint64_t end = written_ < fileEnd ? written_ : fileEnd;
    if ((out || crc) && end > flushed_) {
        const uint32_t n = uint32_t(end - flushed_);
        const uint32_t start = (pos_ - uint32_t(written_ - flushed_)) & kRingMask;
        const uint8_t* w = window_.get();
        const uint32_t first = n < kRingSize - start ? n : kRingSize - start;
        const std::pair<const uint8_t*, uint32_t> pieces[2] = {{w + start, first}, {w, n - first}};
        for (const auto& [p, size] : pieces) {
            if (size == 0) continue;
            if (out) out->insert(out->end(), p, p + size);
            if (crc) *crc = Crc32::Update(*crc, p, size);
        }
    }
    flushed_ = written_;
}

bool Rar2Unpacker::TableSwitch(BitInput& in, uint64_t at) {
    idleTableReads_ = at == writtenAtTableRead_ ? idleTableReads_ + 1 : 1;
    writtenAtTableRead_ = at;
    return idleTableReads_ <= kMaxIdleTableReads && ReadTables(in);
}

Rar2Result Rar2Unpacker::Unpack(const uint8_t* packed, size_t packedSize, uint32_t unpackedSize, bool solid,
                                std::vector<uint8_t>* out, uint32_t* crc) {
    // Zeroed: whole-word copies may read bytes not yet written, which then land only where
    // nothing reads them before they are overwritten.
    if (!window_) window_.reset(new uint8_t[kRingSize + kRingSlack]());
    if (!solid) Reset();
    // An empty file may come without any packed bytes, not even tables.
    if (unpackedSize == 0 && packedSize == 0) return Rar2Result::Ok;
    flushed_ = written_;
    const uint64_t fileEnd = written_ + unpackedSize;
    // The hot loops keep the bit reader and positions in locals: stores into the window
    // could otherwise alias them and force reloads. The reader's address is never taken
    // (table reads work on a copy), so that it can live in registers.
    BitInput in(packed, packedSize);
    if (!solid) {
        BitInput copy = in;
        if (!ReadTables(copy)) return Rar2Result::CorruptData;
        in = copy;
    } else if (!tablesReady_) {
        return Rar2Result::CorruptData;
    }

    uint8_t* const w = window_.get();
    uint32_t pos = pos_;
    uint64_t written = written_;
    idleTableReads_ = 0;
    writtenAtTableRead_ = written;
    Rar2Result result = Rar2Result::Ok;
    while (written < fileEnd && result == Rar2Result::Ok) {
        pos &= kRingMask;
        pos_ = pos;
        written_ = written;
        if (written - flushed_ >= kFlushChunk) Flush(out, crc, fileEnd);
        uint64_t limit = flushed_ + kFlushChunk;
        if (limit > fileEnd) limit = fileEnd;
        // Stop at the end of the ring too, so that literals need no wrap-around.
        if (limit > written + (kRingSize - pos)) limit = written + (kRingSize - pos);

        // Only the position moves in the loops below: the stream offset is base + pos. A match
        // may carry pos past the ring's end, which also ends this stretch.
        const uint32_t stop = pos + uint32_t(limit - written);
        const uint64_t base = written - pos;

        if (audio_) {
            // The channel is the state in use; it and the shared delta live in locals here,
            // written back before anything else can look at them.
            int delta = channelDelta_;
            AudioChannel* state = audioState_ + channel_;
            const Rar2Huffman* table = audioTable_ + channel_;
            AudioChannel* const lastState = audioState_ + channels_ - 1;
            // One moving pointer for the output instead of an index beside it: this loop is short
            // of registers.
            uint8_t* o = w + pos;
            uint8_t* const end = w + stop;
            while (o < end) {
                // A few bits read past the end between refills are caught after the loop.
                if (in.Available() < 15 && !in.Refill()) {
                    result = Rar2Result::CorruptData;
                    break;
                }
                int used;
                const int symbol = table->DecodeFront(in.Front(), used);
                in.Skip(used);
                if (symbol == 256) {
                    channel_ = int(state - audioState_);
                    channelDelta_ = delta;
                    BitInput copy = in;
                    if (!TableSwitch(copy, base + uint64_t(o - w))) result = Rar2Result::CorruptData;
                    in = copy;
                    state = audioState_ + channel_;
                    break;
                }
                *o++ = DecodeAudio(*state, delta, symbol);
                if (state == lastState) {
                    table = audioTable_;
                    state = audioState_;
                } else {
                    ++table;
                    ++state;
                }
            }
            pos = uint32_t(o - w);
            channel_ = int(state - audioState_);
            channelDelta_ = delta;
            written = base + pos;
            continue;
        }

        while (pos < stop) {
            // A symbol takes up to 15 bits and what follows it before the next refill up to 20.
            if (in.Available() < 35 && !in.Refill()) {
                result = Rar2Result::CorruptData;
                break;
            }
            int used;
            const int symbol = literal_.DecodeFront(in.Front(), used);
            in.Skip(used);
            if (symbol < 256) {
                w[pos++] = uint8_t(symbol);
                continue;
            }
            if (symbol == 269) {
                BitInput copy = in;
                if (!TableSwitch(copy, base + pos)) result = Rar2Result::CorruptData;
                in = copy;
                break;
            }
            uint32_t length;
            uint32_t distance;
            if (symbol >= 270) {
                const int l = symbol - 270;
                length = kLengthBase[l] + 3 + in.Get(kLengthBits[l]);
                // This refill may be the only one in a run of matches: check it too.
                if (!in.Refill()) {
                    result = Rar2Result::CorruptData;
                    break;
                }
                const int d = distance_.DecodeFront(in.Front(), used);
                in.Skip(used);
                distance = kDistanceBase[d] + 1 + in.Get(kDistanceBits[d]);
                length += (distance >= 0x2000) + (distance >= 0x40000);
            } else if (symbol == 256) {
                length = lastLength_;
                distance = lastDistance_;
            } else if (symbol < 261) {
                distance = recent_[(recentNext_ - uint32_t(symbol - 256)) & 3];
                const int l = repeat_.DecodeFront(in.Front(), used);
                in.Skip(used);
                length = kLengthBase[l] + 2 + in.Get(kLengthBits[l]);
                length += (distance >= 0x101) + (distance >= 0x2000) + (distance >= 0x40000);
            } else {
                const int s = symbol - 261;
                distance = kShortBase[s] + 1 + in.Get(kShortBits[s]);
                length = 2;
            }
            // Distance 0 or one reaching before the first byte of the stream: no encoder
            // writes it, and the ring holds nothing of this stream there.
            if (distance == 0 || distance > base + pos) {
                result = Rar2Result::CorruptData;
                break;
            }
            recent_[recentNext_++ & 3] = distance;
            lastDistance_ = distance;
            lastLength_ = length;
            CopyMatch(w, pos, distance, length);
            pos += length;
        }
        written = base + pos;
    }
    pos_ = pos & kRingMask;
    written_ = written;
    if (result != Rar2Result::Ok) return result;
    if (in.Overrun()) return Rar2Result::CorruptData;

    // An encoder may put the next solid file's tables right after this file's data.
    if (in.Size() - in.ConsumedBits() / 8 >= 5) {
        in.Refill();
        int used;
        const int symbol = audio_ ? audioTable_[channel_].Decode(in.Peek16(), used) : literal_.Decode(in.Peek16(), used);
        in.Skip(used);
        BitInput copy = in;
        if (symbol == (audio_ ? 256 : 269)) ReadTables(copy);
    }
    Flush(out, crc, fileEnd);
    return Rar2Result::Ok;
}

} // namespace nuv
