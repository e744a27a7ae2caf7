#include "app/ConfigTextReader.h"

#include "core/Status.h"

#include <climits>
#include <cstring>

namespace nuv {

namespace {

bool IsLineEnd(uint8_t c) { return c == '\n' || c == '\r'; }

} // namespace

int ConfigTextReader::ReadLine(String* line) {
    while (position_ < length_) {
        const uint8_t c = text_[position_];
        if (IsLineEnd(c)) {
            ++position_;
            continue;
        }
        if (c == ';') {
            while (position_ < length_ && !IsLineEnd(text_[position_])) ++position_;
            while (position_ < length_ && IsLineEnd(text_[position_])) ++position_;
            continue;
        }
        const size_t start = position_;
        while (position_ < length_ && !IsLineEnd(text_[position_]) && text_[position_] != ';') ++position_;
        // Texts are resources of a few kilobytes; a line beyond the int range is cut, not wrapped.
        const size_t count = position_ - start;
        if (line) line->Assign(reinterpret_cast<const char*>(text_ + start), count > INT_MAX ? INT_MAX : int(count));
        return kStatusOk;
    }
    return kStatusFailed;
}

void ConfigTextReader::SplitLine(const String& line, String* key, String* value) {
    const char* text = line.GetText();
    const int length = line.GetLength();
    for (int i = 0; i + 3 <= length; ++i) {
        if (text[i] == ' ' && text[i + 1] == '=' && text[i + 2] == ' ') {
            if (key) *key = line.Substring(0, i);
            if (value) *value = line.Substring(i + 3, length - i - 3);
            return;
        }
    }
    if (key) *key = String();
    if (value) *value = String();
}

bool ConfigTextReader::ScanInt(const String& value, int* result) {
    const char* p = value.GetText();
    const char* end = p + value.GetLength();
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r')) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (p >= end || *p < '0' || *p > '9') return false;
    long long magnitude = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        if (magnitude <= 1LL + INT_MAX) magnitude = magnitude * 10 + (*p - '0');
    }
    if (negative) magnitude = -magnitude;
    if (magnitude > INT_MAX) magnitude = INT_MAX;
    if (magnitude < INT_MIN) magnitude = INT_MIN;
    if (result) *result = int(magnitude);
    return true;
}

} // namespace nuv
