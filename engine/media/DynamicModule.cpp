#include "media/DynamicModule.h"

#include "core/Log.h"
#include "core/Status.h"
#include "media/File.h"

namespace nuv {

DynamicModule::~DynamicModule() {
    if (!library_.IsOpen()) return;  // nothing to shut down in a library that never loaded
    RunShutdown();
    if (library_.Close() != kStatusOk) LogError("Невозможно выгрузить динамический модуль [%s].", GetName().GetText());
}

int DynamicModule::Load(File* file) {
    if (!file) return kStatusNotFound;
    if (file->Open(0) != kStatusOk) return kStatusFailed;
    const int size = file->GetSize();
    const uint8_t* bytes = file->GetData();
    int status = 1;
    if (bytes && size > 0) status = library_.OpenFromMemory(bytes, size_t(size), "nuvmod") == 0 ? 0 : 1;
    file->Close();
    return status;
}

int DynamicModule::Unload() {
    return library_.Close() == kStatusOk ? kStatusOk : kStatusFailed;
}

int DynamicModule::GetSymbol(ModuleSymbol* out, const String& symbol) {
    if (!out || !library_.IsOpen()) {
        LogWarning("Указатель при поиске символа [%s] равен 0.", symbol.GetText());
        return kStatusNotFound;
    }
    void* address = library_.GetSymbol(symbol.GetText());
    if (!address) {
        LogWarning("Символ [%s] не найден в модуле [%s].", symbol.GetText(), GetName().GetText());
        return kStatusFailed;
    }
    *out = reinterpret_cast<ModuleSymbol>(address);
    return kStatusOk;
}

} // namespace nuv
