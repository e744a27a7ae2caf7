#include "app/win32/SettingsDialog.h"

#include "app/ConfigureDialog.h"
#include "app/SettingsStore.h"
#include "app/UiStrings.h"
#include "core/Log.h"
#include "core/Status.h"
#include "media/ModuleManager.h"
#include "platform/win32/WideText.h"
#include "render/Renderer.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>

namespace nuv {

namespace {

// Check boxes, by control id, with the setting each one edits.
struct Toggle {
    int id;
    void (SettingsDialogModel::*set)(bool);
    bool Settings::*value;
};

const Toggle kToggles[] = {
    {11012, &SettingsDialogModel::SetUseDesktopSettings, &Settings::useDesktopSettings},
    {1021, &SettingsDialogModel::SetMusic, &Settings::music},
    {11022, &SettingsDialogModel::SetSfx, &Settings::sfx},
    {1044, &SettingsDialogModel::SetShowFps, &Settings::showFps},
    {1045, &SettingsDialogModel::SetExitOnMouseMove, &Settings::exitOnMouseMove},
    {1119, &SettingsDialogModel::SetShowTime, &Settings::showTime},
    {1047, &SettingsDialogModel::SetReflections, &Settings::reflections},
    {1048, &SettingsDialogModel::SetShadows, &Settings::shadows},
    {1049, &SettingsDialogModel::SetSnow, &Settings::snow},
    {1050, &SettingsDialogModel::SetShine, &Settings::shine},
};

// Controls whose text comes from the interface strings; "Mes_Settings_Box_Quality" names a
// control the dialog does not have and shows nowhere.
const struct {
    int id;
    const char* key;
} kTexts[] = {
    {1016, "Mes_Settings_Box_Mode"},        {11012, "Mes_Settings_UseDesktop"},
    {11017, "Mes_Settings_Box_Sound"},      {11023, "Mes_Settings_MusicVolume"},
    {1021, "Mes_Settings_EnableMusic"},     {11022, "Mes_Settings_EnableSound"},
    {21018, "Mes_Settings_Box_Graphics"},   {11106, "Mes_Settings_Gamma"},
    {1047, "Mes_Settings_ShowReflections"}, {1048, "Mes_Settings_ShowShadows"},
    {1049, "Mes_Settings_ShowSnow"},        {1050, "Mes_Settings_ShowShine"},
    {11019, "Mes_Settings_Box_Misc"},       {1044, "Mes_Settings_ShowFPS"},
    {1045, "Mes_Settings_ExitOnMouse"},     {1119, "Mes_Settings_ShowTime"},
    {1111, "Mes_Settings_12h"},             {1112, "Mes_Settings_24h"},
    {1022, "Mes_Settings_Box_Products"},    {1025, "Mes_Settings_Products"},
    {1061, "Mes_Settings_Button_Visit"},    {1062, "Mes_Settings_Button_About"},
    {1063, "Mes_Settings_Button_RestoreDefs"}, {1, "Mes_Button_OK"},
    {2, "Mes_Button_Cancel"},
};

// The first settings dialog of the process is placed; later ones keep where the system puts them.
bool gPlaced = false;

void SetText(HWND window, const String* text) {
    if (text) SetWindowTextW(window, Utf8ToWide(text->GetText()).c_str());
}

void Enable(HWND dialog, int id, bool on) {
    if (HWND control = GetDlgItem(dialog, id)) EnableWindow(control, on ? TRUE : FALSE);
}

} // namespace

SettingsDialog::SettingsDialog(SettingsDialogModel& model, const UiStrings& strings, const String& webSiteUrl,
                               std::function<int(const Settings&)> write)
    : model_(model), strings_(strings), webSiteUrl_(webSiteUrl), write_(std::move(write)) {}

int SettingsDialog::Run(int64_t parentWindow, int displayWidth, int displayHeight) {
    displayWidth_ = displayWidth;
    displayHeight_ = displayHeight;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kTemplateId),
                                           HWND(intptr_t(parentWindow)), &SettingsDialog::Procedure, LPARAM(this));
    window_ = nullptr;
    if (result <= 0) {
        LogError("Невозможно показать диалог настроек: %s",
                 DescribeWindowsError("DialogBoxParam", GetLastError()).c_str());
        return SettingsDialogModel::kResultNotShown;
    }
    return int(result);
}

