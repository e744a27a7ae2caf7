#include "app/DefaultSettings.h"
#include "app/SettingsStore.h"
#include "core/Log.h"
#include "core/TestSupport.h"
#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
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

// Each line stands on its own: a malformed one costs its own value only, and is logged by
// number; the file is left for the user to look at.
TEST_F(SettingsStoreTest, MalformedLinesCostOnlyTheirOwnValue) {
    test::LogRecorder log;
    const std::string path = root_ + "/d.conf";
    Settings defaults;
    defaults.volume = 50;
    struct Case {
        std::string text;
        int volume, width;
        std::vector<int> badLines;
    };
    const Case cases[] = {
        {"Volume=7\nWidth=abc\n", 7, 800, {2}},
        {"Volume=7\nGarbage\nWidth=1024\n", 7, 1024, {2}},
        {"Width=99999999999\nVolume=7\n", 7, 800, {1}},
        {"Volume=\nWidth=640", 50, 640, {1}},
        {"=4\r\nVolume= 7\r\nWidth=1280\r\n", 50, 1280, {1, 2}},
        {std::string("Volume=7\0\nWidth=720\n", 20), 50, 720, {1}},
        {"\xff\xfe garbage\n\n;comment\nVolume=9", 9, 800, {1, 3}},
    };
    for (const Case& c : cases) {
        WriteFile(path, c.text);
        Settings s = defaults;
        log.lines.clear();
        EXPECT_EQ(SettingsStore(path).Read(&s), 0) << c.text;
        Settings expected = defaults;
        expected.volume = c.volume;
        expected.width = c.width;
        EXPECT_EQ(s, expected) << c.text;
        for (const int line : c.badLines)
            EXPECT_TRUE(log.ContainsText("строка " + std::to_string(line) + ": не является значением")) << c.text;
        EXPECT_EQ(ReadFile(path), c.text);
    }
    // A file far too large to be the store's changes nothing and stays.
    WriteFile(path, "Volume=3\n" + std::string(100000, '\n'));
    Settings s = defaults;
    EXPECT_EQ(SettingsStore(path).Read(&s), 0);
    EXPECT_EQ(s, defaults);
    EXPECT_EQ(ReadFile(path).size(), 100009u);
}

TEST_F(SettingsStoreTest, OutOfRangeValuesTakeTheLimitsOrTheDefaults) {
    test::LogRecorder log;
    const std::string path = root_ + "/r.conf";
    Settings defaults;
    defaults.width = 1024;
    defaults.height = 768;
    struct Case {
        const char* line;
        int index, expected;
    };
    const Case cases[] = {
        {"Volume=100000", 7, 100},      {"Volume=-5", 7, 0},          {"Volume=100", 7, 100},
        {"Gamma=-500", 12, -100},       {"Gamma=101", 12, 100},       {"Gamma=-5", 12, -5},
        {"Width=0", 8, 1024},           {"Width=-640", 8, 1024},      {"Width=100000", 8, 1024},
        {"Height=0", 9, 768},           {"Height=1200", 9, 1200},     {"ColorDepth=7", 10, 32},
        {"ColorDepth=16", 10, 16},      {"AntiAliasing=-1", 11, 0},   {"AntiAliasing=4", 11, 4},
    };
    for (const Case& c : cases) {
        WriteFile(path, std::string(c.line) + "\n");
        Settings s = defaults;
        log.lines.clear();
        ASSERT_EQ(SettingsStore(path).Read(&s), 0);
        EXPECT_EQ(s.GetValue(c.index), c.expected) << c.line;
        const bool corrected = std::string(c.line) != std::string(Settings::GetValueName(c.index)) + "=" +
                                                          std::to_string(c.expected);
        EXPECT_EQ(log.ContainsText("вне допустимых пределов"), corrected) << c.line;
    }
    // A default that is itself out of range gives way to the built-in value.
    Settings broken;
    broken.width = -1;
    WriteFile(path, "Width=0\n");
    ASSERT_EQ(SettingsStore(path).Read(&broken), 0);
    EXPECT_EQ(broken.width, Settings().width);
}

