#include "render/BaseTexture.h"

#include "core/Log.h"
#include "core/Stream.h"
#include "render/Renderer.h"

namespace nuv {

NUV_IMPLEMENT_ABSTRACT_OBJECT(BaseTexture, Object)

BaseTexture::BaseTexture() = default;

BaseTexture::~BaseTexture() {
    ReleaseDeviceTexture();
}

void BaseTexture::ReleaseDeviceTexture() {
    // Only renderers link themselves into textures.
    if (link_.renderer) static_cast<Renderer&>(*link_.renderer).ReleaseTexture(*this);
}

int BaseTexture::Save(Stream& stream) {
    if (Object::Save(stream) != 0) {
        LogError("Невозможно сохранить родительские данные. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return 1;
    }
    if (stream.WriteInt(mipmapLevels_) != 0) {
        LogError("Невозможно сохранить количество мип-мэпов текстуры. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return 1;
    }
    return 0;
}

int BaseTexture::Load(Stream& stream) {
    if (Object::Load(stream) != 0) {
        LogError("Невозможно загрузить родительские данные. ID[%d]", GetId());
        return 1;
    }
    int32_t levels = 0;
    if (stream.ReadInt(levels) != 0) {
        LogError("Невозможно загрузить количество мип-мэпов текстуры. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return 1;
    }
    mipmapLevels_ = 0;
    return 0;
}

void BaseTexture::ImageReplaced() {
    SetMipmapLevels(0);
    link_.dirty = 1;
}

int BaseTexture::SaveWithImage(Stream& stream, Object* image) {
    if (BaseTexture::Save(stream) != 0) {
        LogError("Невозможно сохранить родительские данные. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return 1;
    }
    if (stream.WriteObject(image) != 0) {
        LogError("Невозможно сохранить изображение текстуры. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return 1;
    }
    return 0;
}

int BaseTexture::LoadLogged(Stream& stream) {
    if (BaseTexture::Load(stream) != 0) {
        LogError("Невозможно загрузить родительские данные. ID[%d]", GetId());
        return 1;
    }
    return 0;
}

int BaseTexture::ImageLinkLoaded(int status) {
    if (status != 0) {
        LogError("Невозможно загрузить изображение текстуры. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return 1;
    }
    return 0;
}

} // namespace nuv
