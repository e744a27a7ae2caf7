#pragma once

#include "media/image/Image.h"

namespace nuv {

// A stack of equally sized pictures: the six faces of a cube map or the slices of a volume.
// Slices follow one another in the pixel block, each laid out like an Image.
class VolumeImage : public Image {
    NUV_DECLARE_OBJECT
public:
    VolumeImage() = default;
    // Allocates the pixel block, uninitialised; on failure logs it and keeps no pixels.
    VolumeImage(const String& name, int width, int height, int format, int depth);

    int GetDepth() const { return depth_; }
    int GetDataSize() const override;
    // Bytes of one slice.
    int GetSliceSize() const { return Image::GetDataSize(); }

    int Save(Stream& stream) override;
    int Load(Stream& stream) override;

    void AdoptPixels(int width, int height, int format, std::unique_ptr<uint8_t[]> pixels) override;
    void AdoptSlices(int width, int height, int format, int depth, std::unique_ptr<uint8_t[]> pixels);

private:
    int32_t depth_ = 0;
};

} // namespace nuv
