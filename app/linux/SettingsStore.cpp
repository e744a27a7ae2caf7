// The settings store as a file under the user's configuration folder.
#include "app/SettingsStore.h"

#include "core/Log.h"
#include "platform/Folders.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nuv {

namespace {

// Far more than the ~300 bytes the program writes; a larger file is not ours.
constexpr off_t kMaxStoreSize = 64 * 1024;

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

int SettingsStore::MakePath(const String& registryPath, std::string* path) {
    if (!path) return 1;
    std::string folder;
    if (GetConfigFolder(&folder) != 0) return 1;
    std::string relative;
    const char* text = registryPath.GetText();
    const int length = registryPath.GetLength();
    int start = 0;
    for (int i = 0; i <= length; ++i) {
        if (i < length && text[i] != '\\' && text[i] != '/') continue;
        const std::string component(text + start, text + i);
        start = i + 1;
        // The shipped path doubles its separators; and nothing may climb out of the folder.
        if (component.empty() || component == "." || component == ".." ||
            component.find('\0') != std::string::npos)
            continue;
        if (!relative.empty()) relative += '/';
        relative += component;
    }
    if (relative.empty()) return 1;
    *path = JoinPath(folder, relative + ".conf");
    return 0;
}

int SettingsStore::Read(Settings* settings) {
    if (!settings) return 1;
    const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        LogInfo("Первый запуск скринсейвера. Запись параметров по-умолчанию в реестр...");
        if (Write(*settings) != 0) {
            LogError("Невозможно записать в реестр значения по-умолчанию.");
            return 1;
        }
        LogInfo("Значения параметров по-умолчанию записаны в реестр.");
        return 0;
    }
    if (fd < 0) {
        LogWarning("Файл настроек [%s] не читается (%s): действуют значения по-умолчанию.", path_.c_str(),
                   std::strerror(errno));
        return 0;
    }
    struct stat info = {};
    std::string text;
    bool readable = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxStoreSize;
    if (readable) {
        text.resize(size_t(info.st_size));
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = read(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += size_t(n);
        }
        // A file that shrank while read is parsed as far as it goes.
        text.resize(done);
    }
    close(fd);
    if (!readable) {
        LogWarning("Файл настроек [%s] не является файлом настроек: действуют значения по-умолчанию.",
                   path_.c_str());
        return 0;
    }
    int badLine = 0;
    if (Parse(text.data(), text.size(), settings, &badLine) != 0) {
        LogWarning("Файл настроек [%s] повреждён (строка %d): действуют значения по-умолчанию.", path_.c_str(),
                   badLine);
        return 0;
    }
    return 0;
}

int SettingsStore::Write(const Settings& settings) {
    const std::string folder = FolderOf(path_);
    if (CreateFolders(folder) != 0) {
        LogError("Неудачна попытка открытия пути реестра [%s].", path_.c_str());
        return 1;
    }
    // The new text goes to a file beside the old one and replaces it only once it is complete.
    std::string temporary = path_ + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        LogError("Неудачна попытка открытия пути реестра [%s].", path_.c_str());
        return 1;
    }
    const bool written = WriteAll(fd, Format(settings)) && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (!written || !closed || rename(temporary.c_str(), path_.c_str()) != 0) {
        unlink(temporary.c_str());
        LogError("Неудачна попытка закрытия пути реестра [%s].", path_.c_str());
        return 1;
    }
    return 0;
}

} // namespace nuv
