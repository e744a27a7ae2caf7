#pragma once

#include "media/image/ImageCodec.h"

namespace nuv {

// "JPGImageCodec": JPEG through libjpeg (interface 62), decoded straight from the file's bytes
// in memory and encoded into memory.
class JpgImageCodec : public ImageCodec {
public:
    static constexpr const char* kName = "JPGImageCodec";
    static constexpr int kQuality = 50;

    JpgImageCodec();

    // Three components give format 0, one component format 2. A library error is logged as a
    // warning "code text" and gives 1; so do data that end before the last row.
    int Decode(const uint8_t* bytes, int size, Image& image, const char* name) override;
    // Format 0 in colour and format 2 in grey; 3 for the others.
    int Encode(const Image& image, std::vector<uint8_t>& bytes) override;
};

} // namespace nuv
