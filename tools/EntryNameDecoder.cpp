#include "EntryNameDecoder.h"

#include "media/rar/Rar2UnicodeName.h"

#include <iconv.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>

namespace nuv {

namespace {

// One conversion descriptor for one call; closed however the call ends.
class Converter {
public:
    explicit Converter(const std::string& codePage) : cd_(iconv_open("UTF-8", codePage.c_str())) {}
    ~Converter() {
        if (cd_ != iconv_t(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool IsOpen() const { return cd_ != iconv_t(-1); }
    iconv_t Get() const { return cd_; }

private:
    iconv_t cd_;
};

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
            char in[4];
            for (size_t k = 0; k < length; ++k) in[k] = bytes[i + k];
            char buffer[16];
            char* inPtr = in;
            size_t inLeft = length;
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            iconv(converter.Get(), nullptr, nullptr, nullptr, nullptr);
            const size_t result = iconv(converter.Get(), &inPtr, &inLeft, &outPtr, &outLeft);
            if (result != size_t(-1) && inLeft == 0 && outPtr != buffer) {
                out.append(buffer, size_t(outPtr - buffer));
                i += length;
                converted = true;
            } else if (result == size_t(-1) && errno != EINVAL) {
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
