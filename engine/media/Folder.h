#pragma once

#include "core/Array.h"
#include "core/Named.h"
#include "core/String.h"

namespace nuv {

class File;

// A node of the file tree. A folder owns its subfolders (destroyed with it) and holds a
// counted reference to each of its files; the parent link is not owning.
class Folder : public Named {
public:
    // With a parent, the new folder attaches itself to it.
    explicit Folder(const String& name, Folder* parent = nullptr);
    // Detaches from the parent, then destroys the subfolders and releases the files.
    ~Folder() override;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // Takes ownership of child. 0; 3 for null or a child already in this folder; 1 (nothing
    // changes, the caller keeps the child) for a child that belongs to another folder, or for
    // this folder itself or one of its ancestors, which would make the tree a cycle.
    int AttachFolder(Folder* child);
    // Takes a counted reference to file; statuses as for folders.
    int AttachFile(File* file);
    // Gives the child back to the caller. 0; 3 for null or a folder that is not a child here.
    int DetachFolder(Folder* child);
    // Releases this folder's reference to file (which may destroy it). 0; 3 as above.
    int DetachFile(File* file);

    // The folder that path names from here ("\" or "/" between components, "." and ".."
    // allowed, case-sensitive), or null. The empty path, "." and this folder's own name
    // name this folder.
    Folder* ResolveFolder(const String& path);
    // A path with a separator: the file in the folder named by the part before the last
    // separator. A bare name: the first file of that name here, else in the subfolders,
    // depth first. Null when there is none.
    File* FindFile(const String& path);

    // Empty for a folder with an empty name, else the parent's full path, the name and "/".
    String GetFullPath() const;
    Folder* GetParent() const { return parent_; }
    int GetFolderCount() const { return folders_.GetCount(); }
    Folder* GetFolder(int index) const { return folders_[index]; }
    int GetFileCount() const { return files_.GetCount(); }
    File* GetFile(int index) const { return files_[index]; }

private:
    friend class File;
    // Removes file from the list without releasing it (the file is being destroyed).
    bool ForgetFile(File* file);
    // Where a new entry named name goes among entries named by names(i).
    template <class Names>
    static int FindInsertPosition(const String& name, int count, Names names);
    bool IsSelfOrAncestor(const Folder* folder) const;

    Folder* parent_ = nullptr;
    Array<Folder*> folders_{1, 1};
    Array<File*> files_{1, 1};
};

} // namespace nuv
