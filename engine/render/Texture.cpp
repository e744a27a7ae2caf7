#include "render/Texture.h"

#include "core/Log.h"
#include "core/Stream.h"
#include "media/image/Image.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(Texture, BaseTexture)

Texture::Texture() = default;

Texture::~Texture() = default;

void Texture::SetImage(Image* image) {
    if (image_ == image) return;
    ReleaseDeviceTexture();
    image_ = image;
    SetMipmapLevels(0);
    GetResourceLink().dirty = 1;
}

int Texture::Save(Stream& stream) {
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

int Texture::Load(Stream& stream) {
    if (BaseTexture::Load(stream) != 0) {
        LogError("Невозможно загрузить родительские данные. ID[%d]", GetId());
        return 1;
    }
    Image* image = nullptr;
    if (stream.ReadObjectAs(image) != 0) {
        LogError("Невозможно загрузить изображение текстуры. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return 1;
    }
    SetImage(image);
    LogInfo("Текстура [%s] загружена.", GetName().GetText());
    return 0;
}

} // namespace nuv
