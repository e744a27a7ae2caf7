#include "media/Module.h"

#include "core/Log.h"
#include "core/Status.h"

namespace nuv {

void Module::RunShutdown() {
    ModuleShutdownFunction shutdown = nullptr;
    if (GetFunction(&shutdown, "Shutdown") != kStatusOk) {
        LogWarning("В модуле не найдена функция завершения работы модуля [%s].", GetName().GetText());
        return;
    }
    if (shutdown() != kStatusOk) LogError("Неудачно завершение работы модуля.");
}

} // namespace nuv
