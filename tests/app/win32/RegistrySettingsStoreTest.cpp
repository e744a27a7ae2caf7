// The settings store in the registry, under Wine: the key's path, the first run, values of the
// wrong type or size, and what a write leaves in the registry.
#include "app/SettingsStore.h"
#include "core/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace nuv {
namespace {

TEST(RegistryPath, SeparatorsAreNormalisedAndAnEmptyPathIsRefused) {
    struct Case {
        const char* text;
        int status;
        const char* key;
    };
    const Case cases[] = {
        {"Software\\\\Tessaly Software\\\\Halvane 3D Screensaver", 0, "Software\\Tessaly Software\\Halvane 3D Screensaver"},
        {"Software\\Quorvel Studio\\Test Screensaver", 0, "Software\\Quorvel Studio\\Test Screensaver"},
        {"\\Software/./Maker\\..\\", 0, "Software\\Maker"},
        {"", 1, ""},
        {"\\\\", 1, ""},
    };
    for (const Case& c : cases) {
        std::string key;
        EXPECT_EQ(SettingsStore::MakePath(String(c.text), &key), c.status) << c.text;
        if (c.status == 0) {
            EXPECT_EQ(key, c.key);
        }
    }
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = "Software\\Quorvel Studio Tests\\Store " + std::to_string(GetCurrentProcessId());
        RegDeleteTreeW(HKEY_CURRENT_USER, Wide(path_).c_str());
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, Wide(path_).c_str()); }

    static std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
    // The value's type and number when it is a DWORD.
    bool Query(const char* name, DWORD* type, DWORD* value) {
        DWORD size = sizeof *value;
        return RegGetValueW(HKEY_CURRENT_USER, Wide(path_).c_str(), Wide(name).c_str(), RRF_RT_ANY, type, value,
                            &size) == ERROR_SUCCESS &&
               size == sizeof *value;
    }
    void Set(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Wide(path_).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, Wide(name).c_str(), 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    std::string path_;
};

TEST_F(Registry, TheFirstRunWritesTheSettingsItHasAsDwords) {
    Settings settings;
    settings.volume = 50;
    settings.gamma = -20;
    settings.hour24 = false;
    settings.snow = false;
    test::LogRecorder log;
    ASSERT_EQ(SettingsStore(path_).Read(&settings), 0);
    EXPECT_TRUE(log.ContainsText("Первый запуск скринсейвера. Запись параметров по-умолчанию в реестр..."));
    EXPECT_TRUE(log.ContainsText("Значения параметров по-умолчанию записаны в реестр."));
    for (int i = 0; i < Settings::kValueCount; ++i) {
        DWORD type = 0, value = 0;
        ASSERT_TRUE(Query(Settings::GetValueName(i), &type, &value)) << Settings::GetValueName(i);
        EXPECT_EQ(type, DWORD(REG_DWORD));
        EXPECT_EQ(int32_t(value), settings.GetValue(i)) << Settings::GetValueName(i);
    }
    // The second run reads what the first wrote.
    Settings again;
    ASSERT_EQ(SettingsStore(path_).Read(&again), 0);
    EXPECT_EQ(again, settings);
}

TEST_F(Registry, UpToFourBytesOfAnyTypeAreTheNumberAndLongerValuesChangeNothing) {
    Settings written;
    ASSERT_EQ(SettingsStore(path_).Write(written), 0);
    const wchar_t seven[] = L"7"; // '7', 0, 0, 0: 55
    Set("Volume", REG_SZ, seven, sizeof seven);
    const BYTE three[] = {1, 2, 0};
    Set("Width", REG_BINARY, three, sizeof three);
    const unsigned long long wide = 1024;
    Set("Height", REG_QWORD, &wide, sizeof wide);
    const DWORD loud = 250, negative = DWORD(-300), two = 2;
    Set("Gamma", REG_DWORD, &negative, sizeof negative);
    Set("ColorDepth", REG_DWORD, &loud, sizeof loud);
    Set("ShowFPS", REG_DWORD, &two, sizeof two);
    const wchar_t text[] = L"not a number at all";
    Set("AntiAliasing", REG_SZ, text, sizeof text);

    Settings settings;
    settings.height = 600;
    settings.antiAliasing = 3;
    ASSERT_EQ(SettingsStore(path_).Read(&settings), 0);
    EXPECT_EQ(settings.volume, 55);
    EXPECT_EQ(settings.width, 0x0201);
    EXPECT_EQ(settings.height, 600);      // eight bytes: unchanged
    EXPECT_EQ(settings.antiAliasing, 3);  // too long: unchanged
    EXPECT_EQ(settings.gamma, -300);      // out of the dialog's range, taken as stored
    EXPECT_EQ(settings.colorDepth, 250);
    EXPECT_TRUE(settings.showFps);
}

TEST_F(Registry, AWriteReplacesEveryValueWithADword) {
    const wchar_t text[] = L"x";
    Set("Volume", REG_SZ, text, sizeof text);
    Settings settings;
    settings.volume = 0;
    settings.shine = false;
    settings.width = 1280;
    ASSERT_EQ(SettingsStore(path_).Write(settings), 0);
    DWORD type = 0, value = 0;
    ASSERT_TRUE(Query("Volume", &type, &value));
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(value, 0u);
    ASSERT_TRUE(Query("Shine", &type, &value));
    EXPECT_EQ(value, 0u);
    ASSERT_TRUE(Query("Width", &type, &value));
    EXPECT_EQ(value, 1280u);
}

} // namespace
} // namespace nuv
