#include "app/SettingsStore.h"

#include <climits>
#include <cstdio>

namespace nuv {

std::string SettingsStore::Format(const Settings& settings) {
    std::string text;
    for (int i = 0; i < Settings::kValueCount; ++i) {
        text += Settings::GetValueName(i);
        text += '=';
        text += std::to_string(settings.GetValue(i));
        text += '\n';
    }
    return text;
}

namespace {

// A whole decimal int: an optional '-', digits, nothing else, within the int range.
bool ParseWholeInt(const char* p, const char* end, int* result) {
    bool negative = false;
    if (p < end && *p == '-') {
        negative = true;
        ++p;
    }
    if (p == end) return false;
    long long magnitude = 0;
    for (; p < end; ++p) {
        if (*p < '0' || *p > '9') return false;
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > 1LL + INT_MAX) return false;
    }
    const long long value = negative ? -magnitude : magnitude;
    if (value > INT_MAX || value < INT_MIN) return false;
    *result = int(value);
    return true;
}

} // namespace

int SettingsStore::Parse(const char* text, size_t length, Settings* settings, std::vector<int>* badLines) {
    // Each line stands on its own, as each stored value is read on its own: a damaged line
    // costs its value and nothing else.
    const char* p = text;
    const char* end = text + length;
    int lineNumber = 0;
    int bad = 0;
    while (p < end) {
        ++lineNumber;
        const char* lineEnd = p;
        while (lineEnd < end && *lineEnd != '\n') ++lineEnd;
        const char* contentEnd = lineEnd;
        if (contentEnd > p && contentEnd[-1] == '\r') --contentEnd;
        if (contentEnd > p) {
            const char* equals = p;
            while (equals < contentEnd && *equals != '=') ++equals;
            int value = 0;
            if (equals == contentEnd || equals == p || !ParseWholeInt(equals + 1, contentEnd, &value)) {
                ++bad;
                if (badLines) badLines->push_back(lineNumber);
            } else {
                // Names this program does not know (a later version's) are kept out, not refused.
                const std::string name(p, equals);
                const int index = Settings::FindValue(name.c_str());
                if (index >= 0 && name.size() == std::char_traits<char>::length(Settings::GetValueName(index)))
                    settings->SetValue(index, value);
            }
        }
        p = lineEnd < end ? lineEnd + 1 : end;
    }
    return bad;
}

} // namespace nuv
