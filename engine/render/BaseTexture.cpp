#include "render/BaseTexture.h"

#include "core/Log.h"
#include "core/Renderer.h"
#include "core/Stream.h"

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

} // namespace nuv
