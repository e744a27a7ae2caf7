// The screensaver process on Windows: the system's screensaver flag, the log file, the
// application object's three steps, the log's end.
#include "app/SceneScreensaverApp.h"
#include "core/Engine.h"
#include "core/FileMessageOutput.h"
#include "core/Log.h"
#include "core/Pointer.h"
#include "platform/Folders.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <new>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace nuv;
    // Keys such as Ctrl+Alt+Del go to the screensaver while it runs; the system clears the flag
    // itself when the process ends.
    SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, 1, nullptr, 0);

    Pointer<FileMessageOutput> output;
    std::string folder;
    if (GetAppDataFolder(&folder) == 0) {
        folder = JoinPath(folder, "Quorvel Studio");
        CreateFolders(folder);
        const std::string path = JoinPath(folder, "NuvLog.txt");
        output = new (std::nothrow) FileMessageOutput(String(path.c_str()), String());
        if (output) RegisterMessageOutput(output.Get());
    }
    int status = 0;
    try {
        Pointer<SceneScreensaverApp> app(new SceneScreensaverApp());
        // The mode comes from the command line exactly as the system passed it.
        app->SetCommandLine(WideToUtf8(GetCommandLineW()));
        if (app->Create() != 0) {
            LogError("Невозможно создать скринсейвер.");
        } else {
            LogInfo("Сейвер создан.");
            if (app->Run() != 0)
                LogError("Работа скринсейвера завершена некорректно.");
            else
                LogInfo("Работа скринсейвера завершена корректно.");
        }
        if (app->Destroy() != 0) LogError("Ошибка при окончании работы скринсейвера.");
        status = app->GetExitStatus();
        ShowCursor(TRUE);
        app.Reset();
        LogInfo("Конец лога.");
    } catch (...) {
        LogError("Конец лога вследствии ошибки");
        if (output) UnregisterMessageOutput(output.Get());
        ReleaseEngineFunctions();
        return 1;
    }
    // The final clean-up of the engine's start and stop lists. The output stays registered:
    // unregistering logs a line of its own after the log's end.
    ReleaseEngineFunctions();
    return status;
}
