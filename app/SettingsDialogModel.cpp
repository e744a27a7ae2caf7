#include "app/SettingsDialogModel.h"

#include "app/DisplayModeChoice.h"

#include <cstdio>

namespace nuv {

SettingsDialogModel::SettingsDialogModel(const Settings& defaults, Settings* current, const DisplayMode* modes,
                                         int modeCount, int currentMode)
    : defaults_(defaults),
      current_(current),
      modes_(modes),
      modeCount_(modes ? modeCount : 0),
      currentMode_(currentMode) {
    BuildModeList();
}

void SettingsDialogModel::BuildModeList() {
    items_.clear();
    selected_ = -1;
    for (int i = 0; i < modeCount_; ++i) {
        const DisplayMode& mode = modes_[i];
        if (mode.width < DisplayModeChoice::kMinWidth || mode.height < DisplayModeChoice::kMinHeight ||
            !mode.fullScreen)
            continue;
        char text[64];
        std::snprintf(text, sizeof text, "%dx%dx%dbits", int(mode.width), int(mode.height), int(mode.colorBits));
        // Modes that differ only in what the list does not show (refresh rates) are one line.
        bool known = false;
        for (const ModeItem& item : items_)
            if (item.text == text) known = true;
        if (known) continue;
        items_.push_back({text, i});
        const bool chosen = current_->useDesktopSettings
                                ? i == currentMode_
                                : mode.width == current_->width && mode.height == current_->height &&
                                      mode.colorBits == current_->colorDepth;
        if (chosen) selected_ = int(items_.size()) - 1;
    }
}

void SettingsDialogModel::SelectItem(int item) {
    selected_ = item >= 0 && item < int(items_.size()) ? item : -1;
}

std::string SettingsDialogModel::FormatGamma(int gamma) {
    char text[32];
    std::snprintf(text, sizeof text, "%d%s", gamma + 100, "%");
    return text;
}

void SettingsDialogModel::GetPlacement(int displayWidth, int displayHeight, int* x, int* y) {
    if (x) *x = (displayWidth - kPlacementWidth) / 2;
    if (y) *y = (displayHeight - kPlacementHeight) / 2;
}

void SettingsDialogModel::RestoreDefaults() {
    *current_ = defaults_;
    BuildModeList();
}

int SettingsDialogModel::Accept(const std::function<int(const Settings&)>& write) {
    if (selected_ >= 0) {
        const DisplayMode& mode = modes_[items_[size_t(selected_)].modeIndex];
        current_->width = mode.width;
        current_->height = mode.height;
        current_->colorDepth = mode.colorBits;
    }
    return write ? write(*current_) : 1;
}

} // namespace nuv
