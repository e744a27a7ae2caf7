#pragma once

#include "app/SettingsDialogModel.h"
#include "app/win32/DialogPicture.h"
#include "core/String.h"

#include <windows.h>

#include <cstdint>
#include <functional>

namespace nuv {

class UiStrings;

// The settings dialog on Windows: dialog template 113 driven by a SettingsDialogModel.
class SettingsDialog {
public:
    static constexpr int kTemplateId = 113;

    // write stores the settings when the dialog is closed with OK.
    SettingsDialog(SettingsDialogModel& model, const UiStrings& strings, const String& webSiteUrl,
                   std::function<int(const Settings&)> write);
    SettingsDialog(const SettingsDialog&) = delete;
    SettingsDialog& operator=(const SettingsDialog&) = delete;

    // Shows the dialog modally, owned by parentWindow (0: none); the first dialog of the process
    // is centred on a display of displayWidth x displayHeight.
    // 1 closed with OK, 2 with Cancel, 0 when it could not be shown.
    int Run(int64_t parentWindow, int displayWidth, int displayHeight);

    // The dialog window while it is shown (the host's main window in the settings mode).
    HWND GetWindow() const { return window_; }

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Initialise();
    // Puts the model's values into the controls, and the enabling rules.
    void FillControls();
    void UpdateEnabling();
    void OnCommand(int id, int notification);
    void OnScroll(HWND control);
    void OnOk();
    void OnVisit();

    SettingsDialogModel& model_;
    const UiStrings& strings_;
    String webSiteUrl_;
    std::function<int(const Settings&)> write_;
    HWND window_ = nullptr;
    DialogPicture picture_;
    int displayWidth_ = 0;
    int displayHeight_ = 0;
    // Set while the controls are filled, so that filling them is not taken for the user's edits.
    bool filling_ = false;
};

// The About dialog on Windows (template 106): texts, the "logo.bmp" picture, and an OK button
// that is the only way to close it.
class AboutDialog {
public:
    static constexpr int kTemplateId = 106;
    // The size the placement centres on the owner.
    static constexpr int kPlacementWidth = 363;
    static constexpr int kPlacementHeight = 232;

    explicit AboutDialog(const UiStrings& strings) : strings_(strings) {}
    // Modal over owner (may be null); 1 once OK closed it, 0 when it could not be shown.
    int Run(HWND owner);

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    const UiStrings& strings_;
    HWND owner_ = nullptr;
    DialogPicture picture_;
};

} // namespace nuv
