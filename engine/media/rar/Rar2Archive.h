#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nuv {

// One entry of a RAR 2.0 archive listing, as stored in its file header.
struct Rar2Entry {
    std::string name;          // as stored, "\" between path components
    std::string packedUnicodeName; // the bytes after the name's zero byte (flag 0x200): its Unicode form, packed
    uint16_t flags = 0;        // 0x04 encrypted, 0x10 solid, 0xE0 directory, 0x8000 data follows
    uint32_t packedSize = 0;
    uint32_t unpackedSize = 0;
    uint8_t hostOs = 0;
    uint32_t fileCrc = 0;
    uint32_t fileTime = 0;     // DOS date and time
    uint8_t unpackVersion = 0;
    uint8_t method = 0;        // 0x30 stored, 0x31..0x35 compressed
    uint32_t attributes = 0;   // 0x10 directory
    size_t dataOffset = 0;     // offset of the packed bytes in the archive
    size_t dataSize = 0;       // packed bytes actually present (less than packedSize when truncated)
    bool headerCrcOk = true;   // the stored header CRC matches; extraction does not depend on it

    // Attribute 0x10 means a directory only for DOS-family hosts (0..2); the other hosts
    // store the Unix file mode, where 0x10 is group write and a directory is 0x4000.
    bool IsDirectory() const {
        return (flags & 0xE0) == 0xE0 || (hostOs <= 2 ? (attributes & 0x10) != 0 : (attributes & 0xF000) == 0x4000);
    }
    bool IsEncrypted() const { return (flags & 0x04) != 0; }
    bool IsSolid() const { return (flags & 0x10) != 0; }
    // Continued from a previous volume (0x01) or in the next one (0x02): data incomplete here.
    bool IsSplit() const { return (flags & 0x03) != 0; }
};

// Why an extraction produced no data.
enum class Rar2Result {
    Ok,
    NotFound,            // no entry of that name, or not an archive
    IsDirectory,         // the entry is a directory and has no data
    UnsupportedVersion,  // unpack version outside 13..20, or a method this decoder does not know
    MissingPassword,     // encrypted entry and no password given
    Truncated,           // packed data runs past the end of the archive
    CorruptData,         // the compressed stream is malformed
    CrcMismatch,         // decoded bytes do not match the stored CRC-32 (also: wrong password)
    TooLarge,            // the declared size is beyond what this decoder accepts
};

// Reads a RAR 2.0 archive that is held in memory. The archive bytes are borrowed and
// must outlive this object. Nothing is written anywhere; every result is in memory.
class Rar2Archive {
public:
    Rar2Archive(const uint8_t* data, size_t size);
    ~Rar2Archive();
    Rar2Archive(const Rar2Archive&) = delete;
    Rar2Archive& operator=(const Rar2Archive&) = delete;

    // True when the marker and the main header were read.
    bool IsOpen() const;
    // Main header flag 0x08.
    bool IsSolid() const;
    // The entries in archive order (empty when the archive could not be opened).
    const std::vector<Rar2Entry>& GetEntries() const;

    // Decodes entry index into out (replaced), verifying its CRC-32. In a solid archive the
    // entries before it are decoded too. On failure out is empty.
    Rar2Result Extract(size_t index, std::string_view password, std::vector<uint8_t>& out);
    // Extract() for the first entry whose name matches (see NamesMatch).
    Rar2Result ExtractByName(std::string_view name, std::string_view password, std::vector<uint8_t>& out);
    // Decodes every entry once, in archive order (cheap for solid archives), and calls
    // visit(index, result, bytes) for each; directories are visited with IsDirectory.
    // keepBytes false checks every entry (its CRC included) but visits with no bytes.
    template <class Visitor> void ExtractAll(std::string_view password, Visitor&& visit, bool keepBytes = true);

    // Names match when they are equal after both are cut to 512 characters, "\" and "/" are
    // replaced by "_", and letters are made upper case.
    static bool NamesMatch(std::string_view a, std::string_view b);
    // A short English description of a result, for tools and messages.
    static const char* Describe(Rar2Result result);

private:
    class Impl;
    Impl* impl_;
    Rar2Result ExtractNext(size_t index, std::string_view password, std::vector<uint8_t>& out, bool keepBytes);
    void BeginSequence();
};

template <class Visitor>
void Rar2Archive::ExtractAll(std::string_view password, Visitor&& visit, bool keepBytes) {
    BeginSequence();
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < GetEntries().size(); ++i) {
        Rar2Result r = ExtractNext(i, password, bytes, keepBytes);
        visit(i, r, bytes);
    }
}

} // namespace nuv
