#include "platform/Folders.h"

#include "core/Status.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

namespace nuv {

namespace {

// $HOME, else the password database's entry for this user.
bool GetHomeFolder(std::string* home) {
    const char* value = std::getenv("HOME");
    if (value != nullptr && value[0] == '/') {
        *home = value;
        return true;
    }
    const passwd* entry = getpwuid(getuid());
    if (entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/') {
        *home = entry->pw_dir;
        return true;
    }
    return false;
}

// The XDG rule: the variable when it holds an absolute path, else the default under home.
int GetXdgFolder(const char* variable, const char* defaultUnderHome, std::string* path) {
    if (path == nullptr) return kStatusNotFound;
    const char* value = std::getenv(variable);
    std::string folder;
    if (value != nullptr && value[0] == '/') {
        folder = value;
    } else {
        std::string home;
        if (!GetHomeFolder(&home)) return kStatusFailed;
        folder = JoinPath(home, defaultUnderHome);
    }
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    *path = folder;
    return kStatusOk;
}

bool IsFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

int GetAppDataFolder(std::string* path) {
    return GetXdgFolder("XDG_DATA_HOME", ".local/share", path);
}

int GetConfigFolder(std::string* path) {
    return GetXdgFolder("XDG_CONFIG_HOME", ".config", path);
}

int CreateFolders(const std::string& path) {
    if (path.empty()) return kStatusFailed;
    // Each level in turn; the private mode is what the XDG folders ask for.
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string level = path.substr(0, end);
        if (!level.empty() && level.back() != '/' && mkdir(level.c_str(), 0700) != 0 && errno != EEXIST)
            return kStatusFailed;
        if (end == std::string::npos) break;
    }
    return IsFolder(path) ? kStatusOk : kStatusFailed;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + '/' + name;
}

} // namespace nuv
