#pragma once

#include <string>
#include <string_view>

namespace nuv {

// The Unicode form of an entry name (file header flag 0x200). After the narrow name and a zero
// byte the header packs the name as 16-bit units: a first byte gives the high byte most units
// share, then two-bit opcodes (four to a flag byte, highest bits first) say how each run is
// stored: 0 a low byte with high byte 0; 1 a low byte with the shared high byte; 2 a whole unit,
// low byte first; 3 a run copied from the narrow name at the same position (length byte + 2
// units), with the bit 0x80 of the length meaning that a correction byte is added to each narrow
// byte and the shared high byte put above it.
class Rar2UnicodeName {
public:
    // The name as UTF-8 into utf8 (replaced). False, leaving utf8 empty, when the packed form is
    // empty, decodes to no unit, or holds a unit that is no character (a lone surrogate).
    static bool Unpack(std::string_view narrow, std::string_view packed, std::string& utf8);
    // Appends code point c as UTF-8.
    static void AppendUtf8(char32_t c, std::string& out);
};

} // namespace nuv
