#include "media/Folder.h"

#include "core/Log.h"
#include "core/Status.h"
#include "media/File.h"

#include <cstring>

namespace nuv {

namespace {

// Splits path at the first (or last) "\" when there is one, else at the first (or last) "/".
// False when there is no separator.
bool Split(const String& path, bool atLast, String& head, String& rest) {
    int at = atLast ? path.FindLast('\\') : path.FindFirst('\\');
    if (at < 0) at = atLast ? path.FindLast('/') : path.FindFirst('/');
    if (at < 0) return false;
    head = path.Substring(0, at);
    rest = path.Substring(at + 1, path.GetLength() - at - 1);
    return true;
}

} // namespace

Folder::Folder(const String& name, Folder* parent) : Named(name) {
    if (parent && parent->AttachFolder(this) != kStatusOk)
        LogWarning("Невозможно подсоединить директорию [%s] к корневой директории [%s].", name.GetText(),
                   parent->GetName().GetText());
}

Folder::~Folder() {
    LogInfo("Удаляется директория [%s].", GetName().GetText());
    if (parent_ && parent_->DetachFolder(this) != kStatusOk)
        LogWarning("Невозможно отсоединить директорию [%s] от корневой директории [%s].", GetName().GetText(),
                   parent_->GetName().GetText());
    for (Folder* folder : folders_) {
        folder->parent_ = nullptr;
        delete folder;
    }
    for (File* file : files_) {
        file->folder_ = nullptr;
        file->ReleaseReference();
    }
    LogInfo("Директория удалена [%s].", GetName().GetText());
}

// Before the first entry whose name starts with a lower byte (as a signed char), so the
// list runs from high to low first bytes; with an empty name on either side, before the
// first shorter name. Returns the count when the entry goes to the end.
template <class Names>
int Folder::FindInsertPosition(const String& name, int count, Names names) {
    for (int i = 0; i < count; ++i) {
        const String& other = names(i);
        if (name.IsEmpty() || other.IsEmpty()) {
            if (other.GetLength() < name.GetLength()) return i;
        } else if (static_cast<signed char>(other[0]) < static_cast<signed char>(name[0])) {
            return i;
        }
    }
    return count;
}

bool Folder::IsSelfOrAncestor(const Folder* folder) const {
    for (const Folder* f = this; f; f = f->parent_)
        if (f == folder) return true;
    return false;
}

int Folder::AttachFolder(Folder* child) {
    if (!child) {
        LogWarning("Указатель на присоединяемую директорию равен 0. Корневая директория [%s].", GetName().GetText());
        return kStatusNotFound;
    }
    if (folders_.Find(child) >= 0) {
        LogWarning("Присоединяемая директория [%s] уже присоединена к директории [%s].", child->GetName().GetText(),
                   GetName().GetText());
        return kStatusNotFound;
    }
    if (child->parent_) {
        LogWarning("Присоединяемая директория [%s] уже присоединена к директории [%s].", child->GetName().GetText(),
                   child->parent_->GetName().GetText());
        return kStatusFailed;
    }
    if (IsSelfOrAncestor(child)) {
        LogWarning("Директория [%s] не может быть присоединена к самой себе или к своей поддиректории [%s].",
                   child->GetName().GetText(), GetName().GetText());
        return kStatusFailed;
    }
    const int at = FindInsertPosition(child->GetName(), folders_.GetCount(),
                                      [this](int i) -> const String& { return folders_[i]->GetName(); });
    if (!folders_.Insert(at, child)) return kStatusNoMemory;
    if (at == folders_.GetCount() - 1)
        LogInfo("Директория [%s] добавлена к директории [%s].", child->GetName().GetText(), GetName().GetText());
    child->parent_ = this;
    return kStatusOk;
}

int Folder::AttachFile(File* file) {
    if (!file) {
        LogWarning("Указатель на присоединяемый файл равен 0. Корневая директория [%s].", GetName().GetText());
        return kStatusNotFound;
    }
    if (files_.Find(file) >= 0) {
        LogWarning("Присоединяемый файл [%s] уже присоединена к директории [%s].", file->GetName().GetText(),
                   GetName().GetText());
        return kStatusNotFound;
    }
    if (file->folder_) {
        LogWarning("Присоединяемый файл [%s] уже присоединена к директории [%s].", file->GetName().GetText(),
                   file->folder_->GetName().GetText());
        return kStatusFailed;
    }
    const int at = FindInsertPosition(file->GetName(), files_.GetCount(),
                                      [this](int i) -> const String& { return files_[i]->GetName(); });
    if (!files_.Insert(at, file)) return kStatusNoMemory;
    if (at == files_.GetCount() - 1)
        LogInfo("Файл [%s] добавлен к директории [%s].", file->GetName().GetText(), GetName().GetText());
    file->folder_ = this;
    file->AddReference();
    return kStatusOk;
}

int Folder::DetachFolder(Folder* child) {
    if (!child) {
        LogWarning("Указатель на отсоединяемую директорию равен 0. Корневая директория [%s].", GetName().GetText());
        return kStatusNotFound;
    }
    const int at = folders_.Find(child);
    if (at < 0) {
        LogWarning("Удаляемая директория [%s] не найдена в директории [%s].", child->GetName().GetText(),
                   GetName().GetText());
        return kStatusNotFound;
    }
    child->parent_ = nullptr;
    LogInfo("Директория [%s] удалена из директории [%s].", child->GetName().GetText(), GetName().GetText());
    folders_.RemoveAt(at);
    return kStatusOk;
}

int Folder::DetachFile(File* file) {
    if (!file) {
        LogWarning("Указатель на отсоединяемый файл равен 0. Корневая директория [%s].", GetName().GetText());
        return kStatusNotFound;
    }
    const int at = files_.Find(file);
    if (at < 0) {
        LogWarning("Удаляемый файл [%s] не найден в директории [%s].", file->GetName().GetText(), GetName().GetText());
        return kStatusNotFound;
    }
    file->folder_ = nullptr;
    LogInfo("Файл [%s] удалён из директории [%s].", file->GetName().GetText(), GetName().GetText());
    files_.RemoveAt(at);
    file->ReleaseReference();
    return kStatusOk;
}

bool Folder::ForgetFile(File* file) {
    const int at = files_.Find(file);
    if (at < 0) return false;
    file->folder_ = nullptr;
    LogInfo("Файл [%s] удалён из директории [%s].", file->GetName().GetText(), GetName().GetText());
    files_.RemoveAt(at);
    return true;
}

// A loop over positions in the path rather than recursion on substrings, so that a long
// path of "." components costs neither stack nor quadratic copying.
Folder* Folder::ResolveFolder(const String& path) {
    const char* text = path.GetText();
    const int length = path.GetLength();
    const int lastBackslash = path.FindLast('\\');
    auto equals = [&](int at, int count, const String& name) {
        return count == name.GetLength() && std::memcmp(text + at, name.GetText(), size_t(count)) == 0;
    };
    Folder* folder = this;
    int at = 0;
    while (folder) {
        const int restLength = length - at;
        if (restLength == 0 || equals(at, restLength, ".") || equals(at, restLength, folder->GetName()))
            return folder;
        // The rest splits at its first "\" when it has one, else at its first "/".
        const char separator = lastBackslash >= at ? '\\' : '/';
        int end = at;
        while (end < length && text[end] != separator) ++end;
        const int headAt = at;
        const int headLength = end - at;
        at = end < length ? end + 1 : length;
        if (headLength == 0 || equals(headAt, headLength, ".")) continue;
        if (equals(headAt, headLength, "..")) {
            folder = folder->parent_;
            continue;
        }
        Folder* next = nullptr;
        for (Folder* child : folder->folders_) {
            if (equals(headAt, headLength, child->GetName())) {
                next = child;
                break;
            }
        }
        folder = next;
    }
    return nullptr;
}

File* Folder::FindFile(const String& path) {
    String folderPath, name;
    if (Split(path, true, folderPath, name)) {
        Folder* folder = ResolveFolder(folderPath);
        if (!folder) return nullptr;
        for (File* file : folder->files_)
            if (file->GetName() == name) return file;
        return nullptr;
    }
    for (File* file : files_)
        if (file->GetName() == path) return file;
    for (Folder* folder : folders_)
        if (File* file = folder->FindFile(path)) return file;
    return nullptr;
}

String Folder::GetFullPath() const {
    if (GetName().IsEmpty()) return String();
    return (parent_ ? parent_->GetFullPath() : String()) + GetName() + "/";
}

} // namespace nuv
