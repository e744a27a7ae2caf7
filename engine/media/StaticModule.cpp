#include "media/StaticModule.h"

#include "core/Log.h"
#include "core/Pointer.h"
#include "core/Status.h"
#include "media/ModuleManager.h"

#include <new>

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

int StaticModule::RegisterSymbols(const String& name, int (*initialize)(), int (*shutdown)(), const String& symbol,
                                  ModuleSymbol function) {
    Pointer<StaticModule> module = new (std::nothrow) StaticModule(name);
    if (!module || !module->AddFunction("Initialize", initialize) || !module->AddFunction("Shutdown", shutdown) ||
        !module->AddSymbol(symbol, function))
        return kStatusFailed;
    return ModuleManager::RegisterModule(module.Get()) == kStatusOk ? kStatusOk : kStatusFailed;
}

} // namespace nuv
