#include "platform/TemporaryFile.h"

#include "core/Status.h"
#include "platform/win32/WideText.h"

#include <windows.h>
#include <cstring>

namespace nuv {

TemporaryFile::~TemporaryFile() {
    Remove();
}

std::string TemporaryFile::GetTemporaryFolder() {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) return std::string();
    std::string path = WideToUtf8(folder);
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    return path;
}

int TemporaryFile::Create(const char* prefix) {
    if (prefix == nullptr) {
        error_ = "null prefix";
        return kStatusNotFound;
    }
    if (std::strpbrk(prefix, "\\/:") != nullptr) {
        error_ = "the prefix holds a path separator";
        return kStatusFailed;
    }
    if (Remove() != kStatusOk) return kStatusFailed;
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) {
        error_ = DescribeWindowsError("GetTempPath", GetLastError());
        return kStatusFailed;
    }
    // Unique number 0: the system picks a name that is free and creates the file.
    wchar_t name[MAX_PATH + 1];
    if (GetTempFileNameW(folder, Utf8ToWide(prefix).c_str(), 0, name) == 0) {
        error_ = DescribeWindowsError("GetTempFileName", GetLastError());
        return kStatusFailed;
    }
    path_ = WideToUtf8(name);
    return kStatusOk;
}

int TemporaryFile::Write(const uint8_t* bytes, size_t size) {
    if (bytes == nullptr && size != 0) {
        error_ = "null bytes";
        return kStatusNotFound;
    }
    if (path_.empty()) {
        error_ = "no file was created";
        return kStatusFailed;
    }
    HANDLE file = CreateFileW(Utf8ToWide(path_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error_ = DescribeWindowsError("CreateFile", GetLastError());
        return kStatusFailed;
    }
    size_t done = 0;
    while (done < size) {
        const DWORD chunk = DWORD(size - done < 0x40000000u ? size - done : 0x40000000u);
        DWORD written = 0;
        if (!WriteFile(file, bytes + done, chunk, &written, nullptr) || written == 0) {
            error_ = DescribeWindowsError("WriteFile", GetLastError());
            CloseHandle(file);
            return kStatusFailed;
        }
        done += written;
    }
    if (!CloseHandle(file)) {
        error_ = DescribeWindowsError("CloseHandle", GetLastError());
        return kStatusFailed;
    }
    return kStatusOk;
}

int TemporaryFile::Remove() {
    if (path_.empty()) return kStatusOk;
    if (!DeleteFileW(Utf8ToWide(path_).c_str())) {
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) {
            error_ = DescribeWindowsError("DeleteFile", code);
            return kStatusFailed;
        }
    }
    path_.clear();
    return kStatusOk;
}

void TemporaryFile::Release() {
    path_.clear();
}

} // namespace nuv
