#include "platform/Folders.h"

#include "core/Status.h"
#include "platform/win32/WideText.h"

#include <shlobj.h>
#include <windows.h>

namespace nuv {

int GetAppDataFolder(std::string* path) {
    if (path == nullptr) return kStatusNotFound;
    wchar_t folder[MAX_PATH];
    if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) return kStatusFailed;
    std::string text = WideToUtf8(folder);
    if (text.empty()) return kStatusFailed;
    *path = text;
    return kStatusOk;
}

int GetConfigFolder(std::string* path) {
    // Settings live in the registry on Windows.
    return path == nullptr ? kStatusNotFound : kStatusFailed;
}

int CreateFolders(const std::string& path) {
    const std::wstring wide = Utf8ToWide(path);
    if (wide.empty()) return kStatusFailed;
    // Every level in turn; levels that exist (or a drive root) refuse, and only the last one counts.
    for (size_t i = 1; i < wide.size(); ++i) {
        if (wide[i] == L'\\' || wide[i] == L'/') CreateDirectoryW(wide.substr(0, i).c_str(), nullptr);
    }
    CreateDirectoryW(wide.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? kStatusOk
                                                                                                 : kStatusFailed;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '\\' || folder.back() == '/') return folder + name;
    return folder + '\\' + name;
}

} // namespace nuv
