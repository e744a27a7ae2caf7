#include "app/CommandLine.h"

#include <cstring>

namespace nuv {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal number at the first digit after p, or 0 when there is none. A number too large for
// any window id is no window.
int64_t ReadParentWindow(const char* p) {
    while (*p && !IsDigit(*p)) ++p;
    int64_t value = 0;
    for (; IsDigit(*p); ++p) {
        if (value > (INT64_MAX - 9) / 10) return 0;
        value = value * 10 + (*p - '0');
    }
    return value;
}

} // namespace

int CommandLine::Parse(const char* commandLine, ScreensaverMode* mode, int64_t* parentWindow) {
    ScreensaverMode chosen = kModeConfigure;
    int64_t parent = 0;
    const char* p = commandLine ? commandLine : "";
    // The program name: a quoted path may hold spaces and switch characters of its own.
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != ' ') ++p;
    }
    if (*p == ' ') ++p;
    while (*p && *p != '/' && *p != '-') ++p;
    if (*p) {
        ++p;
        switch (*p) {
        case 'a': case 'A':
            chosen = kModePassword;
            parent = ReadParentWindow(p + 1);
            break;
        case 'c': case 'C':
            chosen = kModeConfigure;
            parent = ReadParentWindow(p + 1);
            break;
        case 'p': case 'P':
            chosen = kModePreview;
            parent = ReadParentWindow(p + 1);
            break;
        case 't': case 'T':
            chosen = kModeTest;
            break;
        default:
            chosen = kModeSaver;
            break;
        }
    }
    if (mode) *mode = chosen;
    if (parentWindow) *parentWindow = parent;
    return 0;
}

std::string CommandLine::FromArguments(int argc, const char* const* argv) {
    std::string line;
    if (argc > 0 && argv && argv[0]) {
        const bool quote = std::strchr(argv[0], ' ') != nullptr;
        if (quote) line += '"';
        line += argv[0];
        if (quote) line += '"';
    }
    for (int i = 1; i < argc && argv; ++i) {
        line += ' ';
        if (argv[i]) line += argv[i];
    }
    return line;
}

} // namespace nuv
