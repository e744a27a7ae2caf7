#pragma once

#include "media/rarwriter/Rar2Encoder.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace nuv {

// Assembles a RAR 2.0 archive in memory: marker, main header, then one file header per
// entry with its data, stored or compressed (unpack version 20, method 0x33). Entry names
// use "\" between components; parent directories are added before their contents when the
// caller has not added them. In a solid archive the compressed files form one run at the end:
// directories and empty files added later are placed in front of it. The same calls always
// give the same bytes.
class Rar2Writer {
public:
    struct Options {
        bool store = false;     // store every file instead of compressing
        bool solid = false;     // one dictionary across all compressed files
        bool audio = false;     // audio tables (delta prediction) instead of LZ
        int audioChannels = 1;  // interleaved channels for audio mode (1..4)
        Rar2Encoder::Settings encoder;
    };

    static constexpr uint8_t kHostWin32 = 2;
    static constexpr uint8_t kMethodStore = 0x30;
    static constexpr uint8_t kMethodNormal = 0x33;
    static constexpr uint32_t kAttrDirectory = 0x10;
    static constexpr uint32_t kAttrArchive = 0x20;
    static constexpr size_t kMaxNameLength = 258;  // longer names are cut by some readers

    Rar2Writer();
    explicit Rar2Writer(const Options& options);
    ~Rar2Writer();
    Rar2Writer(const Rar2Writer&) = delete;
    Rar2Writer& operator=(const Rar2Writer&) = delete;

    // Status 0 on success, 1 with LastError() set otherwise (bad or duplicate name, file
    // of 4 GiB or more). A failed call leaves the archive as it was. Adding a directory
    // that is already there does nothing. A dosTime with no valid month or day is stored
    // as 1980-01-01 00:00.
    int AddDirectory(std::string_view name, uint32_t dosTime);
    int AddFile(std::string_view name, const uint8_t* data, size_t size, uint32_t dosTime);

    // The archive so far; complete after every successful call.
    const std::vector<uint8_t>& GetBytes() const { return bytes_; }
    const std::string& LastError() const { return error_; }

    // DOS date and time of a moment given in seconds since 1970 (UTC), clamped to the
    // years DOS times can hold (1980..2107).
    static uint32_t DosTime(int64_t unixSeconds);
    // Converts "/" to "\" and checks that name is relative, has no empty, "." or ".."
    // component and fits the length limit. False with out untouched when it does not.
    static bool NormalizeName(std::string_view name, std::string& out);

private:
    int EnsureParents(const std::string& name, uint32_t dosTime);
    int AddDirectoryNormalized(const std::string& name, uint32_t dosTime);
    void AppendHeader(const std::string& name, uint16_t flags, uint32_t packedSize, uint32_t size, uint32_t crc,
                      uint32_t dosTime, uint8_t method, uint32_t attributes);
    bool Claim(const std::string& name);
    bool CheckParents(const std::string& name);
    void KeepBeforeRun(size_t entryStart);

    Options options_;
    std::unique_ptr<Rar2Encoder> encoder_;
    bool solidStarted_ = false;
    size_t runStart_ = 0; // where the solid run's first entry begins
    std::vector<uint8_t> bytes_;
    std::set<std::string> names_;  // upper-cased, as readers compare names
    std::set<std::string> dirs_;   // the directories among them
    std::string error_;
};

} // namespace nuv
