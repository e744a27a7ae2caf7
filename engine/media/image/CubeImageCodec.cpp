#include "media/image/CubeImageCodec.h"

#include "core/Log.h"
#include "core/Status.h"
#include "media/image/TgaImageCodec.h"
#include "media/image/VolumeImage.h"

#include <cstring>

namespace nuv {

namespace {

const detail::CodecModule<CubeImageCodec> gModule;

} // namespace

CubeImageCodec::CubeImageCodec() : ImageCodec(kName) {
    AddExtension("CUBE");
    AddExtension("cube");
    AddExtension("Cube");
}

Image* CubeImageCodec::CreateImage() {
    return new (std::nothrow) VolumeImage;
}

int CubeImageCodec::Decode(const uint8_t* bytes, int size, Image& image, const char* name) {
    auto* volume = DynamicCast<VolumeImage>(&image);
    if (!volume) {
        LogWarning("Изображение [%s] не является объёмным изображением.", image.GetName().GetText());
        return kStatusFailed;
    }
    if (!bytes) return kStatusFailed;
    // Each face is decoded on its own; joining them needs them all of one size and format,
    // or the block would not be a cube map.
    Image faces[kFaces];
    int offset = 0;
    for (int i = 0; i < kFaces; ++i) {
        int used = 0;
        if (const int status = TgaImageCodec::DecodePicture(bytes + offset, size - offset, faces[i], name, used);
            status != kStatusOk)
            return status;
        offset += used;
        if (faces[i].GetWidth() != faces[0].GetWidth() || faces[i].GetHeight() != faces[0].GetHeight() ||
            faces[i].GetFormat() != faces[0].GetFormat()) {
            LogWarning("Грани кубической карты различаются размером или форматом в файле [%s].", name);
            return kStatusFailed;
        }
    }
    const int64_t slice = faces[0].GetDataSize();
    std::unique_ptr<uint8_t[]> pixels = Image::AllocatePixels(slice * kFaces);
    if (!pixels) {
        LogWarning("Недостаточно памяти для изображения из файла [%s].", name);
        return kStatusNoMemory;
    }
    for (int i = 0; i < kFaces; ++i) std::memcpy(pixels.get() + slice * i, faces[i].GetPixels(), size_t(slice));
    volume->AdoptSlices(faces[0].GetWidth(), faces[0].GetHeight(), faces[0].GetFormat(), kFaces, std::move(pixels));
    return kStatusOk;
}

int CubeImageCodec::Encode(const Image& image, std::vector<uint8_t>& bytes) {
    const auto* volume = DynamicCast<VolumeImage>(&image);
    if (!volume || volume->GetDepth() != kFaces || !volume->HasPixels()) return kStatusFailed;
    const int format = volume->GetFormat();
    const int width = volume->GetWidth();
    const int height = volume->GetHeight();
    if ((format != Image::kRgb && format != Image::kRgba) || width <= 0 || height <= 0 || width > 65535 ||
        height > 65535)
        return kStatusFailed;
    try {
        bytes.clear();
        bytes.reserve(size_t(TgaImageCodec::PictureSize(width, height, format) * kFaces));
    } catch (const std::bad_alloc&) {
        return kStatusNoMemory;
    }
    const int64_t slice = volume->GetSliceSize();
    for (int i = 0; i < kFaces; ++i)
        TgaImageCodec::AppendPicture(volume->GetPixels() + slice * i, width, height, format, bytes);
    return kStatusOk;
}

} // namespace nuv
