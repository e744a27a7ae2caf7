// nuvtool's extraction path rules: entry names from the input (one per line, at most 16) go
// into a stored archive made by hand, since our writer refuses hostile names, and "nuvtool rar
// extract" writes it into a target folder that holds a link to a folder outside. Nothing may be
// created outside the target, and nothing through the link; every name the rules accept turns
// into a clean relative path that the rules accept again unchanged.
#include "RarCommand.h"

#include "media/rar/Crc32.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

void Put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// Stored entries with the names exactly as given; an entry whose name ends in a separator is a
// directory. Each file holds its own name.
Bytes HandMadeArchive(const std::vector<std::string>& names) {
    Bytes b = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
    const Bytes mainHeader = {0, 0, 0x73, 0, 0, 13, 0, 0, 0, 0, 0, 0, 0};
    b.insert(b.end(), mainHeader.begin(), mainHeader.end());
    for (const std::string& name : names) {
        const bool directory = name.back() == '\\' || name.back() == '/';
        const std::string& content = directory ? std::string() : name;
        const size_t start = b.size();
        Put16(b, 0);
        b.push_back(0x74);
        Put16(b, directory ? 0x80E0 : 0x8000);
        Put16(b, uint32_t(32 + name.size()));
        Put32(b, uint32_t(content.size()));
        Put32(b, uint32_t(content.size()));
        b.push_back(2);
        Put32(b, nuv::Crc32::Compute(content.data(), content.size()));
        Put32(b, 0x5B886B20);
        b.push_back(20);
        b.push_back(0x30);
        Put16(b, uint32_t(name.size()));
        Put32(b, directory ? 0x10 : 0x20);
        b.insert(b.end(), name.begin(), name.end());
        const uint32_t crc = nuv::Crc32::Compute(b.data() + start + 2, b.size() - start - 2);
        b[start] = uint8_t(crc);
        b[start + 1] = uint8_t(crc >> 8);
        b.insert(b.end(), content.begin(), content.end());
    }
    return b;
}

// A clean relative path: components separated by single "/", none empty, "." or "..", no "\"
// and no zero byte.
bool IsClean(const std::string& path) {
    if (path.empty() || path.front() == '/' || path.back() == '/') return false;
    if (path.find('\\') != std::string::npos || path.find('\0') != std::string::npos) return false;
    size_t begin = 0;
    while (begin <= path.size()) {
        size_t end = path.find('/', begin);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(begin, end - begin);
        if (part.empty() || part == "." || part == "..") return false;
        begin = end + 1;
    }
    return true;
}

fs::path gSandbox;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Memory-backed when there is such a place: every input writes files.
    const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "nuv-fuzz-extract-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    gSandbox = pattern;
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(gSandbox, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    std::vector<std::string> names;
    std::string current;
    for (size_t i = 0; i <= size && names.size() < 16; ++i) {
        if (i == size || data[i] == '\n') {
            if (!current.empty() && current.size() < 1024) names.push_back(current);
            current.clear();
        } else {
            current += char(data[i]);
        }
    }
    for (const std::string& name : names) {
        std::string path;
        if (nuv::RarCommand::SafeRelativePath(name, path)) {
            Check(IsClean(path));
            std::string again;
            Check(nuv::RarCommand::SafeRelativePath(path, again) && again == path);
        }
    }
    if (names.empty()) return 0;

    std::error_code ec;
    fs::remove_all(gSandbox / "run", ec);
    const fs::path target = gSandbox / "run" / "box" / "target";
    const fs::path outside = gSandbox / "run" / "outside";
    fs::create_directories(target, ec);
    fs::create_directories(outside, ec);
    fs::create_directory_symlink(outside, target / "link", ec);
    const fs::path archive = gSandbox / "run" / "names.rar";
    {
        const Bytes bytes = HandMadeArchive(names);
        FILE* f = std::fopen(archive.c_str(), "wb");
        if (!f) return 0;
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    std::ostringstream out, err;
    nuv::RarCommand::Run({"extract", archive.string(), target.string()}, out, err);

    // Only the archive, the target's tree and the untouched folder outside.
    Check(fs::is_empty(outside, ec));
    for (auto it = fs::recursive_directory_iterator(gSandbox / "run", ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::path& p = it->path();
        if (p == archive || p == outside || p == target.parent_path() || p == target) continue;
        const fs::path relative = p.lexically_relative(target);
        Check(!relative.empty() && *relative.begin() != "..");
        if (p == target / "link") {
            Check(fs::is_symlink(fs::symlink_status(p, ec)));
            it.disable_recursion_pending();
            continue;
        }
        Check(!fs::is_symlink(fs::symlink_status(p, ec)));
    }
    fs::remove_all(gSandbox / "run", ec);
    return 0;
}
