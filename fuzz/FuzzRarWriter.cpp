// Packs arbitrary files with the RAR 2.0 writer, then unpacks the archive with our decoder: every
// file the writer accepted must come back with exactly its bytes, name and CRC, whatever the mode
// (stored, compressed, solid, audio with 1 to 4 channels) and the encoder's search settings.
// Input: one byte of options, one of search depth, then entries of
//   [name length][name][size, 2 bytes little-endian][bytes]   (name length 0: a directory follows)
#include "media/rar/Crc32.h"
#include "media/rar/Rar2Archive.h"
#include "media/rarwriter/Rar2Writer.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace nuv;

// The writer's names compare as readers compare them.
std::string Key(const std::string& name) {
    std::string key;
    for (char c : name) key += c == '/' ? '\\' : (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
    return key;
}

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > (1u << 20)) return 0;
    const uint8_t options = data[0];
    Rar2Writer::Options settings;
    settings.store = (options & 0x01) != 0;
    settings.solid = (options & 0x02) != 0;
    settings.audio = (options & 0x04) != 0;
    settings.audioChannels = 1 + ((options >> 3) & 3);
    settings.encoder.audio = settings.audio;
    settings.encoder.channels = settings.audioChannels;
    settings.encoder.maxChain = 1 + (data[1] & 0x7F);
    settings.encoder.niceLength = 3 + (options >> 5) * 40;
    Rar2Writer writer(settings);

    std::map<std::string, std::vector<uint8_t>> files;  // by reader key: the bytes accepted
    size_t at = 2;
    while (at < size) {
        size_t nameLength = data[at++];
        const bool directory = nameLength == 0;
        if (directory) {
            if (at >= size) break;
            nameLength = data[at++];
        }
        if (nameLength > size - at) break;
        const std::string name(reinterpret_cast<const char*>(data + at), nameLength);
        at += nameLength;
        if (directory) {
            writer.AddDirectory(name, 0);
            continue;
        }
        size_t length = 0;
        if (size - at >= 2) {
            length = data[at] | size_t(data[at + 1]) << 8;
            at += 2;
        }
        if (length > size - at) length = size - at;
        const uint8_t* bytes = data + at;
        at += length;
        std::string normalized;
        const bool valid = Rar2Writer::NormalizeName(name, normalized);
        const size_t before = writer.GetBytes().size();
        if (writer.AddFile(name, bytes, length, 0x5B886B20) == 0) {
            Check(valid);
            files[Key(normalized)] = std::vector<uint8_t>(bytes, bytes + length);
        } else {
            // A refused file leaves the archive as it was.
            Check(writer.GetBytes().size() == before && !writer.LastError().empty());
        }
    }

    const std::vector<uint8_t>& archiveBytes = writer.GetBytes();
    Rar2Archive archive(archiveBytes.data(), archiveBytes.size());
    Check(archive.IsOpen());
    size_t seen = 0;
    archive.ExtractAll("", [&](size_t index, Rar2Result result, const std::vector<uint8_t>& out) {
        const Rar2Entry& entry = archive.GetEntries()[index];
        Check(entry.headerCrcOk);
        if (result == Rar2Result::IsDirectory) {
            Check(entry.IsDirectory());
            return;
        }
        Check(result == Rar2Result::Ok);
        const auto file = files.find(Key(entry.name));
        Check(file != files.end());
        Check(out == file->second);
        Check(entry.fileCrc == Crc32::Compute(out.data(), out.size()));
        Check(entry.unpackedSize == out.size());
        ++seen;
    });
    Check(seen == files.size());
    // One entry on its own decodes the same, solid or not.
    if (!files.empty()) {
        const size_t last = archive.GetEntries().size() - 1;
        std::vector<uint8_t> out;
        if (!archive.GetEntries()[last].IsDirectory()) {
            Check(archive.Extract(last, "", out) == Rar2Result::Ok);
            Check(out == files[Key(archive.GetEntries()[last].name)]);
        }
    }
    return 0;
}
