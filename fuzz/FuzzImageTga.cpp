// Decodes arbitrary bytes as a TGA file; a picture that decodes must survive our own encoder
// and decoder unchanged.
#include "media/image/TgaImageCodec.h"
#include "media/image/Image.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24)) return 0;
    nuv::TgaImageCodec codec;
    nuv::Pointer<nuv::Image> image = new nuv::Image;
    if (codec.Decode(data, int(size), *image, "fuzz") != 0) return 0;
    const int bytes = image->GetDataSize();
    if (bytes <= 0 || !image->HasPixels()) __builtin_trap();
    std::vector<uint8_t> file;
    if (codec.Encode(*image, file) != 0) __builtin_trap();
    nuv::Pointer<nuv::Image> back = new nuv::Image;
    if (codec.Decode(file.data(), int(file.size()), *back, "again") != 0) __builtin_trap();
    if (back->GetDataSize() != bytes || back->GetFormat() != image->GetFormat() ||
        std::memcmp(back->GetPixels(), image->GetPixels(), size_t(bytes)) != 0)
        __builtin_trap();
    return 0;
}
