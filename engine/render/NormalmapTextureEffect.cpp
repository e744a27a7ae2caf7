#include "render/NormalmapTextureEffect.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
#include "core/Stream.h"
#include "render/BasicEffectPass.h"
#include "render/CapsTechnique.h"
#include "render/Texture.h"

#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(NormalmapTextureEffect, TextureEffect)

NormalmapTextureEffect::NormalmapTextureEffect() : TextureEffect(NoTechniques{}) {
    AddNormalmapTechniques();
}

NormalmapTextureEffect::~NormalmapTextureEffect() = default;

Object* NormalmapTextureEffect::FindByName(const String& name) {
    if (Object* found = TextureEffect::FindByName(name)) return found;
    return FindIn(normalmap_.Get(), name);
}

void NormalmapTextureEffect::CollectByType(const Rtti& type, Array<Object*>& found) {
    TextureEffect::CollectByType(type, found);
    CollectIn(normalmap_.Get(), type, found);
}

// The second texture is stored like the first, with the same messages.
int NormalmapTextureEffect::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Follow(TextureEffect::Save(stream))
        .Link(normalmap_.Get(), "Невозможно сохранить текстуру. Имя[%s] ID[%d]")
        .Int(normalmapSet_, "Невозможно сохранить номер набора текстурных координат. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int NormalmapTextureEffect::Load(Stream& stream) {
    FieldReader in(stream, *this);
    in.Follow(TextureEffect::Load(stream))
        .Link(normalmap_, "Невозможно загрузить текстуру. ID[%d] Имя[%s]")
        .Int(normalmapSet_, "Невозможно загрузить номер набора текстурных координат. ID[%d] Имя[%s]");
    return in.GetStatus();
}

void NormalmapTextureEffect::VisitLinks(LinkVisitor& visitor) {
    TextureEffect::VisitLinks(visitor);
    if (visitor.Refuses(*this, normalmap_)) SetNormalmap(nullptr);
}

} // namespace nuv
