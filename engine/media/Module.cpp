#include "media/Module.h"

#include "core/Log.h"

namespace nuv {

void Module::RunShutdown() {
    ModuleShutdownFunction shutdown = nullptr;
    if (GetFunction(&shutdown, "Shutdown") != 0) {
        LogWarning("В модуле не найдена функция завершения работы модуля [%s].", GetName().GetText());
        return;
    }
    if (shutdown() != 0) LogError("Неудачно завершение работы модуля.");
}

} // namespace nuv
