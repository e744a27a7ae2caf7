#include "app/CommandLine.h"

#include "app/Settings.h"
#include "core/Status.h"

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

// A whole decimal, or "0x" hexadecimal, number up to limit; false for anything else.
bool ReadNumber(const char* text, bool allowHex, uint64_t limit, uint64_t* out) {
    if (!text || !*text) return false;
    uint64_t base = 10;
    if (allowHex && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
        if (!*text) return false;
    }
    uint64_t value = 0;
    for (const char* p = text; *p; ++p) {
        unsigned digit;
        if (IsDigit(*p)) digit = unsigned(*p - '0');
        else if (base == 16 && *p >= 'a' && *p <= 'f') digit = unsigned(*p - 'a' + 10);
        else if (base == 16 && *p >= 'A' && *p <= 'F') digit = unsigned(*p - 'A' + 10);
        else return false;
        if (value > (limit - digit) / base) return false;
        value = value * base + digit;
    }
    *out = value;
    return true;
}

// Names of options that are not settings.
constexpr const char* kRoot = "root";
constexpr const char* kWindowId = "window-id";
constexpr const char* kProfile = "profile";

// The settings a run can be given. An option and its opposite follow each other; the opposite
// has no help text of its own.
const CommandLine::Option kOptions[] = {
    {"music", "Music", 1, false, "play the music"},
    {"no-music", "Music", 0, false, nullptr},
    {"effects", "SFX", 1, false, "play the sound effects"},
    {"no-effects", "SFX", 0, false, nullptr},
    {"volume", "Volume", 0, true, "sound volume, N from 0 to 100"},
    {"clock", "ShowTime", 1, false, "show the clock"},
    {"no-clock", "ShowTime", 0, false, nullptr},
    {"24-hour", "Hour24", 1, false, "the clock counts 24 hours, or 12 with am and pm"},
    {"12-hour", "Hour24", 0, false, nullptr},
    {"fps", "ShowFPS", 1, false, "show the frame rate"},
    {"no-fps", "ShowFPS", 0, false, nullptr},
    {"reflections", "Reflections", 1, false, "reflections on the ice"},
    {"no-reflections", "Reflections", 0, false, nullptr},
    {"shadows", "Shadows", 1, false, "shadows"},
    {"no-shadows", "Shadows", 0, false, nullptr},
    {"snow", "Snow", 1, false, "falling snow"},
    {"no-snow", "Snow", 0, false, nullptr},
    {"shine", "Shine", 1, false, "the glow around lights"},
    {"no-shine", "Shine", 0, false, nullptr},
};
constexpr int kOptionCount = int(sizeof(kOptions) / sizeof(kOptions[0]));
constexpr int kVolumeLimit = 100;

const CommandLine::Option* FindOption(const std::string& name) {
    for (const CommandLine::Option& option : kOptions)
        if (name == option.name) return &option;
    return nullptr;
}

bool IsModeWithParent(char letter) { return letter == 'a' || letter == 'c' || letter == 'p'; }

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
    return kStatusOk;
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

void CommandLine::ParseLine(const char* commandLine) {
    *this = CommandLine();
    Parse(commandLine, &mode_, &parentWindow_);
}

bool CommandLine::ParseWindowId(const char* text, uint64_t* id) {
    uint64_t value = 0;
    // X11 ids are 32-bit on the wire: a larger number would name some other window.
    if (!ReadNumber(text, true, 0xFFFFFFFFu, &value) || value == 0) return false;
    if (id) *id = value;
    return true;
}

int CommandLine::Fail(std::string message) {
    error_ = std::move(message);
    return kStatusFailed;
}

