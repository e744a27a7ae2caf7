#pragma once

#include "media/image/ImageCodec.h"

namespace nuv {

// "BMPImageCodec": uncompressed Windows bitmaps, 24-bit (format 0) and 8-bit (format 2).
class BmpImageCodec : public ImageCodec {
public:
    static constexpr const char* kName = "BMPImageCodec";

    BmpImageCodec();

    int Decode(const uint8_t* bytes, int size, Image& image, const char* name) override;
    // Formats 0 and 2; 3 for the others.
    int Encode(const Image& image, std::vector<uint8_t>& bytes) override;
};

} // namespace nuv
