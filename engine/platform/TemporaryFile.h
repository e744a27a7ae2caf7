#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nuv {

// A uniquely named file in the system's temporary folder, deleted when this object goes
// unless released. Linux: $TMPDIR (default /tmp)/<prefix>XXXXXX; Windows: GetTempFileName,
// which keeps only the first three characters of the prefix.
class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates a new empty file (removing one created earlier by this object).
    // 0; 3 for a null prefix; 1 on failure or a prefix holding a path separator.
    int Create(const char* prefix);
    // Replaces the file's content with size bytes. 0; 3 for null bytes with a size; 1 on failure
    // or when no file was created.
    int Write(const uint8_t* bytes, size_t size);
    // Deletes the file now. 0 (also when there is none); 1 when it cannot be deleted.
    int Remove();
    // Keeps the file on disk and forgets it.
    void Release();

    // UTF-8 path of the file; empty when there is none.
    const std::string& GetPath() const { return path_; }
    // Text of the last failure.
    const std::string& GetError() const { return error_; }

    // The system's temporary folder, without a trailing separator.
    static std::string GetTemporaryFolder();

private:
    std::string path_;
    std::string error_;
};

} // namespace nuv
