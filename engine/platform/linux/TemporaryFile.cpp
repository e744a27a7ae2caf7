#include "platform/TemporaryFile.h"

#include "core/Status.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace nuv {

TemporaryFile::~TemporaryFile() {
    Remove();
}

std::string TemporaryFile::GetTemporaryFolder() {
    // A relative TMPDIR would depend on the working folder: ignore it like an unset one.
    const char* value = std::getenv("TMPDIR");
    std::string folder = (value != nullptr && value[0] == '/') ? value : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

int TemporaryFile::Create(const char* prefix) {
    if (prefix == nullptr) {
        error_ = "null prefix";
        return kStatusNotFound;
    }
    if (std::strchr(prefix, '/') != nullptr) {
        error_ = "the prefix holds a path separator";
        return kStatusFailed;
    }
    if (Remove() != kStatusOk) return kStatusFailed;
    std::string folder = GetTemporaryFolder();
    if (folder != "/") folder += '/';
    std::string pattern = folder + prefix + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        error_ = "cannot create a file in " + folder + ": " + std::strerror(errno);
        return kStatusFailed;
    }
    close(fd);
    path_ = name.data();
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
    const int fd = open(path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        error_ = "cannot open " + path_ + ": " + std::strerror(errno);
        return kStatusFailed;
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t written = write(fd, bytes + done, size - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            error_ = "cannot write " + path_ + ": " + std::strerror(errno);
            close(fd);
            return kStatusFailed;
        }
        done += size_t(written);
    }
    // A full disk may only show at close.
    if (close(fd) != 0) {
        error_ = "cannot write " + path_ + ": " + std::strerror(errno);
        return kStatusFailed;
    }
    return kStatusOk;
}

int TemporaryFile::Remove() {
    if (path_.empty()) return kStatusOk;
    if (unlink(path_.c_str()) != 0 && errno != ENOENT) {
        error_ = "cannot delete " + path_ + ": " + std::strerror(errno);
        return kStatusFailed;
    }
    path_.clear();
    return kStatusOk;
}

void TemporaryFile::Release() {
    path_.clear();
}

} // namespace nuv
