#include "app/SettingsDialogModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifndef _WIN32
#include "app/SettingsStore.h"

#include <unistd.h>
#include <cstdlib>
#include <fstream>
#include <sstream>
#endif

namespace nuv {
namespace {

DisplayMode Mode(int width, int height, int bits, bool fullScreen = true) {
    DisplayMode mode;
    mode.width = width;
    mode.height = height;
    mode.colorBits = bits;
    mode.fullScreen = fullScreen ? 1 : 0;
    return mode;
}

// A device list with what the dialog must leave out or merge: a mode too narrow, one too low,
// the same size twice (two refresh rates) and the windowed record.
const std::vector<DisplayMode> kModes = {
    Mode(320, 240, 32), Mode(640, 480, 32),  Mode(800, 600, 32),  Mode(800, 600, 32),
    Mode(800, 600, 16), Mode(1024, 400, 32), Mode(1024, 768, 32), Mode(0, 0, 32, false),
};

std::vector<std::string> Texts(const SettingsDialogModel& model) {
    std::vector<std::string> texts;
    for (const auto& item : model.GetModeItems()) texts.push_back(item.text);
    return texts;
}

TEST(SettingsDialogModel, ModeListHasEachShownModeOnce) {
    Settings defaults, current;
    SettingsDialogModel model(defaults, &current, kModes.data(), int(kModes.size()), 6);
    EXPECT_EQ(Texts(model),
              (std::vector<std::string>{"640x480x32bits", "800x600x32bits", "800x600x16bits", "1024x768x32bits"}));
    // Each item keeps the first record it stands for.
    EXPECT_EQ(model.GetModeItems()[1].modeIndex, 2);
    EXPECT_EQ(model.GetModeItems()[2].modeIndex, 4);
    // A renderer without modes gives an empty list and no selection.
    SettingsDialogModel empty(defaults, &current, nullptr, 5, 0);
    EXPECT_TRUE(empty.GetModeItems().empty());
    EXPECT_EQ(empty.GetSelectedItem(), -1);
}

TEST(SettingsDialogModel, SelectionFollowsDesktopOrStoredMode) {
    Settings defaults, current;
    current.useDesktopSettings = true;
    current.width = 800;
    current.height = 600;
    current.colorDepth = 16;
    // With the desktop's settings the display's current mode is selected, whatever is stored.
    SettingsDialogModel desktop(defaults, &current, kModes.data(), int(kModes.size()), 6);
    EXPECT_EQ(desktop.GetSelectedItem(), 3);

    // Otherwise the stored size and depth.
    current.useDesktopSettings = false;
    desktop.BuildModeList();
    EXPECT_EQ(desktop.GetSelectedItem(), 2);

    // A stored mode the device does not offer selects nothing.
    current.width = 1280;
    desktop.BuildModeList();
    EXPECT_EQ(desktop.GetSelectedItem(), -1);
    // Nor does an unknown current mode.
    current.useDesktopSettings = true;
    SettingsDialogModel unknown(defaults, &current, kModes.data(), int(kModes.size()), -1);
    EXPECT_EQ(unknown.GetSelectedItem(), -1);
}

TEST(SettingsDialogModel, EnablingRules) {
    Settings defaults, current;
    SettingsDialogModel model(defaults, &current, kModes.data(), int(kModes.size()), 6);
    model.SetUseDesktopSettings(true);
    EXPECT_FALSE(model.IsModeListEnabled());
    model.SetUseDesktopSettings(false);
    EXPECT_TRUE(model.IsModeListEnabled());

    model.SetMusic(false);
    model.SetSfx(false);
    EXPECT_FALSE(model.IsVolumeEnabled());
    model.SetSfx(true);
    EXPECT_TRUE(model.IsVolumeEnabled());
    model.SetSfx(false);
    model.SetMusic(true);
    EXPECT_TRUE(model.IsVolumeEnabled());

    model.SetShowTime(false);
    EXPECT_FALSE(model.IsClockFormatEnabled());
    model.SetShowTime(true);
    EXPECT_TRUE(model.IsClockFormatEnabled());
}

TEST(SettingsDialogModel, GammaLabelIsPercentFromZero) {
    EXPECT_EQ(SettingsDialogModel::FormatGamma(10), "110%");
    EXPECT_EQ(SettingsDialogModel::FormatGamma(-100), "0%");
    EXPECT_EQ(SettingsDialogModel::FormatGamma(100), "200%");
}

TEST(SettingsDialogModel, OkTakesTheSelectedModeEvenWithDesktopSettings) {
    Settings defaults, current;
    current.useDesktopSettings = true;
    SettingsDialogModel model(defaults, &current, kModes.data(), int(kModes.size()), 6);
    model.SelectItem(2);
    Settings written;
    int writes = 0;
    EXPECT_EQ(model.Accept([&](const Settings& s) {
        written = s;
        ++writes;
        return 0;
    }),
              0);
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(written.width, 800);
    EXPECT_EQ(written.height, 600);
    EXPECT_EQ(written.colorDepth, 16);
    EXPECT_TRUE(written.useDesktopSettings);

    // Without a selection the stored mode stays; a failed write is reported.
    current.width = 1234;
    model.SelectItem(99);
    EXPECT_EQ(model.GetSelectedItem(), -1);
    EXPECT_EQ(model.Accept([](const Settings&) { return 1; }), 1);
    EXPECT_EQ(current.width, 1234);
}

TEST(SettingsDialogModel, RestoreDefaultsResetsEveryValueAndTheList) {
    Settings defaults;
    defaults.useDesktopSettings = false;
    defaults.volume = 50;
    defaults.gamma = 10;
    defaults.hour24 = false;
    defaults.width = 640;
    defaults.height = 480;
    defaults.colorDepth = 32;
    Settings current = defaults;
    SettingsDialogModel model(defaults, &current, kModes.data(), int(kModes.size()), 6);
    model.SetVolume(3);
    model.SetGamma(-40);
    model.SetHour24(true);
    model.SetShine(false);
    model.SetSnow(false);
    model.SetUseDesktopSettings(true);
    model.SelectItem(3);
    model.RestoreDefaults();
    EXPECT_EQ(current, defaults);
    EXPECT_EQ(model.GetSelectedItem(), 0);
}

#ifndef _WIN32
// The store in a fresh configuration folder.
class SettingsDialogStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/nuv-dialog-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        path_ = root_ + "/Halvane.conf";
    }
    void TearDown() override { std::system(("rm -rf '" + root_ + "'").c_str()); }
    std::string ReadFile() const {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string root_, path_;
};

TEST_F(SettingsDialogStoreTest, RestoreDefaultsThenCancelLeavesTheStore) {
    Settings defaults, current;
    current.volume = 17;
    current.snow = false;
    SettingsStore store(path_);
    ASSERT_EQ(store.Write(current), 0);
    const std::string before = ReadFile();

    SettingsDialogModel model(defaults, &current, kModes.data(), int(kModes.size()), 6);
    model.RestoreDefaults();
    EXPECT_EQ(model.Cancel(), SettingsDialogModel::kResultCancel);
    EXPECT_EQ(ReadFile(), before);
}

TEST_F(SettingsDialogStoreTest, OkWritesEverySettingToTheStore) {
    Settings defaults, current;
    SettingsDialogModel model(defaults, &current, kModes.data(), int(kModes.size()), 6);
    model.SetUseDesktopSettings(false);
    model.SetVolume(33);
    model.SetGamma(-25);
    model.SetMusic(false);
    model.SetShowFps(true);
    model.SetExitOnMouseMove(false);
    model.SetHour24(false);
    model.SetReflections(false);
    model.SetShadows(false);
    model.SelectItem(0);
    SettingsStore store(path_);
    ASSERT_EQ(model.Accept([&](const Settings& s) { return store.Write(s); }), 0);

    Settings read;
    read.volume = -1;
    ASSERT_EQ(store.Read(&read), 0);
    EXPECT_EQ(read, current);
    EXPECT_FALSE(read.useDesktopSettings);
    EXPECT_EQ(read.volume, 33);
    EXPECT_EQ(read.gamma, -25);
    EXPECT_FALSE(read.music);
    EXPECT_TRUE(read.showFps);
    EXPECT_FALSE(read.hour24);
    EXPECT_FALSE(read.reflections);
    EXPECT_FALSE(read.shadows);
    EXPECT_EQ(read.width, 640);
    EXPECT_EQ(read.height, 480);
}
#endif

} // namespace
} // namespace nuv