INT_PTR CALLBACK SettingsDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<SettingsDialog*>(lParam)->window_ = window;
    }
    auto* dialog = reinterpret_cast<SettingsDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    return dialog ? dialog->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR SettingsDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: Initialise(); return TRUE;
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_HSCROLL: OnScroll(HWND(lParam)); return TRUE;
    case WM_CLOSE: EndDialog(window_, model_.Cancel()); return TRUE;
    default: return FALSE;
    }
}

void SettingsDialog::Initialise() {
    SetText(window_, strings_.Get("Mes_Settings_Title"));
    for (const auto& text : kTexts)
        if (HWND control = GetDlgItem(window_, text.id)) SetText(control, strings_.Get(text.key));
    // Each end on its own: a negative minimum does not fit the packed range message.
    SendDlgItemMessageW(window_, 1046, TBM_SETRANGEMIN, FALSE, LPARAM(SettingsDialogModel::kGammaMin));
    SendDlgItemMessageW(window_, 1046, TBM_SETRANGEMAX, TRUE, LPARAM(SettingsDialogModel::kGammaMax));
    SendDlgItemMessageW(window_, 1020, TBM_SETRANGEMIN, FALSE, LPARAM(SettingsDialogModel::kVolumeMin));
    SendDlgItemMessageW(window_, 1020, TBM_SETRANGEMAX, TRUE, LPARAM(SettingsDialogModel::kVolumeMax));
    FillControls();
    if (!gPlaced && displayWidth_ > 0 && displayHeight_ > 0) {
        gPlaced = true;
        int x = 0, y = 0;
        SettingsDialogModel::GetPlacement(displayWidth_, displayHeight_, &x, &y);
        SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    picture_.Show(window_, 1036, "settings.bmp");
}

void SettingsDialog::FillControls() {
    filling_ = true;
    const Settings& settings = model_.GetSettings();
    SendDlgItemMessageW(window_, 1046, TBM_SETPOS, TRUE, settings.gamma);
    SetDlgItemTextW(window_, 11118, Utf8ToWide(model_.GetGammaText()).c_str());
    SendDlgItemMessageW(window_, 1020, TBM_SETPOS, TRUE, settings.volume);
    CheckRadioButton(window_, 1111, 1112, settings.hour24 ? 1112 : 1111);
    for (const Toggle& toggle : kToggles)
        CheckDlgButton(window_, toggle.id, settings.*toggle.value ? BST_CHECKED : BST_UNCHECKED);
    model_.BuildModeList();
    SendDlgItemMessageW(window_, 1011, CB_RESETCONTENT, 0, 0);
    for (const SettingsDialogModel::ModeItem& item : model_.GetModeItems())
        SendDlgItemMessageW(window_, 1011, CB_ADDSTRING, 0, LPARAM(Utf8ToWide(item.text).c_str()));
    SendDlgItemMessageW(window_, 1011, CB_SETCURSEL, WPARAM(model_.GetSelectedItem()), 0);
    UpdateEnabling();
    filling_ = false;
}

void SettingsDialog::UpdateEnabling() {
    Enable(window_, 1011, model_.IsModeListEnabled());
    Enable(window_, 1020, model_.IsVolumeEnabled());
    Enable(window_, 11023, model_.IsVolumeEnabled());
    Enable(window_, 1111, model_.IsClockFormatEnabled());
    Enable(window_, 1112, model_.IsClockFormatEnabled());
}

void SettingsDialog::OnCommand(int id, int notification) {
    if (filling_) return;
    switch (id) {
    case IDOK: OnOk(); return;
    case IDCANCEL: EndDialog(window_, model_.Cancel()); return;
    case 1061: OnVisit(); return;
    case 1062: AboutDialog(strings_).Run(window_); return;
    case 1063:
        model_.RestoreDefaults();
        FillControls();
        return;
    case 1011:
        if (notification == CBN_SELCHANGE)
            model_.SelectItem(int(SendDlgItemMessageW(window_, 1011, CB_GETCURSEL, 0, 0)));
        return;
    case 1111:
    case 1112: model_.SetHour24(IsDlgButtonChecked(window_, 1112) == BST_CHECKED); break;
    default:
        for (const Toggle& toggle : kToggles)
            if (toggle.id == id) (model_.*toggle.set)(IsDlgButtonChecked(window_, id) == BST_CHECKED);
        break;
    }
    UpdateEnabling();
}

void SettingsDialog::OnScroll(HWND control) {
    const int position = int(SendMessageW(control, TBM_GETPOS, 0, 0));
    if (control == GetDlgItem(window_, 1020)) {
        model_.SetVolume(position);
    } else if (control == GetDlgItem(window_, 1046)) {
        model_.SetGamma(position);
        SetDlgItemTextW(window_, 11118, Utf8ToWide(model_.GetGammaText()).c_str());
    }
}

void SettingsDialog::OnOk() {
    if (model_.Accept(write_) != 0) {
        // The settings were not saved: the user keeps the dialog and may try again or cancel.
        MessageBoxW(window_, L"The settings could not be saved.", L"Error", MB_OK | MB_ICONERROR);
        return;
    }
    EndDialog(window_, SettingsDialogModel::kResultOk);
}

void SettingsDialog::OnVisit() {
    const char* url = webSiteUrl_.GetText();
    if (!url || !*url) return;
    const HINSTANCE result = ShellExecuteW(window_, L"open", Utf8ToWide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (INT_PTR(result) <= 32) LogWarning("Невозможно открыть адрес [%s]. Причина [%d].", url, int(INT_PTR(result)));
}

int AboutDialog::Run(HWND owner) {
    owner_ = owner;
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kTemplateId), owner,
                                           &AboutDialog::Procedure, LPARAM(this));
    return result == 1 ? 1 : 0;
}

