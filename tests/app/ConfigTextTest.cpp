#include "app/ConfigTextReader.h"
#include "app/DefaultSettings.h"
#include "app/UiStrings.h"
#include "core/Log.h"
#include "core/TestSupport.h"
#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace nuv {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    ConfigTextReader reader(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    std::vector<std::string> lines;
    String line;
    while (reader.ReadLine(&line) == 0) lines.emplace_back(line.GetText(), size_t(line.GetLength()));
    return lines;
}

std::pair<std::string, std::string> Split(const char* line) {
    String key, value;
    ConfigTextReader::SplitLine(line, &key, &value);
    return {key.GetText(), value.GetText()};
}

DefaultSettings Defaults(const std::string& text) {
    DefaultSettings defaults;
    defaults.Load(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return defaults;
}

TEST(ConfigTextReader, LineEndsCommentsAndEmptyLines) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Lines("a = 1\r\nb = 2\nc = 3\rd = 4"), (V{"a = 1", "b = 2", "c = 3", "d = 4"}));
    EXPECT_EQ(Lines("; only a comment\r\n\r\n\n; another\nx = 5; trailing ; comment\r\n"), (V{"x = 5"}));
    EXPECT_EQ(Lines("value = a;b"), (V{"value = a"}));
    EXPECT_EQ(Lines("; comment without end"), V{});
    EXPECT_EQ(Lines(""), V{});
    EXPECT_EQ(Lines("\r\n\r\n"), V{});
    // A zero byte is an ordinary character of the line, not its end.
    EXPECT_EQ(Lines(std::string("k = a\0b\n", 8)), (V{std::string("k = a\0b", 7)}));
}

TEST(ConfigTextReader, NullTextHasNoLines) {
    ConfigTextReader reader(nullptr, 10);
    String line;
    EXPECT_EQ(reader.ReadLine(&line), 1);
}

TEST(ConfigTextReader, SplitsAtFirstSpacedEquals) {
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(Split("Key = value"), (P{"Key", "value"}));
    EXPECT_EQ(Split("Key = a = b"), (P{"Key", "a = b"}));
    EXPECT_EQ(Split("Path = Software\\\\Maker  "), (P{"Path", "Software\\\\Maker  "}));
    EXPECT_EQ(Split("Empty = "), (P{"Empty", ""}));
    EXPECT_EQ(Split("Key=value"), (P{"", ""}));
    EXPECT_EQ(Split("Key =value"), (P{"", ""}));
    EXPECT_EQ(Split(" = x"), (P{"", "x"}));
}

TEST(ConfigTextReader, ScansNumbersLikePercentD) {
    int n = -7;
    EXPECT_TRUE(ConfigTextReader::ScanInt("  42", &n));
    EXPECT_EQ(n, 42);
    EXPECT_TRUE(ConfigTextReader::ScanInt("-15abc", &n));
    EXPECT_EQ(n, -15);
    EXPECT_TRUE(ConfigTextReader::ScanInt("+3", &n));
    EXPECT_EQ(n, 3);
    EXPECT_TRUE(ConfigTextReader::ScanInt("99999999999999999999", &n));
    EXPECT_EQ(n, 2147483647);
    EXPECT_TRUE(ConfigTextReader::ScanInt("-99999999999999999999", &n));
    EXPECT_EQ(n, -2147483647 - 1);
    n = 5;
    EXPECT_FALSE(ConfigTextReader::ScanInt("abc", &n));
    EXPECT_FALSE(ConfigTextReader::ScanInt("", &n));
    EXPECT_FALSE(ConfigTextReader::ScanInt("-", &n));
    EXPECT_FALSE(ConfigTextReader::ScanInt(" - 4", &n));
    EXPECT_EQ(n, 5);
}

TEST(DefaultSettings, ValueRules) {
    // Not a number: an integer keeps its value, a flag reads as 0.
    DefaultSettings d = Defaults("Volume = loud\nShowTime = yes\n");
    EXPECT_EQ(d.settings.volume, 80);
    EXPECT_FALSE(d.settings.showTime);

    d = Defaults("ShowFPS = 7\r\nHour24 = 0\r\nGamma = -40; dark\r\nSnow = 0\r\n");
    EXPECT_TRUE(d.settings.showFps);
    EXPECT_FALSE(d.settings.hour24);
    EXPECT_EQ(d.settings.gamma, -40);
    EXPECT_FALSE(d.settings.snow);

    // Without the spaces around '=' the line names nothing; keys are case-sensitive and whole.
    d = Defaults("ShowFPS=1\nshowfps = 1\nShowFPSX = 1\nWidth  = 1024\n");
    EXPECT_EQ(d.settings, Settings());

    d = Defaults("RegistryPath = Software\\\\A\\\\B; path\nmain_web_site_url = http://x.example/\n");
    EXPECT_STREQ(d.registryPath.GetText(), "Software\\\\A\\\\B");
    EXPECT_STREQ(d.webSiteUrl.GetText(), "http://x.example/");
}

std::string Resource(int id, int language) {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    EXPECT_EQ(FindResourceData("MEDIADATA", id, language, &bytes, &size), 0);
    return std::string(reinterpret_cast<const char*>(bytes), size);
}

