#include "media/Rar2FileCodec.h"

#include "core/Log.h"
#include "core/Status.h"
#include "media/CodecModule.h"
#include "media/File.h"
#include "media/Folder.h"
#include "media/MemoryFile.h"
#include "media/rar/Rar2Archive.h"

#include <new>
#include <string_view>

namespace nuv {

namespace {

const detail::CodecModule<Rar2FileCodec> gModule;

// The entry's name splits at its last separator into the parent path and the leaf. Archives
// use "\"; "/" counts too, since the tree treats both alike when it resolves paths.
void SplitEntryName(const std::string& name, String& parent, String& leaf) {
    const size_t at = name.find_last_of("\\/");
    if (at == std::string::npos) {
        parent = String();
        leaf = String(name.c_str(), int(name.size()));
    } else {
        parent = String(name.c_str(), int(at));
        leaf = String(name.c_str() + at + 1, int(name.size() - at - 1));
    }
}

} // namespace

Rar2FileCodec::Rar2FileCodec() : Codec(kName) {
    AddExtension("rar2");
    AddExtension("RAR2");
    AddExtension("Rar2");
}

int Rar2FileCodec::Load(File* file, std::unique_ptr<Folder>& out, const String& password) {
    out.reset();
    if (!file) return kStatusNotFound;
    if (file->Open(File::kRead) != kStatusOk) return kStatusFailed;

    // The open file's buffer is the archive; it stays put until Close.
    Rar2Archive archive(file->GetData(), size_t(file->GetSize()));
    if (!archive.IsOpen()) {
        LogWarning("Файл [%s] не является архивом RAR 2.0.", file->GetFullPath().GetText());
        file->Close();
        return kStatusFailed;
    }
    std::unique_ptr<Folder> root(new (std::nothrow) Folder(file->GetName()));
    if (!root) {
        file->Close();
        return kStatusNoMemory;
    }
    const std::vector<Rar2Entry>& entries = archive.GetEntries();
    const std::string_view key(password.GetText(), size_t(password.GetLength()));
    archive.ExtractAll(key, [&](size_t index, Rar2Result result, std::vector<uint8_t>& bytes) {
        const Rar2Entry& entry = entries[index];
        String parentPath, leaf;
        SplitEntryName(entry.name, parentPath, leaf);
        // Hostile names must not add empty or relative components to the tree.
        if (leaf.IsEmpty() || leaf == "." || leaf == "..") {
            LogWarning("Недопустимое имя [%s] в архиве [%s].", entry.name.c_str(), file->GetName().GetText());
            return;
        }
        Folder* parent = parentPath.IsEmpty() ? root.get() : root->ResolveFolder(parentPath);
        if (!parent) {
            LogWarning("Не найдена директория для [%s] в архиве [%s].", entry.name.c_str(),
                       file->GetName().GetText());
            return;
        }
        if (entry.IsDirectory()) {
            Folder* folder = new (std::nothrow) Folder(leaf);
            if (folder && parent->AttachFolder(folder) != 0) delete folder;
            return;
        }
        Pointer<MemoryFile> memoryFile = new (std::nothrow) MemoryFile(leaf);
        if (!memoryFile || parent->AttachFile(memoryFile.Get()) != kStatusOk) return;
        if (result == Rar2Result::Ok) {
            memoryFile->SetContent(std::move(bytes));
        } else {
            LogWarning("Невозможно извлечь файл [%s] из архива [%s]: %s.", entry.name.c_str(),
                       file->GetName().GetText(), Rar2Archive::Describe(result));
        }
        memoryFile->SetCodec(this);
    });
    if (file->Close() != kStatusOk) return kStatusFailed;
    out = std::move(root);
    return kStatusOk;
}

int Rar2FileCodec::Save(File* file, Folder*) {
    if (!file || file->Open(File::kWrite) != kStatusOk) return kStatusFailed;
    return file->Close() == kStatusOk ? kStatusOk : kStatusFailed;
}

} // namespace nuv
