#include "platform/DynamicLibrary.h"

#include "core/Status.h"

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <string>

namespace nuv {

namespace {

std::string LastDlError(const char* fallback) {
    const char* text = dlerror();
    return text != nullptr ? text : fallback;
}

bool WriteAll(int fd, const uint8_t* bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t written = write(fd, bytes + done, size - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += size_t(written);
    }
    return true;
}

} // namespace

DynamicLibrary::~DynamicLibrary() {
    Close();
}

int DynamicLibrary::Open(const char* path) {
    if (path == nullptr) {
        error_ = "null path";
        return kStatusNotFound;
    }
    if (Close() != kStatusOk) return kStatusFailed;
    dlerror();
    handle_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        error_ = LastDlError("dlopen failed");
        return kStatusFailed;
    }
    error_.clear();
    return kStatusOk;
}

int DynamicLibrary::OpenFromMemory(const uint8_t* bytes, size_t size, const char* prefix) {
    if (bytes == nullptr || prefix == nullptr) {
        error_ = "null image or prefix";
        return kStatusNotFound;
    }
    if (Close() != kStatusOk) return kStatusFailed;
    const int fd = memfd_create(prefix, MFD_CLOEXEC);
    if (fd >= 0) {
        if (!WriteAll(fd, bytes, size)) {
            error_ = std::string("cannot write the memory file: ") + std::strerror(errno);
            close(fd);
            return kStatusFailed;
        }
        // The loader maps the file, so the descriptor may go once it is loaded.
        const int status = Open(("/proc/self/fd/" + std::to_string(fd)).c_str());
        close(fd);
        return status;
    }
    // No memory files (old kernel or a sandbox): a temporary file, deleted once it is mapped.
    const std::string memfdError = std::strerror(errno);
    TemporaryFile file;
    if (file.Create(prefix) != kStatusOk || file.Write(bytes, size) != kStatusOk) {
        error_ = "no memory file (" + memfdError + ") and " + file.GetError();
        return kStatusFailed;
    }
    return Open(file.GetPath().c_str());
}

int DynamicLibrary::Close() {
    if (handle_ == nullptr) return kStatusOk;
    dlerror();
    if (dlclose(handle_) != 0) {
        error_ = LastDlError("dlclose failed");
        return kStatusFailed;
    }
    handle_ = nullptr;
    return kStatusOk;
}

void* DynamicLibrary::GetSymbol(const char* name) {
    if (handle_ == nullptr || name == nullptr) {
        error_ = handle_ == nullptr ? "no library is open" : "null symbol name";
        return nullptr;
    }
    dlerror();
    void* address = dlsym(handle_, name);
    if (address == nullptr) {
        // A symbol may legitimately be null; only dlerror tells a missing one apart.
        const char* text = dlerror();
        error_ = text != nullptr ? text : std::string("symbol ") + name + " is null";
    }
    return address;
}

} // namespace nuv
