#include "render/TextureEffect.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
#include "core/Stream.h"
#include "render/BasicEffectPass.h"
#include "render/CapsTechnique.h"
#include "render/Texture.h"

#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(TextureEffect, ColorEffect)

TextureEffect::TextureEffect() : ColorEffect(NoTechniques{}) {
    AddTextureTechniques();
}

TextureEffect::~TextureEffect() = default;

void TextureEffect::AddTextureTechniques(bool withFixed) {
    AddSinglePass(new (std::nothrow) CapsTechnique(&CapsTechnique::HasPrograms),
                  new (std::nothrow) BasicEffectPass(this, BasicEffectPass::kTexture, true));
    if (withFixed)
        AddSinglePass(new (std::nothrow) CapsTechnique(&CapsTechnique::Always),
                      new (std::nothrow) BasicEffectPass(this, BasicEffectPass::kTexture, false));
    AddColorTechniques(withFixed);
}

Object* TextureEffect::FindByName(const String& name) {
    if (Object* found = ColorEffect::FindByName(name)) return found;
    return FindIn(texture_.Get(), name);
}

void TextureEffect::CollectByType(const Rtti& type, Array<Object*>& found) {
    ColorEffect::CollectByType(type, found);
    CollectIn(texture_.Get(), type, found);
}

int TextureEffect::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Follow(ColorEffect::Save(stream))
        .Link(texture_.Get(), "Невозможно сохранить текстуру. Имя[%s] ID[%d]")
        .Int(texCoordSet_, "Невозможно сохранить номер набора текстурных координат. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int TextureEffect::Load(Stream& stream) {
    FieldReader in(stream, *this);
    in.Follow(ColorEffect::Load(stream))
        .Link(texture_, "Невозможно загрузить текстуру. ID[%d] Имя[%s]")
        .Int(texCoordSet_, "Невозможно загрузить номер набора текстурных координат. ID[%d] Имя[%s]");
    return in.GetStatus();
}

void TextureEffect::VisitLinks(LinkVisitor& visitor) {
    ColorEffect::VisitLinks(visitor);
    if (visitor.Refuses(*this, texture_)) SetTexture(nullptr);
}

} // namespace nuv
