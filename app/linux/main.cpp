// The screensaver process: the command line, the log file, the application object's three steps,
// the log's end.

#include "app/CommandLine.h"
#include "app/HostPlatform.h"
#include "app/SceneScreensaverApp.h"
#include "app/TerminationSignal.h"
#include "core/Engine.h"
#include "core/FileMessageOutput.h"
#include "core/Log.h"
#include "core/Pointer.h"
#include "platform/Folders.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>


namespace {

// Exit statuses: a run that failed, and arguments that were wrong.
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

} // namespace

int main(int argc, char** argv) {
    using namespace nuv;
    // From the first moment a termination signal ends the run through the shutdown.
    TerminationSignal::Install();

    CommandLine commandLine;
    const bool argumentsRead = commandLine.ParseArguments(argc, argv, std::getenv("XSCREENSAVER_WINDOW")) == 0;
    if (argumentsRead && commandLine.WantsHelp()) {
        std::fputs(CommandLine::GetUsage().c_str(), stdout);
        return 0;
    }
    if (!argumentsRead)
        std::fprintf(stderr, "halvane: %s\n%s", commandLine.GetError().c_str(), CommandLine::GetShortUsage().c_str());

    Pointer<FileMessageOutput> output;
    std::string folder;
    if (GetAppDataFolder(&folder) == 0) {
        folder = JoinPath(folder, "Quorvel Studio");
        CreateFolders(folder);
        const std::string path = JoinPath(folder, "NuvLog.txt");
        output = new (std::nothrow) FileMessageOutput(String(path.c_str()), String());
        const int openError = errno;
        if (output) RegisterMessageOutput(output.Get());
        // The run goes on without a log, but not without saying so.
        if (!output || !output->IsOpen())
            std::fprintf(stderr, "halvane: cannot write the log %s (%s); running without a log\n", path.c_str(),
                         std::strerror(openError));
    } else {
        std::fprintf(stderr, "halvane: no data folder (XDG_DATA_HOME, HOME) for the log; running without a log\n");
    }
    int status = 0;
    try {
        Pointer<SceneScreensaverApp> app(new SceneScreensaverApp());
        app->SetCommandLine(commandLine);
        if (app->Create() != 0) {
            LogError("Невозможно создать скринсейвер.");
            status = argumentsRead ? kExitFailed : kExitUsage;
        } else {
            LogInfo("Сейвер создан.");
            if (app->Run() != 0) {
                LogError("Работа скринсейвера завершена некорректно.");
                status = kExitFailed;
            } else {
                LogInfo("Работа скринсейвера завершена корректно.");
            }
        }
        if (app->Destroy() != 0) {
            LogError("Ошибка при окончании работы скринсейвера.");
            status = kExitFailed;
        }
        // A run that could not take place for a reason the user must fix says so as well.
        if (status == 0) status = app->GetExitStatus();
        HostPlatform::SetCursorVisible(true);
        app.Reset();
        if (TerminationSignal::IsRequested()) LogInfo("Получен сигнал завершения %d.", TerminationSignal::GetSignal());
        LogInfo("Конец лога.");
    } catch (...) {
        LogError("Конец лога вследствии ошибки");
        if (output) UnregisterMessageOutput(output.Get());
        ReleaseEngineFunctions();
        return kExitFailed;
    }
    // The final clean-up of the engine's start and stop lists. The output stays registered:
    // unregistering logs a line of its own after the log's end.
    ReleaseEngineFunctions();
    return status;
}
