#pragma once

#include "media/rarwriter/Rar2MatchFinder.h"
#include "media/rarwriter/Rar2Symbols.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nuv {

class BitWriter;

// The RAR 2.0 compressed stream (unpack version 20): LZ77 with lazy matching over a 1 MiB
// dictionary, the four recent distances, and Huffman tables rebuilt whenever a new set pays
// for its own header. Successive Encode calls form one solid stream until Reset.
class Rar2Encoder {
public:
    struct Settings {
        int maxChain = 64;         // hash-chain candidates examined per position
        uint32_t niceLength = 128; // a match this long ends the search
        bool audio = false;        // delta-predicted audio tables instead of LZ
        int channels = 1;          // audio channels (1..4), interleaved byte by byte
    };

    Rar2Encoder();
    explicit Rar2Encoder(const Settings& settings);
    ~Rar2Encoder();
    Rar2Encoder(const Rar2Encoder&) = delete;
    Rar2Encoder& operator=(const Rar2Encoder&) = delete;

    // Forgets the dictionary and the tables: the next Encode starts a new, non-solid stream.
    void Reset();
    // Compresses size bytes as the next file of the stream into packed (replaced).
    // Returns 0, or 1 when the stream would outgrow what positions can address.
    int Encode(const uint8_t* data, size_t size, std::vector<uint8_t>& packed);

private:
    struct Token {
        uint16_t main;       // symbol of the literal/length table
        uint16_t sub;        // distance or repeat-length symbol, when subTable is not 0
        uint8_t mainBits;    // extra bits after the main symbol
        uint8_t subBits;     // extra bits after the sub symbol
        uint8_t subTable;    // 0 none, 1 distance table, 2 repeat-length table
        uint32_t mainExtra;
        uint32_t subExtra;
    };
    struct Frequencies {
        uint32_t f[Rar2Symbols::kTableSymbols] = {};
        void Add(const Frequencies& other) {
            for (int i = 0; i < Rar2Symbols::kTableSymbols; ++i) f[i] += other.f[i];
        }
    };

    void EncodeLz(uint32_t start, uint32_t end, BitWriter& bits);
    void EmitLiteral(uint8_t byte, BitWriter& bits);
    void EmitMatch(uint32_t length, uint32_t distance, BitWriter& bits);
    void AddToken(const Token& token, BitWriter& bits);
    void CloseSegment(BitWriter& bits);
    void FlushPending(BitWriter& bits);
    void WriteBlock(const std::vector<Token>& tokens, const uint8_t* lengths, bool newTables, BitWriter& bits);
    void EncodeAudio(uint32_t start, uint32_t end, BitWriter& bits);
    Rar2MatchFinder::Match BestAt(uint32_t pos, uint32_t end, int maxChain);
    int RecentIndex(uint32_t distance) const;

    Settings settings_;
    Rar2MatchFinder finder_;
    std::vector<uint8_t> history_;  // stream bytes from position base_
    uint32_t base_ = 0;
    uint32_t streamStart_ = 0;      // first position of the current solid stream
    uint32_t recent_[4] = {};       // recent distances ring, recentNext_ is the next slot
    uint32_t recentNext_ = 0;
    uint32_t lastDistance_ = 0;
    uint32_t lastLength_ = 0;
    Rar2MatchFinder::CostModel costs_;  // symbol costs for match decisions
    void ResetCosts();
    void UpdateCosts(const uint32_t* freq);
    bool hasTables_ = false;        // the decoder holds tables of this stream
    uint8_t lengths_[Rar2Symbols::kTableSymbols] = {};
    uint16_t codes_[Rar2Symbols::kTableSymbols] = {};
    std::vector<Token> segment_;
    Frequencies segmentFreq_;
    std::vector<Token> pending_;
    Frequencies pendingFreq_;
    // Audio state mirrored from the decoder's predictor, per channel.
    struct AudioChannel {
        int k[5] = {};
        int d[4] = {};
        int lastDelta = 0;
        int lastByte = 0;
        uint32_t count = 0;
        uint32_t err[11] = {};
    };
    uint8_t AudioSymbol(int channel, uint8_t byte);
    void WriteAudioBlock(const uint8_t* symbols, const uint8_t* channels, size_t count, const uint32_t* freq,
                         BitWriter& bits);

    static constexpr int kAudioTableSymbols = 4 * Rar2Symbols::kAudioSymbols;
    AudioChannel audio_[4];
    int channelDelta_ = 0;
    int audioChannel_ = 0;  // channel of the next byte
    uint8_t audioLengths_[kAudioTableSymbols] = {};
    uint16_t audioCodes_[kAudioTableSymbols] = {};
};

} // namespace nuv
