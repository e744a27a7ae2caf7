#pragma once

#include "app/Settings.h"
#include "render/Renderer.h"

#include <functional>
#include <string>
#include <vector>

namespace nuv {

// What the settings dialog shows and does, without any window: the control values, which
// controls are enabled, the display-mode list and the OK, Cancel and Restore Defaults handlers.
// It edits the current settings in place; only OK writes them to the store.
class SettingsDialogModel {
public:
    static constexpr int kVolumeMin = 0;
    static constexpr int kVolumeMax = 100;
    static constexpr int kGammaMin = -100;
    static constexpr int kGammaMax = 100;
    // The size the first placement centres on the display.
    static constexpr int kPlacementWidth = 530;
    static constexpr int kPlacementHeight = 440;

    // Dialog results.
    static constexpr int kResultNotShown = 0;
    static constexpr int kResultOk = 1;
    static constexpr int kResultCancel = 2;

    // One line of the display-mode list.
    struct ModeItem {
        std::string text;
        int modeIndex = -1; // into the renderer's mode list
    };

    // modes/modeCount: the renderer's list; currentMode: the index of the mode the display runs
    // in (-1 when unknown). The pointers must outlive the model.
    SettingsDialogModel(const Settings& defaults, Settings* current, const DisplayMode* modes, int modeCount,
                        int currentMode);

    const Settings& GetSettings() const { return *current_; }

    // Rebuilds the mode list and its selection from the settings, as every fill of the controls does.
    void BuildModeList();
    const std::vector<ModeItem>& GetModeItems() const { return items_; }
    // The selected item, or -1.
    int GetSelectedItem() const { return selected_; }
    // Out-of-range items select nothing.
    void SelectItem(int item);

    // Enabling rules.
    bool IsModeListEnabled() const { return !current_->useDesktopSettings; }
    bool IsVolumeEnabled() const { return current_->music || current_->sfx; }
    bool IsClockFormatEnabled() const { return current_->showTime; }

    // The gamma label: Gamma + 100 and a percent sign.
    static std::string FormatGamma(int gamma);
    std::string GetGammaText() const { return FormatGamma(current_->gamma); }

    // The first placement: top-left corner that centres the dialog on a display of this size.
    static void GetPlacement(int displayWidth, int displayHeight, int* x, int* y);

    // Control handlers: each sets its setting.
    void SetVolume(int volume) { current_->volume = volume; }
    void SetGamma(int gamma) { current_->gamma = gamma; }
    void SetMusic(bool on) { current_->music = on; }
    void SetSfx(bool on) { current_->sfx = on; }
    void SetShowFps(bool on) { current_->showFps = on; }
    void SetExitOnMouseMove(bool on) { current_->exitOnMouseMove = on; }
    void SetShowTime(bool on) { current_->showTime = on; }
    void SetHour24(bool on) { current_->hour24 = on; }
    void SetUseDesktopSettings(bool on) { current_->useDesktopSettings = on; }
    void SetReflections(bool on) { current_->reflections = on; }
    void SetShadows(bool on) { current_->shadows = on; }
    void SetSnow(bool on) { current_->snow = on; }
    void SetShine(bool on) { current_->shine = on; }

    // Every setting and option back to its default; the mode list follows.
    void RestoreDefaults();
    // OK: the selected mode becomes Width, Height and ColorDepth (whatever UseDesktopSettings
    // says), then every setting goes to write (the settings store). Its status is returned: a
    // failed write must not look like saved settings.
    int Accept(const std::function<int(const Settings&)>& write);
    // Cancel writes nothing.
    int Cancel() { return kResultCancel; }

private:
    const Settings& defaults_;
    Settings* current_;
    const DisplayMode* modes_;
    int modeCount_;
    int currentMode_;
    std::vector<ModeItem> items_;
    int selected_ = -1;
};

} // namespace nuv
