#pragma once

#include "media/image/ImageCodec.h"

namespace nuv {

// "CUBEImageCodec": the six faces of a cube map as six TGA pictures one after another, loaded
// into a VolumeImage of depth 6 (slice i = picture i).
class CubeImageCodec : public ImageCodec {
public:
    static constexpr const char* kName = "CUBEImageCodec";
    static constexpr int kFaces = 6;

    CubeImageCodec();

    // image must be a VolumeImage (1 otherwise). Every picture must be a TGA picture the TGA
    // codec reads, all of one size and format.
    int Decode(const uint8_t* bytes, int size, Image& image, const char* name) override;
    // A VolumeImage of depth 6 in format 0 or 1; 1 for anything else; 2 without memory.
    int Encode(const Image& image, std::vector<uint8_t>& bytes) override;

protected:
    Image* CreateImage() override;
};

} // namespace nuv
