#pragma once

#include "app/ScreensaverMode.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nuv {

class Settings;

// The screensaver's command line. Two conventions meet here:
// - the system's switches: "/s" runs, "/c" configures, "/p N" previews inside window N, "/a" is
//   the (empty) password mode, "/t" a test run; '-' may stand for '/', any case;
// - the options of a desktop screensaver daemon's hacks: "--root" draws into the window the
//   daemon names in XSCREENSAVER_WINDOW (the root window when it names none), "--window-id ID"
//   into window ID; both are a run that never changes the display and never ends on input.
// Options for the settings ("--no-music", "--volume 30", ...) override the stored settings for
// one run. Every option may be written with one dash or two, its value after '=' or as the next
// argument.
class CommandLine {
public:
    // One option of the table: its name without dashes; the setting it sets (the store's name)
    // and the value it gives, or a number for options that take one.
    struct Option {
        const char* name;
        const char* setting;
        int value;
        bool takesNumber;
        const char* help;
    };

    // Reads the mode and the parent window (0 when none) from the whole command line, program
    // name first, as the system gives it. Always 0.
    static int Parse(const char* commandLine, ScreensaverMode* mode, int64_t* parentWindow);
    // The command line of a process started with argv: the program name (in double quotes when it
    // holds a space), then each argument after one space.
    static std::string FromArguments(int argc, const char* const* argv);

    // A whole command line as Parse reads it; never an error.
    void ParseLine(const char* commandLine);
    // The arguments of a process, program name first; windowVariable is XSCREENSAVER_WINDOW
    // (null when unset). 0; 1 when they are wrong, with GetError() saying why.
    int ParseArguments(int argc, const char* const* argv, const char* windowVariable);

    bool WantsHelp() const { return help_; }
    // --profile: the run writes where its frames' time and pixels went to the log at its end.
    bool WantsProfile() const { return profile_; }
    const std::string& GetError() const { return error_; }
    ScreensaverMode GetMode() const { return mode_; }
    int64_t GetParentWindow() const { return parentWindow_; }
    // A daemon's hack: draws into GetHackWindow(), or the root window when that is 0.
    bool IsHack() const { return hack_; }
    uint64_t GetHackWindow() const { return hackWindow_; }

    // The settings given on the command line, in their order; a later one wins.
    struct Override {
        int index;  // Settings::GetValueName
        int value;
    };
    const std::vector<Override>& GetOverrides() const { return overrides_; }
    void ApplyOverrides(Settings* settings) const;

    // A window id as the daemons write it: decimal, or hexadecimal after "0x"; 1..0xFFFFFFFF.
    // False for anything else.
    static bool ParseWindowId(const char* text, uint64_t* id);

    static int GetOptionCount();
    static const Option& GetOption(int index);
    // The text of --help: every option with what it does.
    static std::string GetUsage();
    // The lines that follow an error: the form of a command line and where to read more.
    static std::string GetShortUsage();

private:
    int Fail(std::string message);
    int ReadSwitch(const char* argument, int argc, const char* const* argv, int* index);

    ScreensaverMode mode_ = kModeConfigure;
    int64_t parentWindow_ = 0;
    bool help_ = false;
    bool profile_ = false;
    bool hack_ = false;
    uint64_t hackWindow_ = 0;
    std::vector<Override> overrides_;
    std::string error_;
};

} // namespace nuv
