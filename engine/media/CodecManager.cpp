#include "media/CodecManager.h"

#include "core/Engine.h"
#include "core/HashMap.h"
#include "core/Log.h"
#include "core/Object.h"
#include "core/Status.h"
#include "media/Codec.h"
#include "media/File.h"
#include "media/ModuleManager.h"

#include <new>

namespace nuv {

namespace {

using CodecTable = HashMap<String, Pointer<Codec>>;

CodecTable* gCodecs = nullptr;

struct Registration {
    Registration() {
        AddInitFunction(&CodecManager::Start);
        AddShutdownFunction(&CodecManager::Stop);
    }
};
const Registration gRegistration;

} // namespace

int CodecManager::RegisterCodec(Codec* codec) {
    if (!codec) {
        LogWarning("Указатель на кодек равен 0 при регистрации.");
        return kStatusNotFound;
    }
    if (gCodecs && gCodecs->Contains(codec->GetName())) {
        LogWarning("Кодек с именем [%s] уже зарегестрирован.", codec->GetName().GetText());
        return kStatusFailed;
    }
    if (!gCodecs || !gCodecs->Insert(codec->GetName(), Pointer<Codec>(codec))) {
        LogWarning("Невозможно вставить кодек [%s] в таблицу кодеков.", codec->GetName().GetText());
        return kStatusFailed;
    }
    return kStatusOk;
}

int CodecManager::GetCodec(const String& name, Codec** out) {
    if (out) *out = nullptr;
    if (gCodecs) {
        if (Pointer<Codec>* found = gCodecs->Find(name)) {
            if (out) *out = found->Get();
            return kStatusOk;
        }
    }
    LogInfo("Загружается кодек [%s].", name.GetText());
    Module* module = ModuleManager::FindModule(name);
    if (!module) {
        LogError("Не найден модуль для кодека [%s].", name.GetText());
        return kStatusNotFound;
    }
    CreateCodecFunction create = nullptr;
    if (module->GetFunction(&create, "CreateCodec") != kStatusOk) {
        LogError("В модуле не найдена функция создания кодека [%s].", name.GetText());
        return kStatusNotFound;
    }
    Codec* created = nullptr;
    const int status = create(&created);
    Pointer<Codec> codec = created;  // released here unless the table takes it
    if (status != kStatusOk || !codec) {
        LogError("Создание кодека [%s] неудачно.", name.GetText());
        return kStatusFailed;
    }
    codec->SetModule(module);
    if (RegisterCodec(codec.Get()) != kStatusOk) {
        LogError("Невозможно зарегестрировать кодек [%s].", name.GetText());
        return kStatusFailed;
    }
    if (out) *out = codec.Get();
    return kStatusOk;
}

Codec* CodecManager::FindCodecForFile(File* file) {
    Codec* match = nullptr;
    if (!gCodecs) return nullptr;
    gCodecs->ForEach([&](const String&, Pointer<Codec>& codec) {
        if (codec->Accepts(file) == kStatusOk) match = codec.Get();
        return match == nullptr;
    });
    return match;
}

int CodecManager::LoadSceneFile(File* file, Pointer<Object>& out) {
    if (!file) {
        LogWarning("Указатель на файл или сцену равен 0.");
        return kStatusNotFound;
    }
    Codec* codec = FindCodecForFile(file);
    if (!codec) {
        LogWarning("Не найден кодек для файла [%s].", file->GetFullPath().GetText());
        return kStatusNotFound;
    }
    if (codec->Load(file, out) != kStatusOk) {
        LogError("Неудачна загрузка сцены из файла [%s].", file->GetFullPath().GetText());
        return kStatusFailed;
    }
    return kStatusOk;
}

int CodecManager::Start() {
    LogInfo("Инициализация менеджера кодеков.");
    if (!gCodecs) gCodecs = new (std::nothrow) CodecTable;
    if (!gCodecs) {
        LogError("Недостаточно памяти для инициализации менеджера кодеков.");
        return kStatusFailed;
    }
    LogInfo("Менеджер кодеков инициализирован.");
    return kStatusOk;
}

int CodecManager::Stop() {
    LogInfo("Завершение работы менеджера кодеков.");
    delete gCodecs;
    gCodecs = nullptr;
    LogInfo("Менеджер кодеков завершил работу.");
    return kStatusOk;
}

} // namespace nuv
