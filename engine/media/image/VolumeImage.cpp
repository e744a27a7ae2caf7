#include "media/image/VolumeImage.h"

#include "core/Log.h"
#include "core/Status.h"

#include <climits>

namespace nuv {

NUV_IMPLEMENT_OBJECT(VolumeImage, Image)

VolumeImage::VolumeImage(const String& name, int width, int height, int format, int depth) {
    SetName(name);
    width_ = width;
    height_ = height;
    format_ = format;
    depth_ = depth;
    pixels_ = AllocatePixels(GetDataSize());
    if (!pixels_) LogError("Недостаточно памяти для создания изображения. ID[%d] Имя[%s]", GetId(), GetName().GetText());
}

int VolumeImage::GetDataSize() const {
    const int64_t size = int64_t(Image::GetDataSize()) * depth_;
    return size > 0 && size <= INT_MAX ? int(size) : 0;
}

void VolumeImage::AdoptPixels(int width, int height, int format, std::unique_ptr<uint8_t[]> pixels) {
    AdoptSlices(width, height, format, 1, std::move(pixels));
}

void VolumeImage::AdoptSlices(int width, int height, int format, int depth, std::unique_ptr<uint8_t[]> pixels) {
    Image::AdoptPixels(width, height, format, std::move(pixels));
    depth_ = depth;
}

int VolumeImage::Save(Stream& stream) {
    return SaveFields(stream, true, depth_);
}

int VolumeImage::Load(Stream& stream) {
    int depth = 1;
    if (const int status = LoadFields(stream, true, depth); status != 0) return status;
    // Without a file the stream gave the depth; a file's codec has set it already.
    if (fileName_.IsEmpty()) depth_ = depth;
    return kStatusOk;
}

} // namespace nuv
