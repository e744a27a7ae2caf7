#pragma once

#include <cstdint>

namespace nuv {

// The fixed tables of the RAR 2.0 LZ code: how lengths and distances become symbols and
// extra bits, and the length bonuses that long distances carry.
class Rar2Symbols {
public:
    static constexpr int kMainSymbols = 298;    // literals, repeats, short and long matches
    static constexpr int kDistSymbols = 48;
    static constexpr int kRepLenSymbols = 28;
    static constexpr int kTableSymbols = kMainSymbols + kDistSymbols + kRepLenSymbols;
    static constexpr int kBitLengthSymbols = 19;
    static constexpr int kAudioSymbols = 257;
    static constexpr int kRepeatLast = 256;     // same length and distance as the last match
    static constexpr int kRecentBase = 256;     // 257..260: one of the four recent distances
    static constexpr int kShortBase = 261;      // 261..268: length 2, distance 1..256
    static constexpr int kNewTables = 269;
    static constexpr int kLongBase = 270;       // 270..297: length slot, then a distance symbol

    static const uint8_t kLengthBase[kRepLenSymbols];
    static const uint8_t kLengthBits[kRepLenSymbols];
    static const uint32_t kDistBase[kDistSymbols];
    static const uint8_t kDistBits[kDistSymbols];
    static const uint8_t kShortBase8[8];
    static const uint8_t kShortBits[8];

    // Slot for a length value 0..255 (the length minus its implied minimum).
    static int LengthSlot(uint32_t value);
    // Distance symbol for distance 1..1048576.
    static int DistanceSlot(uint32_t distance);
    // Short-distance slot (0..7) for distance 1..256.
    static int ShortSlot(uint32_t distance);

    // Length added to a long match (symbols 270..297) by its distance.
    static uint32_t LongBonus(uint32_t distance) { return (distance >= 0x2000) + (distance >= 0x40000); }
    // Length added to a recent-distance match (257..260) by its distance.
    static uint32_t RecentBonus(uint32_t distance) { return (distance >= 0x101) + LongBonus(distance); }
};

} // namespace nuv
