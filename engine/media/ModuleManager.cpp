#include "media/ModuleManager.h"

#include "core/Engine.h"
#include "core/HashMap.h"
#include "core/Log.h"
#include "core/Status.h"
#include "media/DynamicModule.h"
#include "media/FileManager.h"
#include "media/Module.h"
#include "render/Renderer.h"

#include <new>

namespace nuv {

#ifdef _WIN32
const char* const ModuleManager::kLibrarySuffix = ".dll";
#else
const char* const ModuleManager::kLibrarySuffix = ".so";
#endif

namespace {

using ModuleTable = HashMap<String, Pointer<Module>>;

ModuleTable* gModules = nullptr;
// The current renderer, held through its device base: the registry calls nothing of the
// renderer's own, so it links without the render library.
Pointer<DeviceResourceCache> gRendererDevice;
Renderer* gRenderer = nullptr;

struct Registration {
    Registration() {
        AddInitFunction(&ModuleManager::Start);
        AddShutdownFunction(&ModuleManager::Stop);
    }
};
const Registration gRegistration;

} // namespace

int ModuleManager::RegisterModule(Module* module) {
    if (!module) {
        LogWarning("Указатель на модуль равен 0 при регистрации.");
        return kStatusNotFound;
    }
    if (gModules && gModules->Contains(module->GetName())) {
        LogWarning("Модуль с именем [%s] уже зарегестрирован.", module->GetName().GetText());
        return kStatusFailed;
    }
    if (!gModules || !gModules->Insert(module->GetName(), Pointer<Module>(module))) {
        LogWarning("Невозможно вставить модуль [%s] в таблицу зарегестрированных модулей.", module->GetName().GetText());
        return kStatusFailed;
    }
    return kStatusOk;
}

Module* ModuleManager::FindModule(const String& name) {
    if (!gModules) return nullptr;
    Pointer<Module>* found = gModules->Find(name);
    return found ? found->Get() : nullptr;
}

int ModuleManager::LoadModule(const String& name, Module** out) {
    if (out) *out = nullptr;
    if (Module* registered = FindModule(name)) {
        if (out) *out = registered;
        return kStatusOk;
    }
    LogInfo("Загружается модуль [%s].", name.GetText());
    Pointer<Module> module;
    const int status = LoadDynamicModule(name, &module);
    if (status != kStatusOk) {
        LogError("Невозможно загрузить модуль [%s].", name.GetText());
        return status;
    }
    module->SetName(name);
    ModuleInitializeFunction initialize = nullptr;
    if (module->GetFunction(&initialize, "Initialize") != kStatusOk) {
        LogWarning("В модуле не найдена функция инициализации модуля [%s].", name.GetText());
    } else if (initialize() != kStatusOk) {
        LogError("Неудачна инициализация модуля.");
        return kStatusFailed;
    }
    if (RegisterModule(module.Get()) != kStatusOk) {
        LogError("Невозможно зарегестрировать модуль [%s].", name.GetText());
        return kStatusFailed;
    }
    if (out) *out = module.Get();
    return kStatusOk;
}

int ModuleManager::LoadDynamicModule(const String& name, Pointer<Module>* out) {
    if (!out) {
        LogWarning("Указатель на модуль [%s] равен 0.", name.GetText());
        return kStatusNotFound;
    }
    LogInfo("Загружается модуль [%s].", name.GetText());
    File* file = FileManager::FindFile(name + kLibrarySuffix);
    if (!file) {
        LogWarning("Не найден файл модуля [%s].", name.GetText());
        return kStatusNotFound;
    }
    Pointer<DynamicModule> module = new (std::nothrow) DynamicModule(name);
    if (!module) {
        LogWarning("Недостаточно памяти для создания модуля [%s].", name.GetText());
        return kStatusNoMemory;
    }
    if (module->Load(file) != kStatusOk) {
        LogWarning("Загрузка модуля [%s] неудачна.", name.GetText());
        return kStatusFailed;
    }
    *out = module.Get();
    return kStatusOk;
}

int ModuleManager::UnloadDynamicModule(DynamicModule* module) {
    if (!module) {
        LogWarning("Указатель на модуль [%s] равен 0.", "");
        return kStatusNotFound;
    }
    LogInfo("Выгружается модуль [%s].", module->GetName().GetText());
    if (!module->IsLoaded()) return kStatusOk;
    if (module->Unload() != kStatusOk) {
        LogWarning("Выгрузка модуля [%s] неудачна.", module->GetName().GetText());
        return kStatusFailed;
    }
    return kStatusOk;
}

int ModuleManager::CreateRenderer(const String& name) {
    Module* module = nullptr;
    if (LoadModule(name, &module) != kStatusOk) {
        LogWarning("Невозможно загрузить библиотеку рендерера [%s].", name.GetText());
        return kStatusNotFound;
    }
    CreateRendererFunction create = nullptr;
    if (module->GetFunction(&create, "CreateRenderer") != kStatusOk) {
        LogError("В модуле не найдена функция создания рендерера [%s].", name.GetText());
        return kStatusNotFound;
    }
    Renderer* created = nullptr;
    if (create(&created) != kStatusOk || !created) {
        LogError("Создание рендерера [%s] неудачно.", name.GetText());
        return kStatusFailed;
    }
    DeviceResourceCache* device = created;
    device->SetModule(module);
    gRendererDevice = device;
    gRenderer = created;
    return kStatusOk;
}

int ModuleManager::DestroyRenderer() {
    gRenderer = nullptr;
    gRendererDevice.Reset();
    return kStatusOk;
}

Renderer* ModuleManager::GetRenderer() {
    return gRenderer;
}

int ModuleManager::Start() {
    LogInfo("Инициализация менеджера модулей.");
    if (!gModules) gModules = new (std::nothrow) ModuleTable;
    if (!gModules) {
        LogError("Недостаточно памяти для инициализации менеджера модулей.");
        return kStatusFailed;
    }
    LogInfo("Менеджер модулей инициализирован.");
    return kStatusOk;
}

int ModuleManager::Stop() {
    LogInfo("Завершение работы менеджера модулей.");
    delete gModules;  // releases every module; each runs its "Shutdown" when its last holder goes
    gModules = nullptr;
    LogInfo("Менеджер модулей завершил работу.");
    return kStatusOk;
}

} // namespace nuv
