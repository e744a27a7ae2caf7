#include "platform/DynamicLibrary.h"

#include "core/Status.h"
#include "platform/win32/WideText.h"

#include <windows.h>

namespace nuv {

DynamicLibrary::~DynamicLibrary() {
    Close();
}

int DynamicLibrary::Open(const char* path) {
    if (path == nullptr) {
        error_ = "null path";
        return kStatusNotFound;
    }
    if (Close() != kStatusOk) return kStatusFailed;
    // LoadLibrary wants backslashes in a path.
    std::wstring wide = Utf8ToWide(path);
    for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    HMODULE module = LoadLibraryW(wide.c_str());
    if (module == nullptr) {
        error_ = DescribeWindowsError("LoadLibrary", GetLastError());
        return kStatusFailed;
    }
    handle_ = module;
    error_.clear();
    return kStatusOk;
}

int DynamicLibrary::OpenFromMemory(const uint8_t* bytes, size_t size, const char* prefix) {
    if (bytes == nullptr || prefix == nullptr) {
        error_ = "null image or prefix";
        return kStatusNotFound;
    }
    if (Close() != kStatusOk) return kStatusFailed;
    // Windows loads only files; the file must stay until the library is freed.
    if (image_.Create(prefix) != kStatusOk || image_.Write(bytes, size) != kStatusOk) {
        error_ = image_.GetError();
        image_.Remove();
        return kStatusFailed;
    }
    const int status = Open(image_.GetPath().c_str());
    if (status != kStatusOk) image_.Remove();
    return status;
}

int DynamicLibrary::Close() {
    if (handle_ == nullptr) return kStatusOk;
    if (!FreeLibrary(static_cast<HMODULE>(handle_))) {
        error_ = DescribeWindowsError("FreeLibrary", GetLastError());
        return kStatusFailed;
    }
    handle_ = nullptr;
    if (image_.Remove() != kStatusOk) error_ = image_.GetError();
    return kStatusOk;
}

void* DynamicLibrary::GetSymbol(const char* name) {
    if (handle_ == nullptr || name == nullptr) {
        error_ = handle_ == nullptr ? "no library is open" : "null symbol name";
        return nullptr;
    }
    FARPROC address = GetProcAddress(static_cast<HMODULE>(handle_), name);
    if (address == nullptr) {
        error_ = DescribeWindowsError((std::string("GetProcAddress ") + name).c_str(), GetLastError());
        return nullptr;
    }
    return reinterpret_cast<void*>(address);
}

} // namespace nuv
