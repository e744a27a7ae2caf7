#pragma once

#include "core/String.h"

#include <cstddef>
#include <cstdint>

namespace nuv {

// Reader of the configuration texts (defaults and UI strings): lines of "Key = value", comments
// from ';' to the line end, CR, LF or CR LF line ends. Keys and values are taken verbatim.
class ConfigTextReader {
public:
    ConfigTextReader(const uint8_t* text, size_t length) : text_(text), length_(text ? length : 0) {}

    // The next line from the current position, without its comment or line end.
    // kStatusOk with a line; kStatusFailed at the end of the text.
    int ReadLine(String* line);

    // Splits a line at its first " = ": the key before, the value after, both verbatim. A line
    // without " = " gives an empty key and value, which match nothing.
    static void SplitLine(const String& line, String* key, String* value);

    // A value read the way "%d" reads it: leading white space, an optional sign, then at least one
    // digit; what follows the digits is ignored. False (and *result untouched) when there is no
    // number. Values beyond the int range saturate rather than wrap.
    static bool ScanInt(const String& value, int* result);

private:
    const uint8_t* text_;
    size_t length_;
    size_t position_ = 0;
};

} // namespace nuv
