#include "media/StaticModule.h"

#include "core/Log.h"
#include "core/Status.h"

namespace nuv {

StaticModule::~StaticModule() {
    RunShutdown();
}

bool StaticModule::AddSymbol(const String& symbol, ModuleSymbol function) {
    return symbols_.Insert(symbol, function);
}

int StaticModule::GetSymbol(ModuleSymbol* out, const String& symbol) {
    if (!out) {
        LogWarning("Указатель на символ [%s] равен 0.", symbol.GetText());
        return kStatusNotFound;
    }
    const ModuleSymbol* found = symbols_.Find(symbol);
    if (!found) {
        LogWarning("Невозможно найти символ [%s] в модуле [%s].", symbol.GetText(), GetName().GetText());
        return kStatusFailed;
    }
    *out = *found;
    return kStatusOk;
}

} // namespace nuv