INT_PTR CALLBACK AboutDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(window, DWLP_USER, lParam);
    auto* dialog = reinterpret_cast<AboutDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!dialog) return FALSE;
    switch (message) {
    case WM_INITDIALOG: {
        SetText(window, dialog->strings_.Get("Mes_About_Title"));
        SetText(GetDlgItem(window, IDOK), dialog->strings_.Get("Mes_Button_OK"));
        for (int i = 0; i < 8; ++i)
            SetText(GetDlgItem(window, 1040 + i),
                    dialog->strings_.Get(String(("Mes_About_String" + std::to_string(i + 1)).c_str())));
        RECT main;
        if (dialog->owner_ && GetWindowRect(dialog->owner_, &main))
            SetWindowPos(window, nullptr, main.left + (main.right - main.left - kPlacementWidth) / 2,
                         main.top + (main.bottom - main.top - kPlacementHeight) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        dialog->picture_.Show(window, 1037, "logo.bmp");
        return TRUE;
    }
    case WM_COMMAND:
        // Only OK closes it: Escape (IDCANCEL) and the close box do nothing.
        if (LOWORD(wParam) == IDOK) EndDialog(window, 1);
        return TRUE;
    case WM_CLOSE: return TRUE;
    default: return FALSE;
    }
}

int RunConfigureDialog(const Settings& defaults, Settings* current, const UiStrings& strings,
                       const String& registryPath, const String& webSiteUrl, int64_t parentWindow) {
    if (!current) return SettingsDialogModel::kResultNotShown;
    Renderer* renderer = ModuleManager::GetRenderer();
    const int modeCount = renderer ? renderer->GetModeCount() : 0;
    const int currentMode = renderer ? renderer->GetDefaultMode() : -1;
    SettingsDialogModel model(defaults, current, modeCount > 0 ? renderer->GetMode(0) : nullptr, modeCount,
                              currentMode);
    // The dialog centres on the display's current mode; without one, on the primary display.
    int displayWidth = GetSystemMetrics(SM_CXSCREEN), displayHeight = GetSystemMetrics(SM_CYSCREEN);
    if (const DisplayMode* mode = currentMode >= 0 ? renderer->GetMode(currentMode) : nullptr) {
        displayWidth = mode->width;
        displayHeight = mode->height;
    }
    std::string path;
    const bool havePath = SettingsStore::MakePath(registryPath, &path) == 0;
    SettingsDialog dialog(model, strings, webSiteUrl, [&](const Settings& settings) -> int {
        if (!havePath) {
            LogError("Неудачна попытка открытия пути реестра [%s].", registryPath.GetText());
            return kStatusFailed;
        }
        return SettingsStore(path).Write(settings);
    });
    return dialog.Run(parentWindow, displayWidth, displayHeight);
}

} // namespace nuv
