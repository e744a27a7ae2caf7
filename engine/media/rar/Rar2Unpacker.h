#pragma once

#include "media/rar/Rar2Archive.h"
#include "media/rar/Rar2Huffman.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace nuv {

// The RAR 2.0 decompressor: LZ with a 1 MiB window and the multimedia (audio) predictor.
// Its window, recent distances, tables and audio state carry over from one file to the next
// when the next file is marked solid, so one instance decodes one solid stream in order.
class Rar2Unpacker {
public:
    // The format's window: no distance reaches further back.
    static constexpr uint32_t kWindowSize = 1u << 20;
    // The buffer holding it is twice as large, so that a match may be copied in whole words
    // past its end: what that overwrites lies more than kWindowSize back, out of any reach.
    static constexpr uint32_t kRingSize = 2 * kWindowSize;

    Rar2Unpacker();
    ~Rar2Unpacker();
    Rar2Unpacker(const Rar2Unpacker&) = delete;
    Rar2Unpacker& operator=(const Rar2Unpacker&) = delete;

    // Decodes one file's packed bytes into unpackedSize bytes appended to out (nullptr:
    // decode for the window state only, as for the skipped members of a solid stream).
    // solid: continue the previous file's state instead of starting afresh. crc, when given,
    // is a running CRC-32 (Crc32::Update) carried over the file's bytes as they are produced.
    Rar2Result Unpack(const uint8_t* packed, size_t packedSize, uint32_t unpackedSize, bool solid,
                      std::vector<uint8_t>* out, uint32_t* crc = nullptr);
    // Forgets the previous files: the next solid file then has nothing to continue.
    void Restart() { Reset(); }

private:
    class BitInput;
    using Lanes = int __attribute__((vector_size(16)));
    // Error sums stay far below 2^31: 32 steps of at most 2 * 8 * 255 each.
    struct AudioChannel {
        int k[5];
        int d[4];
        int lastDelta;
        int lastByte;
        uint32_t count;
        Lanes errorMinus;  // |d - Dn| for n = 1..4
        Lanes errorPlus;   // |d + Dn|
        Lanes errorOther;  // |d|, |d - channel delta|, |d + channel delta|, unused
    };

    void Reset();
    bool ReadTables(BitInput& in);
    // Symbol 269 (256 in audio mode) at stream offset at: reads the next tables. False when
    // they are damaged, or when table switches keep coming without output in between.
    bool TableSwitch(BitInput& in, uint64_t at);
    [[gnu::always_inline]] inline static uint8_t DecodeAudio(AudioChannel& v, int& channelDelta, int symbol);
    void Flush(std::vector<uint8_t>* out, uint32_t* crc, uint64_t fileEnd);

    std::unique_ptr<uint8_t[]> window_;
    uint32_t pos_ = 0;        // next write position in the window
    uint64_t written_ = 0;    // bytes written since the stream started (bounds distances)
    uint64_t flushed_ = 0;    // value of written_ at the last flush
    uint32_t recent_[4] = {};
    uint32_t recentNext_ = 0;
    uint32_t lastDistance_ = 0;
    uint32_t lastLength_ = 0;
    bool tablesReady_ = false;
    int idleTableReads_ = 0;
    uint64_t writtenAtTableRead_ = 0;
    bool audio_ = false;
    int channels_ = 1;
    int channel_ = 0;
    int channelDelta_ = 0;
    AudioChannel audioState_[4] = {};
    uint8_t savedLengths_[4 * 257] = {};
    Rar2Huffman literal_;
    Rar2Huffman distance_;
    Rar2Huffman repeat_;
    Rar2Huffman bitLength_;
    Rar2Huffman audioTable_[4];
};

} // namespace nuv
