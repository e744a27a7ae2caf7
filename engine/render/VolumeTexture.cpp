#include "render/VolumeTexture.h"

#include "core/LinkVisitor.h"
#include "core/Log.h"
#include "core/Stream.h"
#include "media/image/VolumeImage.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(VolumeTexture, BaseTexture)

VolumeTexture::VolumeTexture() = default;

VolumeTexture::~VolumeTexture() = default;

void VolumeTexture::SetImage(VolumeImage* image) {
    ReplaceImage(image_, image);
}

int VolumeTexture::Save(Stream& stream) {
    return SaveWithImage(stream, image_.Get());
}

int VolumeTexture::Load(Stream& stream) {
    VolumeImage* image = nullptr;
    if (const int status = LoadWithImage(stream, image); status != 0) return status;
    SetImage(image);
    LogInfo("Текстура [%s] загружена.", GetName().GetText());
    return kStatusOk;
}

void VolumeTexture::MarkDirty() {
    GetResourceLink().dirty = 1;
}

void VolumeTexture::VisitLinks(LinkVisitor& visitor) {
    BaseTexture::VisitLinks(visitor);
    if (visitor.Refuses(*this, image_)) SetImage(nullptr);
}

} // namespace nuv