// An empty store (a write killed before its first byte) is filled again; a temporary file that
// a killed write left beside the store goes, one that a running write holds stays.
TEST_F(SettingsStoreTest, EmptyStoreAndLeftoverTemporaries) {
    test::LogRecorder log;
    const std::string path = root_ + "/s.conf";
    WriteFile(path, "");
    Settings s;
    s.volume = 33;
    ASSERT_EQ(SettingsStore(path).Read(&s), 0);
    EXPECT_EQ(ReadFile(path), SettingsStore::Format(s));
    EXPECT_TRUE(log.ContainsText("пуст"));

    WriteFile(path + ".Ab12Cd", "Volume=1\n");   // killed before its rename
    WriteFile(path + ".Zz99zZ", "");             // killed before its first byte
    WriteFile(path + ".bak", "keep");            // not ours
    WriteFile(path + ".Ab12C", "keep");
    WriteFile(root_ + "/other.conf.Ab12Cd", "keep");
    WriteFile(path + ".Held00", "in progress");
    const int held = open((path + ".Held00").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    Settings back;
    ASSERT_EQ(SettingsStore(path).Read(&back), 0);
    EXPECT_EQ(back, s);
    std::vector<std::string> names = List(root_);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"other.conf.Ab12Cd", "s.conf", "s.conf.Ab12C", "s.conf.Held00",
                                               "s.conf.bak"}));
    close(held);
    // Once let go, the next write clears it.
    ASSERT_EQ(SettingsStore(path).Write(s), 0);
    EXPECT_EQ(List(root_).size(), 4u);
}

// A store that exists but cannot be read fails the read with a clear message, and nothing is
// written over it.
TEST_F(SettingsStoreTest, UnreadableStoreTakesTheErrorPath) {
    test::LogRecorder log;
    const std::string folder = root_ + "/folder.conf";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    Settings s;
    EXPECT_EQ(SettingsStore(folder).Read(&s), 1);
    EXPECT_EQ(s, Settings());
    EXPECT_TRUE(log.Contains(kLogError, "Неудачна попытка открытия пути реестра [" + folder + "]."));
    EXPECT_TRUE(log.ContainsText("не читается: a folder is in its place"));
    EXPECT_TRUE(List(folder).empty());
    const std::string fifo = root_ + "/fifo.conf";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(SettingsStore(fifo).Read(&s), 1);
    if (geteuid() != 0) {
        // Permissions bind every user but root.
        const std::string path = root_ + "/locked.conf";
        WriteFile(path, "Volume=1\n");
        ASSERT_EQ(chmod(path.c_str(), 0), 0);
        EXPECT_EQ(SettingsStore(path).Read(&s), 1);
        EXPECT_TRUE(log.ContainsText("Permission denied"));
    }
}

// A settings folder that cannot be written: the run goes on with the defaults, and says once
// that they cannot be saved.
TEST_F(SettingsStoreTest, UnwritableFolderRunsWithTheDefaults) {
    test::LogRecorder log;
    WriteFile(root_ + "/file", "keep");
    std::vector<std::string> paths = {root_ + "/file/s.conf"};
    if (geteuid() != 0) {
        ASSERT_EQ(mkdir((root_ + "/ro").c_str(), 0500), 0);
        paths.push_back(root_ + "/ro/s.conf");
    }
    for (const std::string& path : paths) {
        log.lines.clear();
        Settings s;
        s.volume = 12;
        Settings expected = s;
        EXPECT_EQ(SettingsStore(path).Read(&s), 0) << path;
        EXPECT_EQ(s, expected);
        EXPECT_TRUE(log.Contains(kLogError, "Невозможно записать в реестр значения по-умолчанию."));
        int said = 0;
        for (const std::string& line : log.lines) said += line.find("не могут быть сохранены") != std::string::npos;
        EXPECT_EQ(said, 1) << path;
    }
    EXPECT_EQ(ReadFile(root_ + "/file"), "keep");
}

// Reads that return a few bytes at a time still give the whole text; more than the cap is refused.
TEST(SettingsStoreText, ReadTextTakesShortReadsAndKeepsTheCap) {
    const std::string text = "ShowFPS=1\nVolume=42\n" + std::string(5000, '\n');
    for (const size_t step : {size_t(1), size_t(7), size_t(4096)}) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        std::thread writer([&] {
            for (size_t i = 0; i < text.size(); i += step) {
                const size_t n = std::min(step, text.size() - i);
                if (write(fds[1], text.data() + i, n) != ssize_t(n)) break;
            }
            close(fds[1]);
        });
        std::string got;
        EXPECT_EQ(SettingsStore::ReadText(fds[0], text.size(), &got), 0) << step;
        writer.join();
        close(fds[0]);
        EXPECT_EQ(got, text) << step;
    }
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], text.data(), 100), 100);
    close(fds[1]);
    std::string got;
    EXPECT_EQ(SettingsStore::ReadText(fds[0], 99, &got), 1);
    close(fds[0]);
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
    SettingsStore blocked(root_ + "/file/s.conf");
    EXPECT_EQ(blocked.Write(Settings()), 1);
    EXPECT_FALSE(blocked.GetWriteError().empty());
    EXPECT_EQ(ReadFile(root_ + "/file"), "keep");
    EXPECT_TRUE(log.ContainsText("Неудачна попытка"));
    // And the first run reports it: a name that just fits, whose temporary name does not.
    log.lines.clear();
    Settings s;
    EXPECT_EQ(SettingsStore(root_ + "/" + std::string(250, 'n')).Read(&s), 0);
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
