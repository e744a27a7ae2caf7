#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nuv {

class Image;

// Collects the files of one media archive, writes them to a staging folder for
// inspection and packs them with the RAR 2.0 writer. Entries keep the order they were added
// in and every entry gets the same time stamp, so the same files give the same archive.
class MediaPacker {
public:
    // 2026-01-01 00:00 UTC: the archives' one time stamp.
    static constexpr int64_t kTimeStamp = 1767225600;

    // Status 0; 1 when the name is empty or already taken.
    int AddFile(const std::string& name, std::vector<uint8_t> bytes);
    // Encodes the image by the name's extension (tga, bmp, jpg). 0; 1 when the extension
    // has no codec here or encoding fails.
    int AddImage(const std::string& name, const Image& image);

    // Writes every entry below folder ("/" in names becomes a subfolder). 0 or 1.
    int WriteStaging(const std::string& folder) const;
    // The archive's bytes; 0, or 1 with error set.
    int Pack(std::vector<uint8_t>& archive, std::string& error) const;

    size_t GetCount() const { return entries_.size(); }
    const std::string& GetName(size_t index) const { return entries_[index].name; }

private:
    struct Entry {
        std::string name;
        std::vector<uint8_t> bytes;
    };
    std::vector<Entry> entries_;
};

} // namespace nuv
