#include "render/BaseTexture.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
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
    FieldWriter out(stream, *this);
    out.Parent(Object::Save(stream))
        .Int(mipmapLevels_, "Невозможно сохранить количество мип-мэпов текстуры. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int BaseTexture::Load(Stream& stream) {
    FieldReader in(stream, *this);
    int32_t levels = 0;
    if (in.Parent(Object::Load(stream))
            .Int(levels, "Невозможно загрузить количество мип-мэпов текстуры. ID[%d] Имя[%s]"))
        mipmapLevels_ = 0;
    return in.GetStatus();
}

void BaseTexture::ImageReplaced() {
    SetMipmapLevels(0);
    link_.dirty = 1;
}

int BaseTexture::SaveWithImage(Stream& stream, Object* image) {
    FieldWriter out(stream, *this);
    out.Parent(BaseTexture::Save(stream)).Link(image, "Невозможно сохранить изображение текстуры. Имя[%s] ID[%d]");
    return out.GetStatus();
}

} // namespace nuv
