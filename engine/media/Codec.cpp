#include "media/Codec.h"

#include "core/Log.h"
#include "core/Status.h"
#include "media/File.h"
#include "media/Folder.h"

namespace nuv {

int Codec::Refuse(const char* what) const {
    LogWarning("Кодек [%s] не поддерживает %s.", GetName().GetText(), what);
    return kStatusFailed;
}

int Codec::Load(File*, Pointer<Object>&) {
    return Refuse("загрузку объектов");
}

int Codec::Load(File*, std::unique_ptr<Folder>&, const String&) {
    return Refuse("загрузку директорий");
}

int Codec::Save(File*, Object*) {
    return Refuse("сохранение объектов");
}

int Codec::Save(File*, Folder*) {
    return Refuse("сохранение директорий");
}

int Codec::Accepts(File* file) const {
    if (!file) {
        LogWarning("Указатель на файл равен 0 при проверке кодеком [%s].", GetName().GetText());
        return kStatusNotFound;
    }
    const String extension = file->GetExtension();
    for (const String& accepted : extensions_)
        if (accepted == extension) return kStatusOk;
    return kStatusFailed;
}

} // namespace nuv