TEST(DefaultSettings, ShippedTexts) {
    const DefaultSettings neutral = Defaults(Resource(239, kResourceLanguageNeutral));
    Settings expected;
    expected.showFps = false;
    expected.exitOnMouseMove = false;
    expected.hour24 = false;
    expected.volume = 50;
    expected.gamma = 10;
    EXPECT_EQ(neutral.settings, expected);
    EXPECT_STREQ(neutral.registryPath.GetText(), "Software\\\\Tessaly Software\\\\Halvane 3D Screensaver");
    EXPECT_FALSE(neutral.webSiteUrl.IsEmpty());

    const DefaultSettings russian = Defaults(Resource(239, kResourceLanguageRussian));
    expected.showFps = true;
    expected.exitOnMouseMove = true;
    expected.hour24 = true;
    expected.volume = 80;
    expected.gamma = 0;
    EXPECT_EQ(russian.settings, expected);
    EXPECT_STREQ(russian.registryPath.GetText(), "Software\\\\Quorvel Studio\\\\Test Screensaver");
}

#ifndef _WIN32
// Sets the locale variables for one test and puts them back.
class LanguageScope {
public:
    explicit LanguageScope(const char* lang) {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_.emplace_back(value ? value : "", value != nullptr);
            unsetenv(name);
        }
        setenv("LANG", lang, 1);
    }
    ~LanguageScope() {
        for (size_t i = 0; i < 3; ++i) {
            if (saved_[i].second)
                setenv(kNames[i], saved_[i].first.c_str(), 1);
            else
                unsetenv(kNames[i]);
        }
    }

private:
    static constexpr const char* kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::pair<std::string, bool>> saved_;
};

TEST(DefaultSettings, LoadsTheUsersLanguage) {
    test::LogRecorder log;
    {
        LanguageScope language("ru_RU.UTF-8");
        DefaultSettings russian;
        EXPECT_EQ(russian.LoadResource(), 0);
        EXPECT_EQ(russian.settings.volume, 80);
        EXPECT_EQ(russian.settings.gamma, 0);
    }
    {
        LanguageScope language("en_GB.UTF-8");
        DefaultSettings neutral;
        EXPECT_EQ(neutral.LoadResource(), 0);
        EXPECT_EQ(neutral.settings.volume, 50);
    }
    EXPECT_TRUE(log.Contains(kLogInfo, "Ресурс настроек загружен."));
}
#endif

const char* const kUiKeys[] = {
    "AppName", "Mes_Button_OK", "Mes_Button_Cancel", "Mes_About_Title", "Mes_About_String1",
    "Mes_About_String2", "Mes_About_String3", "Mes_About_String4", "Mes_About_String5", "Mes_About_String6",
    "Mes_About_String7", "Mes_About_String8", "Mes_Settings_Title", "Mes_Settings_UseDesktop",
    "Mes_Settings_Box_Mode", "Mes_Settings_Box_Sound", "Mes_Settings_Box_Graphics", "Mes_Settings_Box_Misc",
    "Mes_Settings_Box_Products", "Mes_Settings_Box_Quality", "Mes_Settings_MusicVolume",
    "Mes_Settings_EnableMusic", "Mes_Settings_EnableSound", "Mes_Settings_ExitOnMouse", "Mes_Settings_ShowFPS",
    "Mes_Settings_Gamma", "Mes_Settings_ShowTime", "Mes_Settings_24h", "Mes_Settings_12h",
    "Mes_Settings_Products", "Mes_Settings_Button_About", "Mes_Settings_Button_RestoreDefs",
    "Mes_Settings_Button_Visit", "Mes_Settings_ShowReflections", "Mes_Settings_ShowSnow",
    "Mes_Settings_ShowShine",
};

void Load(UiStrings* strings, const std::string& text) {
    strings->Load(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(UiStrings, FirstTextOfAKeyStays) {
    UiStrings strings;
    Load(&strings, "A = one\nB = two\nA = three\nnothing here\n");
    EXPECT_EQ(strings.GetCount(), 2);
    EXPECT_STREQ(strings.Get("A", "?"), "one");
    EXPECT_STREQ(strings.Get("C", "fallback"), "fallback");
    EXPECT_EQ(strings.Get(String("C")), nullptr);
}

TEST(UiStrings, ShippedTexts) {
    for (int language : {int(kResourceLanguageNeutral), int(kResourceLanguageRussian)}) {
        UiStrings strings;
        Load(&strings, Resource(229, language));
        for (const char* key : kUiKeys) EXPECT_NE(strings.Get(String(key)), nullptr) << key << " " << language;
    }
    UiStrings neutral;
    Load(&neutral, Resource(229, kResourceLanguageNeutral));
    EXPECT_STREQ(neutral.Get("AppName", ""), "Halvane 3D Screensaver");
    EXPECT_STREQ(neutral.Get("Mes_Settings_Title", ""), "Halvane 3D Screensaver Configuration");
    EXPECT_STREQ(neutral.Get("Mes_Settings_Gamma", ""), "Gamma Control:");
    EXPECT_STREQ(neutral.Get("Mes_About_String2", "?"), "");
    // Its line lacks the space after '=': the dialog keeps its own text.
    EXPECT_EQ(neutral.Get(String("Mes_Settings_ShowShadows")), nullptr);
    UiStrings russian;
    Load(&russian, Resource(229, kResourceLanguageRussian));
    EXPECT_STREQ(russian.Get("Mes_Button_Cancel", ""), "Отмена");
}

} // namespace
} // namespace nuv
