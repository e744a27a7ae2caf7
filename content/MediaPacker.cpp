#include "content/MediaPacker.h"

#include "core/Status.h"
#include "media/image/BmpImageCodec.h"
#include "media/image/Image.h"
#include "media/image/TgaImageCodec.h"
#include "media/rarwriter/Rar2Writer.h"
#if NUV_HAVE_JPEG
#include "media/image/JpgImageCodec.h"
#endif

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace nuv {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

} // namespace

int MediaPacker::AddFile(const std::string& name, std::vector<uint8_t> bytes) {
    if (name.empty()) return kStatusFailed;
    for (const Entry& entry : entries_)
        if (Lower(entry.name) == Lower(name)) return kStatusFailed;
    entries_.push_back({name, std::move(bytes)});
    return kStatusOk;
}

int MediaPacker::AddImage(const std::string& name, const Image& image) {
    const size_t dot = name.find_last_of('.');
    const std::string extension = dot == std::string::npos ? std::string() : Lower(name.substr(dot + 1));
    std::vector<uint8_t> bytes;
    int status = 1;
    if (extension == "tga") {
        TgaImageCodec codec;
        status = codec.Encode(image, bytes);
    } else if (extension == "bmp") {
        BmpImageCodec codec;
        status = codec.Encode(image, bytes);
#if NUV_HAVE_JPEG
    } else if (extension == "jpg") {
        JpgImageCodec codec;
        status = codec.Encode(image, bytes);
#endif
    }
    if (status != 0 || bytes.empty()) return kStatusFailed;
    return AddFile(name, std::move(bytes));
}

int MediaPacker::WriteStaging(const std::string& folder) const {
    namespace fs = std::filesystem;
    std::error_code error;
    for (const Entry& entry : entries_) {
        const fs::path path = fs::path(folder) / fs::path(entry.name);
        fs::create_directories(path.parent_path(), error);
        if (error) return kStatusFailed;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(entry.bytes.data()), std::streamsize(entry.bytes.size()));
        if (!out) return kStatusFailed;
    }
    return kStatusOk;
}

int MediaPacker::Pack(std::vector<uint8_t>& archive, std::string& error) const {
    Rar2Writer writer;
    const uint32_t time = Rar2Writer::DosTime(kTimeStamp);
    for (const Entry& entry : entries_) {
        if (writer.AddFile(entry.name, entry.bytes.data(), entry.bytes.size(), time) != 0) {
            error = entry.name + ": " + writer.LastError();
            return kStatusFailed;
        }
    }
    archive = writer.GetBytes();
    return kStatusOk;
}

} // namespace nuv
