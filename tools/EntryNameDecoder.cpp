#include "EntryNameDecoder.h"

#include "media/rar/Rar2UnicodeName.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace nuv {

namespace {

// One conversion from a code page to UTF-8 for one call; closed however the call ends.
// Convert gives 1 for a whole character, 0 for input that may be the start of a longer one, -1
// for bytes that are no character.
#ifdef _WIN32
class Converter {
public:
    // "CP866", "cp1251", "WINDOWS-1251" or a bare number name a code page.
    explicit Converter(const std::string& codePage) {
        const char* digits = codePage.c_str();
        while (*digits && (*digits < '0' || *digits > '9')) ++digits;
        codePage_ = *digits ? UINT(std::strtoul(digits, nullptr, 10)) : 0;
        if (codePage_ && !IsValidCodePage(codePage_)) codePage_ = 0;
    }
    bool IsOpen() const { return codePage_ != 0; }
    int Convert(const char* in, size_t length, std::string& out) const {
        wchar_t wide[4];
        const int count = MultiByteToWideChar(codePage_, MB_ERR_INVALID_CHARS, in, int(length), wide, 4);
        if (count <= 0) return length < 4 ? 0 : -1;
        char utf8[16];
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, count, utf8, int(sizeof utf8), nullptr, nullptr);
        if (bytes <= 0) return -1;
        out.append(utf8, size_t(bytes));
        return 1;
    }

private:
    UINT codePage_ = 0;
};
#else
class Converter {
public:
    explicit Converter(const std::string& codePage) : cd_(iconv_open("UTF-8", codePage.c_str())) {}
    ~Converter() {
        if (cd_ != iconv_t(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool IsOpen() const { return cd_ != iconv_t(-1); }
    int Convert(const char* in, size_t length, std::string& out) const {
        char copy[4];
        std::memcpy(copy, in, length);
        char buffer[16];
        char* inPtr = copy;
        size_t inLeft = length;
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        const size_t result = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
        if (result != size_t(-1) && inLeft == 0 && outPtr != buffer) {
            out.append(buffer, size_t(outPtr - buffer));
            return 1;
        }
        return result == size_t(-1) && errno != EINVAL ? -1 : 0;
    }

private:
    iconv_t cd_;
};
#endif

} // namespace

EntryNameDecoder::EntryNameDecoder(std::string codePage) : codePage_(std::move(codePage)) {
    usable_ = !codePage_.empty() && Converter(codePage_).IsOpen();
}

bool EntryNameDecoder::IsUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const uint8_t c = uint8_t(text[i]);
        int more = 0;
        uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + size_t(more) >= text.size()) return false;
        for (int k = 1; k <= more; ++k) {
            const uint8_t d = uint8_t(text[i + size_t(k)]);
            if ((d & 0xC0) != 0x80) return false;
            code = code << 6 | (d & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((more == 2 && code < 0x800) || (more == 3 && (code < 0x10000 || code > 0x10FFFF)) ||
            (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += size_t(more) + 1;
    }
    return true;
}

std::string EntryNameDecoder::FromCodePage(std::string_view bytes) const {
    std::string out;
    Converter converter(codePage_);
    size_t i = 0;
    while (i < bytes.size()) {
        const uint8_t c = uint8_t(bytes[i]);
        if (c < 0x80) {
            out += char(c);
            ++i;
            continue;
        }
        // One character at a time, so that an undefined byte costs only itself; a character of
        // a multibyte code page takes as many bytes as it needs.
        bool converted = false;
        for (size_t length = 1; converter.IsOpen() && length <= 4 && i + length <= bytes.size() && !converted;
             ++length) {
            const int result = converter.Convert(bytes.data() + i, length, out);
            if (result > 0) {
                i += length;
                converted = true;
            } else if (result < 0) {
                break; // an invalid sequence: longer input will not help
            }
        }
        if (!converted) {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", unsigned(c));
            out += escaped;
            ++i;
        }
    }
    return out;
}

std::string EntryNameDecoder::Decode(const Rar2Entry& entry) const {
    std::string name;
    if (!entry.packedUnicodeName.empty() && Rar2UnicodeName::Unpack(entry.name, entry.packedUnicodeName, name))
        return name;
    if (IsUtf8(entry.name)) return entry.name;
    return FromCodePage(entry.name);
}

} // namespace nuv
