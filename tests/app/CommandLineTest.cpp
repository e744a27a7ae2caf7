#include "app/CommandLine.h"
#include "app/DisplayModeChoice.h"
#include "app/Settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nuv {
namespace {

struct Parsed {
    ScreensaverMode mode;
    int64_t parent;
};

Parsed Parse(const char* line) {
    Parsed p{kModeTest, -1};
    EXPECT_EQ(CommandLine::Parse(line, &p.mode, &p.parent), 0);
    return p;
}

TEST(CommandLine, SwitchesChooseTheMode) {
    for (const char* line : {"saver.scr /s", "saver.scr /S", "saver.scr /x", "saver.scr /", "saver.scr -s",
                             "saver.scr -", "saver.scr /7"}) {
        EXPECT_EQ(Parse(line).mode, kModeSaver) << line;
    }
    for (const char* line : {"saver.scr", "saver.scr ", "saver.scr s", "", "\"C:\\a b\\saver.scr\""})
        EXPECT_EQ(Parse(line).mode, kModeConfigure) << line;
    EXPECT_EQ(Parse(nullptr).mode, kModeConfigure);
    EXPECT_EQ(Parse("saver.scr /t").mode, kModeTest);
    EXPECT_EQ(Parse("saver.scr -T").mode, kModeTest);
    EXPECT_EQ(Parse("saver.scr /a").mode, kModePassword);
    EXPECT_EQ(Parse("saver.scr /C").mode, kModeConfigure);
}

TEST(CommandLine, ParentWindowForms) {
    for (const char* line : {"saver.scr /p 1234", "saver.scr /P:1234", "saver.scr -p1234", "saver.scr /p x 1234 5"}) {
        const Parsed p = Parse(line);
        EXPECT_EQ(p.mode, kModePreview) << line;
        EXPECT_EQ(p.parent, 1234) << line;
    }
    EXPECT_EQ(Parse("saver.scr /p").parent, 0);
    EXPECT_EQ(Parse("saver.scr /c:8830").parent, 8830);
    EXPECT_EQ(Parse("saver.scr /a 77").parent, 77);
    // Only the three modes with a parent read one.
    EXPECT_EQ(Parse("saver.scr /s 55").parent, 0);
    // A number beyond any window id names no window rather than a wrapped one.
    EXPECT_EQ(Parse("saver.scr /p 99999999999999999999999").parent, 0);
    EXPECT_EQ(Parse("saver.scr /p 4294967295").parent, 4294967295LL);
}

TEST(CommandLine, ProgramPathIsSkipped) {
    // Both the space and the '-' in the quoted path belong to the path.
    const Parsed p = Parse("\"C:\\Program Files\\my-saver -x\\saver.scr\" /p 42");
    EXPECT_EQ(p.mode, kModePreview);
    EXPECT_EQ(p.parent, 42);
    EXPECT_EQ(Parse("\"C:\\my-dir\\saver.scr\"").mode, kModeConfigure);
    // Unquoted, the name ends at the first space; a dash inside it is part of it.
    EXPECT_EQ(Parse("my-saver.scr").mode, kModeConfigure);
    EXPECT_EQ(Parse("my-saver.scr /t").mode, kModeTest);
    // An unterminated quote swallows everything.
    EXPECT_EQ(Parse("\"C:\\saver.scr /s").mode, kModeConfigure);
}

TEST(CommandLine, FromArgumentsRoundTrips) {
    const char* spaced[] = {"/opt/my saver/halvane", "-p", "987"};
    EXPECT_EQ(CommandLine::FromArguments(3, spaced), "\"/opt/my saver/halvane\" -p 987");
    Parsed p = Parse(CommandLine::FromArguments(3, spaced).c_str());
    EXPECT_EQ(p.mode, kModePreview);
    EXPECT_EQ(p.parent, 987);

    const char* dashed[] = {"/opt/a-b/halvane"};
    EXPECT_EQ(Parse(CommandLine::FromArguments(1, dashed).c_str()).mode, kModeConfigure);
    const char* run[] = {"halvane", "/s"};
    EXPECT_EQ(Parse(CommandLine::FromArguments(2, run).c_str()).mode, kModeSaver);
    EXPECT_EQ(CommandLine::FromArguments(0, nullptr), "");
}

// The process's arguments, split on spaces (no argument here holds one).
struct Arguments {
    explicit Arguments(const std::string& line) {
        words.push_back("halvane");
        size_t start = 0;
        while (start < line.size()) {
            const size_t end = line.find(' ', start);
            words.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
        for (const std::string& w : words) pointers.push_back(w.c_str());
    }
    std::vector<std::string> words;
    std::vector<const char*> pointers;
};

int ParseArgs(CommandLine* c, const std::string& line, const char* windowVariable = nullptr) {
    Arguments a(line);
    return c->ParseArguments(int(a.pointers.size()), a.pointers.data(), windowVariable);
}

TEST(CommandLineArguments, SystemSwitchesAndHackModes) {
    struct Case {
        const char* line;
        const char* windowVariable;
        ScreensaverMode mode;
        int64_t parent;
        bool hack;
        uint64_t hackWindow;
    };
    const Case cases[] = {
        {"", nullptr, kModeConfigure, 0, false, 0},
        {"/s", nullptr, kModeSaver, 0, false, 0},
        {"-S", nullptr, kModeSaver, 0, false, 0},
        {"/t", nullptr, kModeTest, 0, false, 0},
        {"/a", nullptr, kModePassword, 0, false, 0},
        {"/c", nullptr, kModeConfigure, 0, false, 0},
        {"/c:8830", nullptr, kModeConfigure, 8830, false, 0},
        {"/p 1234", nullptr, kModePreview, 1234, false, 0},
        {"/P:1234", nullptr, kModePreview, 1234, false, 0},
        {"-p1234", nullptr, kModePreview, 1234, false, 0},
        {"/p 0x4d2", nullptr, kModePreview, 1234, false, 0},
        {"/p", nullptr, kModePreview, 0, false, 0},
        {"/p 0", nullptr, kModePreview, 0, false, 0},
        // The daemon's forms: its window in the environment, or given on the command line.
        {"--root", "0x2a00007", kModeSaver, 0, true, 0x2a00007},
        {"-root", "44040199", kModeSaver, 0, true, 44040199},
        {"--root", nullptr, kModeSaver, 0, true, 0},
        {"--root", "", kModeSaver, 0, true, 0},
        {"--window-id 0x1e00003", nullptr, kModeSaver, 0, true, 0x1e00003},
        {"-window-id=31457283", nullptr, kModeSaver, 0, true, 31457283},
        {"--root --window-id 0xABCDEF", "0x2a00007", kModeSaver, 0, true, 0xabcdef},
        {"--window-id 0xffffffff", nullptr, kModeSaver, 0, true, 0xffffffff},
        // Settings without a mode run full screen with them.
        {"--no-music", nullptr, kModeSaver, 0, false, 0},
        {"--fps /s", nullptr, kModeSaver, 0, false, 0},
        {"/t --volume=20", nullptr, kModeTest, 0, false, 0},
    };
    for (const Case& c : cases) {
        CommandLine line;
        ASSERT_EQ(ParseArgs(&line, c.line, c.windowVariable), 0) << c.line << ": " << line.GetError();
        EXPECT_EQ(line.GetMode(), c.mode) << c.line;
        EXPECT_EQ(line.GetParentWindow(), c.parent) << c.line;
        EXPECT_EQ(line.IsHack(), c.hack) << c.line;
        EXPECT_EQ(line.GetHackWindow(), c.hackWindow) << c.line;
        EXPECT_FALSE(line.WantsHelp()) << c.line;
    }
    for (const char* help : {"--help", "-help", "-h", "/?", "-?", "--root --help"}) {
        CommandLine line;
        EXPECT_EQ(ParseArgs(&line, help), 0) << help;
        EXPECT_TRUE(line.WantsHelp()) << help;
        EXPECT_FALSE(line.IsHack()) << help;
    }
}

// --profile asks for the frame profile of a run: alone it is a full-screen run, with a run's
// switch or a hack it goes along, and nothing else asks for it.
TEST(CommandLineArguments, ProfileGoesWithARun) {
    struct Case {
        const char* line;
        ScreensaverMode mode;
        bool profile;
        bool hack;
    };
    const Case cases[] = {
        {"--profile", kModeSaver, true, false},   {"/s -profile", kModeSaver, true, false},
        {"/t --profile", kModeTest, true, false}, {"--root --profile", kModeSaver, true, true},
        {"--no-snow", kModeSaver, false, false},  {"/s", kModeSaver, false, false},
    };
    for (const Case& c : cases) {
        CommandLine line;
        ASSERT_EQ(ParseArgs(&line, c.line), 0) << c.line << ": " << line.GetError();
        EXPECT_EQ(line.GetMode(), c.mode) << c.line;
        EXPECT_EQ(line.WantsProfile(), c.profile) << c.line;
        EXPECT_EQ(line.IsHack(), c.hack) << c.line;
    }
}

// Wrong arguments are an error that names the culprit, never a run.
TEST(CommandLineArguments, WrongArgumentsAreErrors) {
    struct Case {
        const char* line;
        const char* windowVariable;
        const char* culprit;
    };
    const Case cases[] = {
        {"--bogus", nullptr, "'--bogus'"},
        {"-bogus", nullptr, "'-bogus'"},
        {"/x", nullptr, "'/x'"},
        {"/", nullptr, "'/'"},
        {"-", nullptr, "'-'"},
        {"--", nullptr, "'--'"},
        {"/sx", nullptr, "'/sx'"},
        {"-pfoo", nullptr, "'-pfoo'"},
        {"foo", nullptr, "'foo'"},
        {"/s 55", nullptr, "'55'"},
        {"/p x", nullptr, "'x'"},
        {"/p 12x", nullptr, "'12x'"},
        {"/p:abc", nullptr, "'abc'"},
        {"/p 99999999999999999999999", nullptr, "'99999999999999999999999'"},
        {"/s /c", nullptr, "two different modes"},
        {"--window-id", nullptr, "needs a value"},
        {"--window-id 0", nullptr, "'0'"},
        {"--window-id 0x", nullptr, "'0x'"},
        {"--window-id 0x100000000", nullptr, "'0x100000000'"},
        {"--window-id -5", nullptr, "'-5'"},
        {"--window-id 12abc", nullptr, "'12abc'"},
        {"--root", "garbage", "XSCREENSAVER_WINDOW='garbage'"},
        {"--root /s", nullptr, "'--root' does not go with '/s'"},
        {"/p 5 --window-id 7", nullptr, "'--window-id' does not go with '/p'"},
        {"--volume", nullptr, "needs a value"},
        {"--volume 101", nullptr, "'101'"},
        {"--volume -1", nullptr, "'-1'"},
        {"--volume=", nullptr, "''"},
        {"--music=1", nullptr, "takes no value"},
        {"--root=1", nullptr, "takes no value"},
        {"/c --no-snow", nullptr, "'--no-snow' is for a run"},
        {"/p 5 --fps", nullptr, "'--fps' is for a run"},
        {"/a --shine", nullptr, "'--shine' is for a run"},
        {"--Music", nullptr, "'--Music'"},
        {"--profile=1", nullptr, "takes no value"},
        {"/c --profile", nullptr, "'--profile' is for a run"},
        {"/p 5 -profile", nullptr, "'-profile' is for a run"},
    };
    for (const Case& c : cases) {
        CommandLine line;
        EXPECT_EQ(ParseArgs(&line, c.line, c.windowVariable), 1) << c.line;
        EXPECT_NE(line.GetError().find(c.culprit), std::string::npos) << c.line << ": " << line.GetError();
        EXPECT_FALSE(line.WantsHelp()) << c.line;
    }
}

TEST(CommandLineArguments, SettingsOverrideForOneRun) {
    CommandLine line;
    ASSERT_EQ(ParseArgs(&line, "--root --no-music --volume 30 -no-effects --fps --12-hour --no-reflections "
                               "--no-shadows --no-snow --no-shine --no-clock --music"),
              0)
        << line.GetError();
    Settings settings;
    settings.showFps = false;
    settings.hour24 = true;
    settings.width = 1234;
    line.ApplyOverrides(&settings);
    // The last word wins; what the line does not name stays.
    EXPECT_TRUE(settings.music);
    EXPECT_FALSE(settings.sfx);
    EXPECT_EQ(settings.volume, 30);
    EXPECT_TRUE(settings.showFps);
    EXPECT_FALSE(settings.hour24);
    EXPECT_FALSE(settings.showTime);
    EXPECT_FALSE(settings.reflections);
    EXPECT_FALSE(settings.shadows);
    EXPECT_FALSE(settings.snow);
    EXPECT_FALSE(settings.shine);
    EXPECT_EQ(settings.width, 1234);
    EXPECT_TRUE(settings.exitOnMouseMove);
}

// Every option of the table is in the help text, and each names a setting of the store.
TEST(CommandLineArguments, UsageNamesEveryOption) {
    const std::string usage = CommandLine::GetUsage();
    for (const char* fixed :
         {"--root", "--window-id", "--help", "--profile", "/s", "/c", "/p", "/a", "XSCREENSAVER_WINDOW"})
        EXPECT_NE(usage.find(fixed), std::string::npos) << fixed;
    for (int i = 0; i < CommandLine::GetOptionCount(); ++i) {
        const CommandLine::Option& option = CommandLine::GetOption(i);
        EXPECT_NE(usage.find(std::string("--") + option.name), std::string::npos) << option.name;
        EXPECT_GE(Settings::FindValue(option.setting), 0) << option.name;
    }
}

DisplayMode Mode(int w, int h, int bits, bool fullScreen = true) {
    DisplayMode m;
    m.width = w;
    m.height = h;
    m.colorBits = bits;
    m.fullScreen = fullScreen ? 1 : 0;
    return m;
}

TEST(DisplayModeChoice, SettingsOrDesktop) {
    const DisplayMode modes[] = {Mode(320, 240, 32), Mode(1024, 768, 32, false), Mode(1024, 768, 16),
                                 Mode(1024, 768, 32), Mode(1024, 768, 32)};
    const DisplayMode desktop = Mode(1920, 1080, 32);
    Settings s;
    s.width = 1024;
    s.height = 768;
    s.colorDepth = 32;
    s.useDesktopSettings = true;
    EXPECT_EQ(DisplayModeChoice::Choose(modes, 5, &desktop, s), &desktop);
    s.useDesktopSettings = false;
    // The first full-screen match, not the windowed one before it.
    EXPECT_EQ(DisplayModeChoice::Choose(modes, 5, &desktop, s), &modes[3]);
    s.colorDepth = 24;
    EXPECT_EQ(DisplayModeChoice::Choose(modes, 5, &desktop, s), &desktop);
    // Too small is never chosen, even when listed.
    s.width = 320;
    s.height = 240;
    s.colorDepth = 32;
    EXPECT_EQ(DisplayModeChoice::Choose(modes, 5, &desktop, s), &desktop);
    EXPECT_EQ(DisplayModeChoice::Choose(modes, 5, nullptr, s), nullptr);
}

// A desktop mode missing from the list leaves no mode to run in: never the windowed record.
TEST(DisplayModeChoice, TheDesktopIsAFullScreenRecordOrUnknown) {
    const DisplayMode modes[] = {Mode(800, 600, 32), Mode(1024, 768, 32), Mode(0, 0, 32, false)};
    EXPECT_EQ(DisplayModeChoice::Desktop(modes, 3, 1), &modes[1]);
    for (int index : {2, -1, 3}) EXPECT_EQ(DisplayModeChoice::Desktop(modes, 3, index), nullptr) << index;
    EXPECT_EQ(DisplayModeChoice::Desktop(nullptr, 0, 0), nullptr);
    Settings s;
    s.useDesktopSettings = true;
    EXPECT_EQ(DisplayModeChoice::Choose(modes, 3, DisplayModeChoice::Desktop(modes, 3, 2), s), nullptr);
    s.useDesktopSettings = false;
    s.width = 800;
    s.height = 600;
    s.colorDepth = 32;
    EXPECT_EQ(DisplayModeChoice::Choose(modes, 3, DisplayModeChoice::Desktop(modes, 3, 2), s), &modes[0]);
}

} // namespace
} // namespace nuv
