// The settings store's file side: the file opened and read whole whatever it holds and however
// the reads come back, its size cap, an empty file refilled, temporaries of killed writes
// removed, and every value the run gets within its limits. Input: one byte of options, then
// the file's bytes.
//   0x01  a temporary file of a killed write lies beside the store
//   0x02  the store is padded past the size cap
//   0x04  the bytes also go through a pipe in pieces of the sizes the bytes give
#include "app/Settings.h"
#include "app/SettingsStore.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

bool WriteFile(const fs::path& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

std::string ReadFile(const fs::path& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
        std::fclose(f);
    }
    return text;
}

// Every value the run uses is one a run can use.
void CheckLimits(const nuv::Settings& s) {
    Check(s.volume >= 0 && s.volume <= 100);
    Check(s.gamma >= -100 && s.gamma <= 100);
    Check(s.width >= 1 && s.width <= 16384 && s.height >= 1 && s.height <= 16384);
    Check(s.colorDepth == 8 || s.colorDepth == 16 || s.colorDepth == 24 || s.colorDepth == 32);
    Check(s.antiAliasing >= 0 && s.antiAliasing <= 16);
}

fs::path gFolder;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Memory-backed when there is such a place: every input writes and syncs a file.
    const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "nuv-fuzz-settings-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    gFolder = pattern;
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(gFolder, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 17)) return 0;
    const uint8_t options = data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    if (options & 0x04) {
        // Short reads: the reader gets the bytes in the pieces the writer hands over.
        int fds[2];
        if (pipe(fds) != 0) return 0;
        std::thread writer([&] {
            for (size_t i = 0; i < text.size();) {
                const size_t piece = std::min<size_t>(1 + uint8_t(text[i]) % 64, text.size() - i);
                if (write(fds[1], text.data() + i, piece) != ssize_t(piece)) break;
                i += piece;
            }
            close(fds[1]);
        });
        const size_t cap = size_t(options >> 3) * 64;
        std::string got;
        const int status = nuv::SettingsStore::ReadText(fds[0], cap, &got);
        // Whatever the reader left unread must not block the writer.
        char sink[4096];
        while (read(fds[0], sink, sizeof sink) > 0) {
        }
        writer.join();
        close(fds[0]);
        Check(text.size() <= cap ? status == 0 && got == text : status == 1 && got.size() <= cap);
    }

    std::error_code ec;
    fs::remove_all(gFolder / "store", ec);
    fs::create_directories(gFolder / "store", ec);
    const fs::path path = gFolder / "store" / "s.conf";
    std::string stored = text;
    if (options & 0x02) stored.append(nuv::SettingsStore::kMaxFileSize + 1 - std::min(stored.size(), nuv::SettingsStore::kMaxFileSize), '\n');
    if (!WriteFile(path, stored)) return 0;
    if (options & 0x01) WriteFile(path.string() + ".k1LLed", stored.substr(0, stored.size() / 2));

    nuv::SettingsStore store(path.string());
    nuv::Settings defaults;
    defaults.volume = 50;
    defaults.gamma = 10;
    nuv::Settings settings = defaults;
    Check(store.Read(&settings) == 0);
    CheckLimits(settings);
    Check(!fs::exists(path.string() + ".k1LLed"));
    const std::string after = ReadFile(path);
    if (stored.empty()) {
        // Refilled with what the run uses.
        Check(after == nuv::SettingsStore::Format(settings) && settings == defaults);
    } else {
        // Never overwritten by a read.
        Check(after == stored);
    }
    if (stored.size() > nuv::SettingsStore::kMaxFileSize) Check(settings == defaults);

    // What the run would save reads back the same.
    Check(store.Write(settings) == 0);
    nuv::Settings back;
    Check(store.Read(&back) == 0 && back == settings);
    return 0;
}
