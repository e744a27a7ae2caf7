#pragma once

#include "media/Codec.h"

namespace nuv {

// "RAR2FileCodec": turns a RAR 2.0 archive file into a folder tree of memory files, decoding
// every entry at once. Built into the program as the static module of the same name.
class Rar2FileCodec : public Codec {
public:
    static constexpr const char* kName = "RAR2FileCodec";

    Rar2FileCodec();

    int GetKind() const override { return kArchive; }
    using Codec::Load;
    using Codec::Save;
    // Directory entries become folders and file entries memory files, each under the folder
    // its path names. An entry whose parent is not in the tree, or whose name ends in an
    // empty, "." or ".." component, is left out; an entry that cannot be decoded becomes a
    // file without content. 0; 3 for null; 1 when the file cannot be read or is no archive.
    int Load(File* file, std::unique_ptr<Folder>& out, const String& password) override;
    // Leaves an empty file; 0, or 1 when it cannot be created.
    int Save(File* file, Folder* folder) override;
};

} // namespace nuv
