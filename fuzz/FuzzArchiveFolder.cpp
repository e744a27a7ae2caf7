// Turns arbitrary bytes into a folder tree through the archive codec, as attaching a resource
// archive does, then walks the tree: resolving paths, finding files and reading each one.
// Hostile entry names must never put empty, "." or ".." components into the tree.
#include "core/Pointer.h"
#include "media/File.h"
#include "media/Folder.h"
#include "media/MemoryFile.h"
#include "media/Rar2FileCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

using namespace nuv;

bool IsCleanName(const String& name) {
    return !name.IsEmpty() && name != "." && name != "..";
}

// Reads every file and checks every name. The depth is bounded: each level needs a directory
// entry whose name holds the whole path.
void Walk(Folder* folder, Folder* root) {
    for (int i = 0; i < folder->GetFileCount(); ++i) {
        File* file = folder->GetFile(i);
        if (!IsCleanName(file->GetName())) std::abort();
        // Look the file up again by its path from the archive's top and by its bare name.
        String path = file->GetFullPath();
        root->FindFile(path.Substring(root->GetName().GetLength() + 1, path.GetLength()));
        root->FindFile(file->GetName());
        if (file->Open(File::kRead) == 0) {
            uint8_t probe[16];
            const int size = file->GetSize();
            file->Read(probe, size < 16 ? size : 16);
            file->Close();
        }
    }
    for (int i = 0; i < folder->GetFolderCount(); ++i) {
        Folder* child = folder->GetFolder(i);
        if (!IsCleanName(child->GetName()) || child->GetParent() != folder) std::abort();
        Walk(child, root);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 22)) return 0;
    Pointer<Codec> codec = new Rar2FileCodec;
    Pointer<MemoryFile> archive = new MemoryFile("Fuzz.rar2");
    archive->BorrowContent(data, int(size));
    std::unique_ptr<Folder> root;
    if (codec->Load(archive.Get(), root, "") != 0) return 0;
    if (!root || root->GetName() != "Fuzz.rar2") std::abort();
    Walk(root.get(), root.get());
    for (const char* path : {"a", "a/b", "a\\b", "../a", "./a/../a/b", "Fuzz.rar2/a", ""}) {
        root->ResolveFolder(path);
        root->FindFile(path);
    }
    return 0;
}
