#pragma once

#include "app/ScreensaverMode.h"

#include <cstdint>
#include <string>

namespace nuv {

// The screensaver's command line: "/s" runs, "/c" configures, "/p N" previews inside window N,
// "/a" is the (empty) password mode, "/t" a test run; '-' may stand for '/', any case.
class CommandLine {
public:
    // Reads the mode and the parent window (0 when none) from the whole command line, program
    // name first. Always 0.
    static int Parse(const char* commandLine, ScreensaverMode* mode, int64_t* parentWindow);
    // The command line of a process started with argv: the program name (in double quotes when it
    // holds a space), then each argument after one space.
    static std::string FromArguments(int argc, const char* const* argv);
};

} // namespace nuv
