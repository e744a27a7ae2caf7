#include "media/FileManager.h"

#include "core/Engine.h"
#include "core/Log.h"
#include "core/Pointer.h"
#include "core/Status.h"
#include "media/Codec.h"
#include "media/CodecManager.h"
#include "media/Folder.h"
#include "media/MemoryFile.h"
#include "platform/Resources.h"

#include <climits>
#include <memory>
#include <new>

namespace nuv {

namespace {

Folder* gRoot = nullptr;

struct Registration {
    Registration() {
        AddInitFunction(&FileManager::Start);
        AddShutdownFunction(&FileManager::Stop);
    }
};
const Registration gRegistration;

} // namespace

Folder* FileManager::GetRoot() {
    return gRoot;
}

File* FileManager::FindFile(const String& path) {
    if (!gRoot) return nullptr;
    for (int i = 0; i < gRoot->GetFolderCount(); ++i)
        if (File* file = gRoot->GetFolder(i)->FindFile(path)) return file;
    return nullptr;
}

int FileManager::AttachArchive(File* file, const String& password) {
    if (!file) {
        LogWarning("Указатель на архив равен 0.");
        return kStatusNotFound;
    }
    Codec* codec = CodecManager::FindCodecForFile(file);
    if (!codec) {
        LogWarning("Не найден кодек для архива [%s].", file->GetFullPath().GetText());
        return kStatusNotFound;
    }
    std::unique_ptr<Folder> folder;
    const int status = codec->Load(file, folder, password);
    if (status != kStatusOk || !folder) {
        LogError("Невозможно загрузить директорию из архива [%s].", file->GetFullPath().GetText());
        return status != kStatusOk ? status : kStatusFailed;
    }
    if (!gRoot || gRoot->AttachFolder(folder.get()) != kStatusOk) {
        LogError("Невозможно подсоединить директорию [%s] к корню.", folder->GetName().GetText());
        return kStatusFailed;
    }
    folder.release();  // the root owns it now
    return kStatusOk;
}

int FileManager::AttachResourceArchive(int id, const String& name, const String& password) {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    const int status = ReadResource(id, &bytes, &size);
    if (status != kStatusOk) {
        LogWarning("Невозможно прочитать ресурс ID[%d] Имя[%s].", id, name.GetText());
        return status;
    }
    if (size > size_t(INT_MAX)) {
        LogWarning("Невозможно прочитать ресурс ID[%d] Имя[%s].", id, name.GetText());
        return kStatusFailed;
    }
    Pointer<MemoryFile> file = new (std::nothrow) MemoryFile(name);
    if (!file) {
        LogError("Недостаточно памяти для создания виртуального файла.");
        return kStatusNoMemory;
    }
    file->BorrowContent(bytes, int(size));
    const int result = AttachArchive(file.Get(), password);
    file->ClearContent();
    return result;
}

int FileManager::Start() {
    LogInfo("Инициализация менеджера файлов.");
    if (!gRoot) gRoot = new (std::nothrow) Folder(String());
    if (!gRoot) {
        LogError("Недостаточно памяти для инициализации менеджера файлов.");
        return kStatusFailed;
    }
    LogInfo("Менеджер файлов инициализирован.");
    return kStatusOk;
}

int FileManager::Stop() {
    LogInfo("Завершение работы менеджера файлов.");
    delete gRoot;
    gRoot = nullptr;
    LogInfo("Менеджер файлов завершил работу.");
    return kStatusOk;
}

} // namespace nuv