// A system switch: '/' or '-', one letter, and for /a, /c and /p a window number attached
// ("/p:1234", "-p1234") or as the next argument. kStatusOk when taken; kStatusFailed when it is none.
int CommandLine::ReadSwitch(const char* argument, int argc, const char* const* argv, int* index) {
    const char c = argument[1];
    const char letter = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const char* rest = argument + 2;
    if (letter != 's' && letter != 't' && !IsModeWithParent(letter)) return kStatusFailed;
    if (*rest && !IsModeWithParent(letter)) return kStatusFailed;
    int64_t parent = 0;
    if (IsModeWithParent(letter)) {
        const char* number = nullptr;
        if (*rest) number = *rest == ':' ? rest + 1 : rest;
        else if (*index + 1 < argc && argv[*index + 1] && IsDigit(argv[*index + 1][0])) number = argv[++*index];
        uint64_t value = 0;
        if (number) {
            // 0 is the system's "no window".
            if (std::strcmp(number, "0") != 0 && !ParseWindowId(number, &value)) {
                // "-pfoo" is no switch with a number, just an unknown word.
                if (number == rest && !IsDigit(*rest) && *rest != ':') return kStatusFailed;
                return Fail("'" + std::string(number) + "' after '" + argument +
                            "' is not a window id (a decimal or 0x hexadecimal number)");
            }
        }
        parent = int64_t(value);
    }
    parentWindow_ = parent;
    switch (letter) {
    case 'a': mode_ = kModePassword; break;
    case 'c': mode_ = kModeConfigure; break;
    case 'p': mode_ = kModePreview; break;
    case 't': mode_ = kModeTest; break;
    default: mode_ = kModeSaver; break;
    }
    return kStatusOk;
}

int CommandLine::ParseArguments(int argc, const char* const* argv, const char* windowVariable) {
    *this = CommandLine();
    std::string modeSwitch, firstSetting, hackOption;
    bool haveWindowId = false;
    for (int i = 1; argv && i < argc; ++i) {
        const char* argument = argv[i];
        if (!argument) continue;
        if (argument[0] != '-' && argument[0] != '/') return Fail("unexpected argument '" + std::string(argument) + "'");
        if (std::strcmp(argument, "/?") == 0) {
            help_ = true;
            continue;
        }
        if (argument[0] == '-') {
            const char* body = argument + (argument[1] == '-' ? 2 : 1);
            const char* equals = std::strchr(body, '=');
            const std::string name = equals ? std::string(body, size_t(equals - body)) : std::string(body);
            const char* inlineValue = equals ? equals + 1 : nullptr;
            const std::string written = argument[1] == '-' ? "--" + name : "-" + name;
            const Option* option = FindOption(name);
            const bool takesValue = name == kWindowId || (option && option->takesNumber);
            const bool known = option || name == kRoot || name == kWindowId || name == kProfile || name == "help" ||
                               name == "h" || name == "?";
            if (known) {
                if (inlineValue && !takesValue) return Fail("option '" + written + "' takes no value");
                const char* value = inlineValue;
                if (takesValue && !value) {
                    if (i + 1 >= argc || !argv[i + 1]) return Fail("option '" + written + "' needs a value");
                    value = argv[++i];
                }
                if (name == "help" || name == "h" || name == "?") {
                    help_ = true;
                } else if (name == kProfile) {
                    // Like a setting, it is for a run.
                    profile_ = true;
                    if (firstSetting.empty()) firstSetting = written;
                } else if (name == kRoot) {
                    hack_ = true;
                    if (hackOption.empty()) hackOption = written;
                } else if (name == kWindowId) {
                    if (!ParseWindowId(value, &hackWindow_))
                        return Fail("'" + std::string(value) + "' given to '" + written +
                                    "' is not a window id (a decimal or 0x hexadecimal number)");
                    hack_ = true;
                    haveWindowId = true;
                    if (hackOption.empty()) hackOption = written;
                } else {
                    int number = option->value;
                    if (option->takesNumber) {
                        uint64_t read = 0;
                        if (!ReadNumber(value, false, kVolumeLimit, &read))
                            return Fail("'" + written + "' takes a number from 0 to " + std::to_string(kVolumeLimit) +
                                        ", not '" + value + "'");
                        number = int(read);
                    }
                    overrides_.push_back({Settings::FindValue(option->setting), number});
                    if (firstSetting.empty()) firstSetting = written;
                }
                continue;
            }
            // Two dashes always start an option's name.
            if (argument[1] == '-') return Fail("unknown option '" + std::string(argument) + "'");
        }
        const std::string before = error_;
        const ScreensaverMode previous = mode_;
        if (ReadSwitch(argument, argc, argv, &i) != 0) {
            if (error_ != before) return kStatusFailed;
            return Fail("unknown option '" + std::string(argument) + "'");
        }
        if (!modeSwitch.empty() && mode_ != previous)
            return Fail("'" + modeSwitch + "' and '" + argument + "' ask for two different modes");
        if (modeSwitch.empty()) modeSwitch = argument;
    }
    // Help is all that is asked for then.
    if (help_) {
        hack_ = false;
        return kStatusOk;
    }
    if (hack_) {
        if (!modeSwitch.empty()) return Fail("'" + hackOption + "' does not go with '" + modeSwitch + "'");
        mode_ = kModeSaver;
        parentWindow_ = 0;
        if (!haveWindowId) {
            hackWindow_ = 0;
            // The daemon's window; without one a hack draws on the root window.
            if (windowVariable && *windowVariable && !ParseWindowId(windowVariable, &hackWindow_))
                return Fail("XSCREENSAVER_WINDOW='" + std::string(windowVariable) +
                            "' is not a window id (a decimal or 0x hexadecimal number)");
        }
        return kStatusOk;
    }
    if (!modeSwitch.empty()) {
        if ((!overrides_.empty() || profile_) && mode_ != kModeSaver && mode_ != kModeTest)
            return Fail("'" + firstSetting + "' is for a run (/s, --root or --window-id), not for '" + modeSwitch + "'");
        return kStatusOk;
    }
    // Settings without a mode ask for a run with them; nothing at all opens the settings.
    mode_ = overrides_.empty() && !profile_ ? kModeConfigure : kModeSaver;
    return kStatusOk;
}

