#include "media/rar/Rar2UnicodeName.h"

#include <cstdint>
#include <vector>

namespace nuv {

void Rar2UnicodeName::AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

bool Rar2UnicodeName::Unpack(std::string_view narrow, std::string_view packed, std::string& utf8) {
    utf8.clear();
    if (packed.empty()) return false;
    auto byte = [&](size_t i) { return uint32_t(uint8_t(packed[i])); };
    const uint32_t high = byte(0) << 8;
    std::vector<uint16_t> units;
    size_t pos = 1;
    uint32_t flags = 0;
    int flagBits = 0;
    while (pos < packed.size()) {
        if (flagBits == 0) {
            flags = byte(pos++);
            flagBits = 8;
            if (pos >= packed.size()) break;
        }
        switch ((flags >> 6) & 3) {
        case 0:
            units.push_back(uint16_t(byte(pos++)));
            break;
        case 1:
            units.push_back(uint16_t(byte(pos++) | high));
            break;
        case 2:
            if (pos + 1 >= packed.size()) {
                pos = packed.size();
                break;
            }
            units.push_back(uint16_t(byte(pos) | byte(pos + 1) << 8));
            pos += 2;
            break;
        default: {
            const uint32_t length = byte(pos++);
            if (length & 0x80) {
                if (pos >= packed.size()) break;
                const uint32_t correction = byte(pos++);
                for (uint32_t n = (length & 0x7F) + 2; n > 0 && units.size() < narrow.size(); --n)
                    units.push_back(uint16_t(((uint8_t(narrow[units.size()]) + correction) & 0xFF) | high));
            } else {
                for (uint32_t n = length + 2; n > 0 && units.size() < narrow.size(); --n)
                    units.push_back(uint16_t(uint8_t(narrow[units.size()])));
            }
            break;
        }
        }
        flags <<= 2;
        flagBits -= 2;
    }
    // A zero unit ends the name; UTF-16 pairs join into one character.
    for (size_t i = 0; i < units.size() && units[i] != 0; ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            utf8.clear();
            return false;
        }
        AppendUtf8(c, utf8);
    }
    return !utf8.empty();
}

} // namespace nuv
