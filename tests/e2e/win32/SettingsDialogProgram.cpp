// The settings and About dialogs of the Windows program on their own, for driving them under
// Wine without a renderer: the shipped texts and dialog templates, a display-mode list with one
// mode twice (two refresh rates), and the registry store at the path given.
//   settings_dialog settings REGISTRY_PATH   exit status: the dialog's result (1 OK, 2 Cancel)
//   settings_dialog about                    exit status: 1 once OK closed it
#include "app/DefaultSettings.h"
#include "app/SettingsDialogModel.h"
#include "app/SettingsStore.h"
#include "app/UiStrings.h"
#include "app/win32/SettingsDialog.h"
#include "render/Renderer.h"

#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    using namespace nuv;
    const std::wstring command = argc >= 2 ? argv[1] : L"";
    UiStrings strings;
    DefaultSettings defaults;
    if (strings.LoadResource() != 0 || defaults.LoadResource() != 0) return 10;
    if (command == L"about") return AboutDialog(strings).Run(nullptr);
    if (command != L"settings" || argc != 3) return 11;

    std::string path;
    const std::wstring wide = argv[2];
    if (SettingsStore::MakePath(String(std::string(wide.begin(), wide.end()).c_str()), &path) != 0) return 12;
    Settings current = defaults.settings;
    SettingsStore store(path);
    if (store.Read(&current) != 0) return 13;

    DisplayMode modes[4];
    const int sizes[4][3] = {{640, 480, 16}, {800, 600, 32}, {1024, 768, 32}, {1024, 768, 32}};
    for (int i = 0; i < 4; ++i) {
        modes[i].width = sizes[i][0];
        modes[i].height = sizes[i][1];
        modes[i].colorBits = sizes[i][2];
        modes[i].fullScreen = 1;
    }
    SettingsDialogModel model(defaults.settings, &current, modes, 4, 2);
    SettingsDialog dialog(model, strings, defaults.webSiteUrl, [&store](const Settings& settings) {
        return store.Write(settings);
    });
    return dialog.Run(0, 1024, 768);
}