void CommandLine::ApplyOverrides(Settings* settings) const {
    if (!settings) return;
    for (const Override& item : overrides_) settings->SetValue(item.index, item.value);
}

int CommandLine::GetOptionCount() { return kOptionCount; }

const CommandLine::Option& CommandLine::GetOption(int index) {
    return kOptions[index < 0 ? 0 : index >= kOptionCount ? kOptionCount - 1 : index];
}

std::string CommandLine::GetShortUsage() {
    return "Usage: halvane [/s | /t | /c [ID] | /p ID | /a | --root | --window-id ID] [SETTING...]\n"
           "Try 'halvane --help' for every option.\n";
}

std::string CommandLine::GetUsage() {
    std::string text =
        "Usage: halvane [MODE] [SETTING...]\n"
        "Halvane 3D Screensaver: a winter night in 3D, with music.\n"
        "\n"
        "Modes (one at most):\n"
        "  /s                run full screen until a key or a mouse button\n"
        "  /t                a test run, the same as /s\n"
        "  /c [ID]           the settings dialog, over X11 window ID when given\n"
        "  /p ID             the preview picture inside X11 window ID\n"
        "  /a                the password mode (does nothing)\n"
        "  --root            run as an XScreenSaver hack in the window named by\n"
        "                    XSCREENSAVER_WINDOW, or on the root window\n"
        "  --window-id ID    run as a hack inside X11 window ID (decimal or 0x hex)\n"
        "  --help            this text\n"
        "The switches may start with '-' as well as '/'. Without a mode the settings\n"
        "dialog opens; with settings but no mode the saver runs full screen. A hack never\n"
        "changes the display mode or gamma and never ends on input: SIGTERM ends it, as\n"
        "it ends every mode (so do SIGINT, SIGHUP and SIGQUIT).\n"
        "\n"
        "Settings for this run only (the stored settings stay as they are):\n";
    for (int i = 0; i < kOptionCount; ++i) {
        const Option& option = kOptions[i];
        if (!option.help) continue;
        std::string names = std::string("  --") + option.name;
        if (option.takesNumber) names += " N";
        if (i + 1 < kOptionCount && !kOptions[i + 1].help) names += std::string(", --") + kOptions[i + 1].name;
        if (names.size() < 34) names.append(34 - names.size(), ' ');
        else names += ' ';
        text += names + option.help + "\n";
    }
    text +=
        "  --profile                       at the end of the run, write to the log where a\n"
        "                                  frame's device time and pixels went, per section\n"
        "                                  (shadows, reflection, scene, glow, overlays)\n"
        "Every option may be written with one dash or two; a value follows '=' or comes\n"
        "as the next argument.\n"
        "\n"
        "The stored settings are in ~/.config (XDG_CONFIG_HOME); the settings dialog\n"
        "changes them. The log is ~/.local/share/Quorvel Studio/NuvLog.txt (XDG_DATA_HOME).\n";
    return text;
}

} // namespace nuv
