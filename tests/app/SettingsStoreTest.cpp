#include "app/DefaultSettings.h"
#include "app/SettingsStore.h"
#include "core/Log.h"
#include "core/TestSupport.h"
#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace nuv {
namespace {

// A fresh configuration folder for each test, named by XDG_CONFIG_HOME.
class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/nuv-settings-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        const char* old = std::getenv("XDG_CONFIG_HOME");
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    }
    void TearDown() override {
        if (hadOld_)
            setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        std::system(("rm -rf '" + root_ + "'").c_str());
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void WriteFile(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::vector<std::string> List(const std::string& folder) {
        std::vector<std::string> names;
        if (DIR* dir = opendir(folder.c_str())) {
            while (dirent* e = readdir(dir))
                if (e->d_name[0] != '.') names.emplace_back(e->d_name);
            closedir(dir);
        }
        return names;
    }

    std::string root_, old_;
    bool hadOld_ = false;
};

TEST_F(SettingsStoreTest, PathFromRegistryPath) {
    std::string path;
    ASSERT_EQ(SettingsStore::MakePath("Software\\\\Tessaly Software\\\\Halvane 3D Screensaver", &path), 0);
    EXPECT_EQ(path, root_ + "/Software/Tessaly Software/Halvane 3D Screensaver.conf");
    ASSERT_EQ(SettingsStore::MakePath("Software\\Quorvel Studio\\Test Screensaver", &path), 0);
    EXPECT_EQ(path, root_ + "/Software/Quorvel Studio/Test Screensaver.conf");
    // Nothing climbs out of the configuration folder.
    ASSERT_EQ(SettingsStore::MakePath("..\\..\\etc/./x", &path), 0);
    EXPECT_EQ(path, root_ + "/etc/x.conf");
    EXPECT_EQ(SettingsStore::MakePath("\\\\..\\", &path), 1);
    EXPECT_EQ(SettingsStore::MakePath("", &path), 1);
}

TEST_F(SettingsStoreTest, FirstRunWritesTheDefaultsOfTheUsersLanguage) {
    test::LogRecorder log;
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    ASSERT_EQ(FindResourceData("MEDIADATA", 239, kResourceLanguageRussian, &bytes, &size), 0);
    DefaultSettings defaults;
    defaults.Load(bytes, size);
    std::string path;
    ASSERT_EQ(SettingsStore::MakePath(defaults.registryPath, &path), 0);

    Settings current = defaults.settings;
    SettingsStore store(path);
    ASSERT_EQ(store.Read(&current), 0);
    EXPECT_EQ(current, defaults.settings);
    EXPECT_TRUE(log.Contains(kLogInfo, "Первый запуск скринсейвера. Запись параметров по-умолчанию в реестр..."));
    EXPECT_TRUE(log.Contains(kLogInfo, "Значения параметров по-умолчанию записаны в реестр."));
    EXPECT_EQ(ReadFile(path),
              "ShowFPS=1\nExitOnMouseMove=1\nShowTime=1\nUseDesktopSettings=1\nMusic=1\nSFX=1\nHour24=1\n"
              "Volume=80\nWidth=800\nHeight=600\nColorDepth=32\nAntiAliasing=0\nGamma=0\n"
              "Reflections=1\nShadows=1\nSnow=1\nShine=1\n");

    // The second run reads what the first wrote, over other defaults.
    log.lines.clear();
    Settings other;
    ASSERT_EQ(SettingsStore(path).Read(&other), 0);
    EXPECT_EQ(other, defaults.settings);
    EXPECT_FALSE(log.ContainsText("Первый запуск"));
}

TEST_F(SettingsStoreTest, WriteReplacesTheWholeFile) {
    const std::string path = root_ + "/a/b/saver.conf";
    SettingsStore store(path);
    Settings s;
    s.volume = 13;
    s.gamma = -100;
    s.snow = false;
    s.hour24 = false;
    ASSERT_EQ(store.Write(s), 0);
    s.width = 1280;
    ASSERT_EQ(store.Write(s), 0);
    Settings back;
    ASSERT_EQ(store.Read(&back), 0);
    EXPECT_EQ(back, s);
    // No temporary file is left beside it.
    EXPECT_EQ(List(root_ + "/a/b"), std::vector<std::string>{"saver.conf"});
}

TEST_F(SettingsStoreTest, PartialAndForeignValues) {
    const std::string path = root_ + "/p.conf";
    WriteFile(path, "Volume=5\r\n\r\nShowFPS=3\nFutureOption=9\nGamma=-7");
    Settings s;
    ASSERT_EQ(SettingsStore(path).Read(&s), 0);
    Settings expected;
    expected.volume = 5;
    expected.showFps = true;
    expected.gamma = -7;
    EXPECT_EQ(s, expected);
}

TEST_F(SettingsStoreTest, DamagedOrUnreadableStoreKeepsTheDefaults) {
    test::LogRecorder log;
    const std::string path = root_ + "/d.conf";
    Settings defaults;
    defaults.volume = 50;
    const std::string texts[] = {"Volume=7\nWidth=abc\n", "Volume=7\nGarbage\n", "Volume=7\nWidth=99999999999\n",
                                 "Volume=\n", "=4\n", "Volume= 7\n", std::string("Volume=7\0\n", 10)};
    for (const std::string& text : texts) {
        WriteFile(path, text);
        Settings s = defaults;
        log.lines.clear();
        EXPECT_EQ(SettingsStore(path).Read(&s), 0) << text;
        EXPECT_EQ(s, defaults) << text;
        EXPECT_TRUE(log.ContainsText("повреждён")) << text;
        // The damaged file is left for the user to look at, not overwritten.
        EXPECT_EQ(ReadFile(path), text);
    }
    // A folder where the file should be, and a file far too large.
    const std::string folder = root_ + "/folder.conf";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    Settings s = defaults;
    log.lines.clear();
    EXPECT_EQ(SettingsStore(folder).Read(&s), 0);
    EXPECT_EQ(s, defaults);
    EXPECT_EQ(log.lines.size(), 1u);
    WriteFile(path, std::string(100000, '\n'));
    EXPECT_EQ(SettingsStore(path).Read(&s), 0);
    EXPECT_EQ(s, defaults);
}

TEST_F(SettingsStoreTest, FailedWriteLeavesNoTrace) {
    test::LogRecorder log;
    // A folder in the file's place: the rename fails after the new text was written.
    const std::string folder = root_ + "/x.conf";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    EXPECT_EQ(SettingsStore(folder).Write(Settings()), 1);
    EXPECT_EQ(List(root_), std::vector<std::string>{"x.conf"});
    // A file in the folder's place.
    WriteFile(root_ + "/file", "keep");
    EXPECT_EQ(SettingsStore(root_ + "/file/s.conf").Write(Settings()), 1);
    EXPECT_EQ(ReadFile(root_ + "/file"), "keep");
    EXPECT_TRUE(log.ContainsText("Неудачна попытка"));
    // And the first run reports it: a name that just fits, whose temporary name does not.
    log.lines.clear();
    Settings s;
    EXPECT_EQ(SettingsStore(root_ + "/" + std::string(250, 'n')).Read(&s), 1);
    EXPECT_EQ(List(root_).size(), 2u);
    EXPECT_TRUE(log.Contains(kLogError, "Невозможно записать в реестр значения по-умолчанию."));
}

TEST(Settings, LogDumpInOrder) {
    test::LogRecorder log;
    Settings s;
    s.volume = 42;
    s.snow = false;
    s.Log();
    const std::vector<std::string> expected = {
        "0|ShowFPS: false", "0|ExitOnMouseMove: true", "0|ShowTime: true", "0|UseDesktopSettings: true",
        "0|Music: true", "0|SFX: true", "0|Hour24: true", "0|Volume: 42", "0|Width: 800", "0|Height: 600",
        "0|ColorDepth: 32", "0|AntiAliasing: 0", "0|Gamma: 100", "0|Reflections: true", "0|Shadows: true",
        "0|Snow: false", "0|Shine: true"};
    EXPECT_EQ(log.lines, expected);
}

} // namespace
} // namespace nuv
