#pragma once

#include "platform/TemporaryFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace nuv {

// A shared library loaded by the operating system (dlopen / LoadLibrary), closed when this
// object goes.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Loads the library at a UTF-8 path, closing any earlier one; symbols stay private to it.
    // 0; 3 for a null path; 1 on failure (GetError says why).
    int Open(const char* path);
    // Loads a library image held in memory. Linux: an anonymous memory file, so a temporary
    // folder mounted noexec does not matter (a temporary file when that is unavailable);
    // Windows: a temporary file named from prefix, deleted after the library is closed.
    int OpenFromMemory(const uint8_t* bytes, size_t size, const char* prefix);
    // 0 (also when nothing is open); 1 when the system refuses to unload it.
    int Close();

    bool IsOpen() const { return handle_ != nullptr; }
    // Address of an exported symbol, or null (GetError says why).
    void* GetSymbol(const char* name);
    const std::string& GetError() const { return error_; }

private:
    void* handle_ = nullptr;
    TemporaryFile image_; // the written image while a library from memory is open (Windows)
    std::string error_;
};

} // namespace nuv
