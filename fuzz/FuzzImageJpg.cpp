// Decodes arbitrary bytes as a JPEG file: library errors must come back as a status, and a
// picture that decodes must encode again.
#include "media/image/Image.h"
#include "media/image/JpgImageCodec.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    nuv::JpgImageCodec codec;
    nuv::Pointer<nuv::Image> image = new nuv::Image;
    if (codec.Decode(data, int(size), *image, "fuzz") != 0) return 0;
    const int bpp = nuv::Image::GetBytesPerPixel(image->GetFormat());
    if (image->GetDataSize() != bpp * image->GetWidth() * image->GetHeight() || !image->HasPixels()) __builtin_trap();
    // Encoding big pictures would only slow the search down.
    if (image->GetDataSize() <= (1 << 16)) {
        std::vector<uint8_t> file;
        if (codec.Encode(*image, file) != 0) __builtin_trap();
    }
    return 0;
}
