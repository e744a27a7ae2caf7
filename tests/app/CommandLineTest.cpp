#include "app/CommandLine.h"
#include "app/DisplayModeChoice.h"

#include <gtest/gtest.h>

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
