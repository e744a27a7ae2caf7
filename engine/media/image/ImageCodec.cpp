#include "media/image/ImageCodec.h"

#include "core/Log.h"
#include "core/Status.h"
#include "media/File.h"
#include "media/image/Image.h"

#include <new>

namespace nuv {

Image* ImageCodec::CreateImage() {
    return new (std::nothrow) Image;
}

int ImageCodec::Load(File* file, Pointer<Object>& out) {
    if (!file) return kStatusNotFound;
    if (!out) {
        out = CreateImage();
        if (!out) return kStatusNoMemory;
    }
    auto* image = DynamicCast<Image>(out.Get());
    if (!image) return kStatusNotFound;
    return LoadImage(file, *image);
}

int ImageCodec::Save(File* file, Object* object) {
    auto* image = DynamicCast<Image>(object);
    if (!file || !image) return kStatusFailed;
    return SaveImage(file, *image);
}

int ImageCodec::LoadImage(File* file, Image& image) {
    if (!file) return kStatusNotFound;
    if (file->Open(File::kRead) != kStatusOk) return kStatusFailed;
    const int status = Decode(file->GetData(), file->GetSize(), image, file->GetName().GetText());
    file->Close();
    return status;
}

int ImageCodec::SaveImage(File* file, const Image& image) {
    if (!file) return kStatusFailed;
    std::vector<uint8_t> bytes;
    if (const int status = Encode(image, bytes); status != kStatusOk) return status;
    if (file->Open(File::kWrite) != kStatusOk) return kStatusFailed;
    const int written = bytes.empty() ? 0 : file->Write(bytes.data(), int(bytes.size()));
    const int closed = file->Close();
    return written == kStatusOk && closed == kStatusOk ? kStatusOk : kStatusFailed;
}

} // namespace nuv
