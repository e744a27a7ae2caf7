#pragma once

#include "core/String.h"

namespace nuv {

class File;
class Folder;

// The process-wide file tree: a root folder with an empty name, under which each attached
// archive hangs as a folder tree of memory files. Started and stopped with the engine.
class FileManager {
public:
    // The root folder; null while the manager is stopped.
    static Folder* GetRoot();

    // The first hit of Folder::FindFile(path) over the folders attached to the root, in list
    // order. Null when there is none (nothing is logged).
    static File* FindFile(const String& path);

    // Builds a folder tree from file with the codec chosen by its extension and attaches it to
    // the root. 0; 3 for null or no codec; the codec's status; 1 when it cannot be attached.
    static int AttachArchive(File* file, const String& password);
    // AttachArchive over the "MEDIADATA" resource id, seen as a file named name.
    static int AttachResourceArchive(int id, const String& name, const String& password);

    // The engine's start and stop functions (queued by static registration).
    static int Start();
    static int Stop();
};

} // namespace nuv
