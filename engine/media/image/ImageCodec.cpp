#include "media/image/ImageCodec.h"

#include "core/Log.h"
#include "media/File.h"
#include "media/image/Image.h"

#include <new>

namespace nuv {

Image* ImageCodec::CreateImage() {
    return new (std::nothrow) Image;
}

int ImageCodec::Load(File* file, Pointer<Object>& out) {
    if (!file) return 3;
    if (!out) {
        out = CreateImage();
        if (!out) return 2;
    }
    auto* image = DynamicCast<Image>(out.Get());
    if (!image) return 3;
    return LoadImage(file, *image);
}

int ImageCodec::Save(File* file, Object* object) {
    auto* image = DynamicCast<Image>(object);
    if (!file || !image) return 1;
    return SaveImage(file, *image);
}

int ImageCodec::LoadImage(File* file, Image& image) {
    if (!file) return 3;
    if (file->Open(File::kRead) != 0) return 1;
    const int status = Decode(file->GetData(), file->GetSize(), image, file->GetName().GetText());
    file->Close();
    return status;
}

int ImageCodec::SaveImage(File* file, const Image& image) {
    if (!file) return 1;
    std::vector<uint8_t> bytes;
    if (const int status = Encode(image, bytes); status != 0) return status;
    if (file->Open(File::kWrite) != 0) return 1;
    const int written = bytes.empty() ? 0 : file->Write(bytes.data(), int(bytes.size()));
    const int closed = file->Close();
    return written == 0 && closed == 0 ? 0 : 1;
}

} // namespace nuv
