#include "render/VolumeTexture.h"

#include "core/Log.h"
#include "core/Stream.h"
#include "media/image/VolumeImage.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(VolumeTexture, BaseTexture)

VolumeTexture::VolumeTexture() = default;

VolumeTexture::~VolumeTexture() = default;

void VolumeTexture::SetImage(VolumeImage* image) {
    if (image_ == image) return;
    ReleaseDeviceTexture();
    image_ = image;
    SetMipmapLevels(0);
    GetResourceLink().dirty = 1;
}

int VolumeTexture::Save(Stream& stream) {
    if (BaseTexture::Save(stream) != 0) {
        LogError("Невозможно сохранить родительские данные. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return 1;
    }
    if (stream.WriteObject(image_.Get()) != 0) {
        LogError("Невозможно сохранить изображение текстуры. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return 1;
    }
    return 0;
}

int VolumeTexture::Load(Stream& stream) {
    if (BaseTexture::Load(stream) != 0) {
        LogError("Невозможно загрузить родительские данные. ID[%d]", GetId());
        return 1;
    }
    VolumeImage* image = nullptr;
    if (stream.ReadObjectAs(image) != 0) {
        LogError("Невозможно загрузить изображение текстуры. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return 1;
    }
    SetImage(image);
    LogInfo("Текстура [%s] загружена.", GetName().GetText());
    return 0;
}

void VolumeTexture::MarkDirty() {
    GetResourceLink().dirty = 1;
}

} // namespace nuv
