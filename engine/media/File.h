#pragma once

#include "core/Named.h"
#include "core/RefCounted.h"
#include "core/Stream.h"
#include "core/String.h"

#include <cstdio>

namespace nuv {

class Folder;

// A named stream backed by a file on disk at its full path. Reading loads the whole file
// into the stream buffer at Open; writing collects bytes in the buffer and stores them at
// Close, so the object stream always works on memory.
class File : public Stream, public Named, public RefCounted {
public:
    enum Mode : int { kRead = 0, kWrite = 1, kAppend = 2 };

    explicit File(const String& name);
    // Closes the file if open and takes it out of its folder.
    ~File() override;

    // 0; 1 when the file cannot be opened (any unknown mode reads).
    virtual int Open(int mode);
    // 0 (also when closed); 1 when not every written byte reached the disk (stays open).
    virtual int Close();
    bool IsOpen() const { return open_; }
    int GetMode() const { return mode_; }

    // Open for reading: the size; for writing: the bytes written; closed: the size on a
    // temporary open for reading (0 when that fails).
    int GetSize() override;
    // The stream operations, refused with 1 (and the stream's error state set, so that a run
    // of writes tested once at its end still fails) when the file is closed or in the wrong mode.
    int Write(const void* bytes, int count) override;
    int Read(void* bytes, int count) override;

    // The text after the last "." of the name, or empty.
    String GetExtension() const { return GetName().GetExtension(); }
    // The folder's full path followed by the name (the name alone outside any folder).
    String GetFullPath() const;

    Folder* GetFolder() const { return folder_; }

protected:
    void MarkOpen(int mode) {
        open_ = true;
        mode_ = mode;
    }
    void MarkClosed() { open_ = false; }

private:
    friend class Folder;  // keeps folder_ in step with its lists

    int mode_ = kRead;
    bool open_ = false;
    std::FILE* handle_ = nullptr;
    Folder* folder_ = nullptr;
};

} // namespace nuv
