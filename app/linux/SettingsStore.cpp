// The settings store as a file under the user's configuration folder.
#include "app/SettingsStore.h"

#include "core/Log.h"
#include "core/Status.h"
#include "platform/Folders.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nuv {

namespace {

// mkostemp's six characters after the store's own name.
constexpr size_t kTemporarySuffix = 6;

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "<name>.XXXXXX" as mkostemp makes it from the store's name.
bool IsTemporaryOf(const char* entry, const std::string& name) {
    const size_t length = std::strlen(entry);
    if (length != name.size() + 1 + kTemporarySuffix || name.compare(0, name.size(), entry, name.size()) != 0 ||
        entry[name.size()] != '.')
        return false;
    for (size_t i = name.size() + 1; i < length; ++i) {
        const char c = entry[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

// The error path of a store that exists but cannot be read: the log and the user hear why.
int ReportUnreadable(const std::string& path, const char* reason) {
    LogError("Неудачна попытка открытия пути реестра [%s].", path.c_str());
    LogError("Файл настроек [%s] не читается: %s.", path.c_str(), reason);
    std::fprintf(stderr, "halvane: cannot read the settings file %s: %s\n", path.c_str(), reason);
    return kStatusFailed;
}

} // namespace

int SettingsStore::MakePath(const String& registryPath, std::string* path) {
    if (!path) return kStatusFailed;
    std::string folder;
    if (GetConfigFolder(&folder) != 0) return kStatusFailed;
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
    if (relative.empty()) return kStatusFailed;
    *path = JoinPath(folder, relative + ".conf");
    return kStatusOk;
}

int SettingsStore::ReadText(int fd, size_t maxSize, std::string* text) {
    text->clear();
    // The size the file claims is not trusted: it may change while it is read, and reads may
    // return less than asked at any point.
    char chunk[4096];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return kStatusNoMemory;
        if (n == 0) return kStatusOk;
        if (text->size() + size_t(n) > maxSize) return kStatusFailed;
        text->append(chunk, size_t(n));
    }
}

int SettingsStore::RemoveOrphanedTemporaries() const {
    const std::string folder = FolderOf(path_);
    const std::string name = NameOf(path_);
    DIR* dir = opendir(folder.c_str());
    if (!dir) return kStatusOk;
    int removed = 0;
    while (dirent* entry = readdir(dir)) {
        if (!IsTemporaryOf(entry->d_name, name)) continue;
        const std::string path = JoinPath(folder, entry->d_name);
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) continue;
        // A write in progress holds its temporary locked until the rename; a killed one no longer does.
        struct stat held = {}, named = {};
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
            lstat(path.c_str(), &named) == 0 && named.st_ino == held.st_ino && named.st_dev == held.st_dev &&
            unlink(path.c_str()) == 0) {
            LogInfo("Удалён временный файл [%s], оставленный прерванной записью настроек.", path.c_str());
            ++removed;
        }
        close(fd);
    }
    closedir(dir);
    return removed;
}

void SettingsStore::WriteFirstRun(const Settings& settings) {
    if (Write(settings) == 0) {
        LogInfo("Значения параметров по-умолчанию записаны в реестр.");
        return;
    }
    LogError("Невозможно записать в реестр значения по-умолчанию.");
    // The defaults are in memory: the run needs nothing more than them.
    LogWarning("Настройки не могут быть сохранены в [%s] (%s): работа продолжается со значениями по-умолчанию.",
               path_.c_str(), writeError_.c_str());
    std::fprintf(stderr, "halvane: the settings cannot be saved to %s (%s); running with the defaults\n",
                 path_.c_str(), writeError_.c_str());
}

int SettingsStore::Read(Settings* settings) {
    if (!settings) return kStatusFailed;
    RemoveOrphanedTemporaries();
    // Non-blocking, so that a pipe put in the file's place cannot hold the start up.
    const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    // A file in the place of a folder on the way means there is no store either.
    if (fd < 0 && (errno == ENOENT || errno == ENOTDIR)) {
        LogInfo("Первый запуск скринсейвера. Запись параметров по-умолчанию в реестр...");
        WriteFirstRun(*settings);
        return kStatusOk;
    }
    if (fd < 0) return ReportUnreadable(path_, std::strerror(errno));
    struct stat info = {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return ReportUnreadable(path_, S_ISDIR(info.st_mode) ? "a folder is in its place" : "not a regular file");
    }
    std::string text;
    const int status = ReadText(fd, kMaxFileSize, &text);
    const int readError = errno;
    close(fd);
    if (status == 2) return ReportUnreadable(path_, std::strerror(readError));
    if (status == 1) {
        // Not a file this program wrote: left for the user to look at, not overwritten.
        LogWarning("Файл настроек [%s] больше %zu байт и не является файлом настроек: действуют значения "
                   "по-умолчанию.",
                   path_.c_str(), kMaxFileSize);
        return kStatusOk;
    }
    if (text.empty()) {
        // What a write killed before its first byte leaves: the store is filled again.
        LogWarning("Файл настроек [%s] пуст: в него записываются значения по-умолчанию.", path_.c_str());
        WriteFirstRun(*settings);
        return kStatusOk;
    }
    const Settings before = *settings;
    std::vector<int> badLines;
    Parse(text.data(), text.size(), settings, &badLines);
    for (const int line : badLines)
        LogWarning("Файл настроек [%s], строка %d: не является значением параметра и пропущена.", path_.c_str(), line);
    settings->ApplyLimits(before);
    return kStatusOk;
}

int SettingsStore::Write(const Settings& settings) {
    writeError_.clear();
    const std::string folder = FolderOf(path_);
    if (CreateFolders(folder) != 0) {
        writeError_ = std::strerror(errno);
        LogError("Неудачна попытка открытия пути реестра [%s].", path_.c_str());
        return kStatusFailed;
    }
    RemoveOrphanedTemporaries();
    // The new text goes to a file beside the old one and replaces it only once it is complete.
    // The temporary stays locked until then, so that another run's clean-up leaves it alone; one
    // removed between its creation and the lock is made again.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 3 && fd < 0; ++attempt) {
        temporary = path_ + ".XXXXXX";
        fd = mkostemp(temporary.data(), O_CLOEXEC);
        if (fd < 0) break;
        struct stat info = {};
        if (flock(fd, LOCK_EX) != 0 || fstat(fd, &info) != 0 || info.st_nlink == 0) {
            close(fd);
            fd = -1;
            errno = EAGAIN;
        }
    }
    if (fd < 0) {
        writeError_ = std::strerror(errno);
        LogError("Неудачна попытка открытия пути реестра [%s].", path_.c_str());
        return kStatusFailed;
    }
    bool written = WriteAll(fd, Format(settings)) && fsync(fd) == 0;
    int error = written ? 0 : errno;
    if (written && rename(temporary.c_str(), path_.c_str()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) unlink(temporary.c_str());
    // Closing releases the lock, after the rename.
    if (close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        writeError_ = std::strerror(error);
        LogError("Неудачна попытка закрытия пути реестра [%s].", path_.c_str());
        return kStatusFailed;
    }
    return kStatusOk;
}

} // namespace nuv
