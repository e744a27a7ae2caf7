#pragma once

#include "media/image/ImageCodec.h"

namespace nuv {

// "TGAImageCodec": true-colour Targa pictures, raw (type 2) and run-length (type 10), 24-bit
// (format 0) and 32-bit (format 1).
class TgaImageCodec : public ImageCodec {
public:
    static constexpr const char* kName = "TGAImageCodec";

    TgaImageCodec();

    int Decode(const uint8_t* bytes, int size, Image& image, const char* name) override;
    // Formats 0 and 1; 3 for the others.
    int Encode(const Image& image, std::vector<uint8_t>& bytes) override;

    // One picture from the start of bytes; used receives the bytes it took (pictures follow
    // one another in a cube file). 0; 1 for a bad picture; 2 without memory.
    static int DecodePicture(const uint8_t* bytes, int size, Image& image, const char* name, int& used);
    // Appends one picture of width x height pixels in format 0 or 1, rows bottom to top.
    static void AppendPicture(const uint8_t* pixels, int width, int height, int format, std::vector<uint8_t>& bytes);
    // Bytes AppendPicture adds.
    static int64_t PictureSize(int width, int height, int format);
};

} // namespace nuv
