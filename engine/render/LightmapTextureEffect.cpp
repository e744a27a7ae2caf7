#include "render/LightmapTextureEffect.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
#include "core/Stream.h"
#include "render/BasicEffectPass.h"
#include "render/CapsTechnique.h"
#include "render/Texture.h"

#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(LightmapTextureEffect, TextureEffect)

namespace {
bool ProgramsAndTwoTextures(const RendererCaps& caps) {
    return CapsTechnique::HasPrograms(caps) && caps.textureUnits >= 2;
}
} // namespace

LightmapTextureEffect::LightmapTextureEffect() : TextureEffect(NoTechniques{}) {
    AddSinglePass(new (std::nothrow) CapsTechnique(&ProgramsAndTwoTextures),
                  new (std::nothrow) BasicEffectPass(this, BasicEffectPass::kLightmap, true));
    AddSinglePass(new (std::nothrow) CapsTechnique(&CapsTechnique::Always),
                  new (std::nothrow) BasicEffectPass(this, BasicEffectPass::kLightmap, false));
    AddTextureTechniques();
}

LightmapTextureEffect::~LightmapTextureEffect() = default;

Object* LightmapTextureEffect::FindByName(const String& name) {
    if (Object* found = TextureEffect::FindByName(name)) return found;
    return FindIn(lightmap_.Get(), name);
}

void LightmapTextureEffect::CollectByType(const Rtti& type, Array<Object*>& found) {
    TextureEffect::CollectByType(type, found);
    CollectIn(lightmap_.Get(), type, found);
}

// The second texture is stored like the first, with the same messages.
int LightmapTextureEffect::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Follow(TextureEffect::Save(stream))
        .Link(lightmap_.Get(), "Невозможно сохранить текстуру. Имя[%s] ID[%d]")
        .Int(lightmapSet_, "Невозможно сохранить номер набора текстурных координат. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int LightmapTextureEffect::Load(Stream& stream) {
    FieldReader in(stream, *this);
    in.Follow(TextureEffect::Load(stream))
        .Link(lightmap_, "Невозможно загрузить текстуру. ID[%d] Имя[%s]")
        .Int(lightmapSet_, "Невозможно загрузить номер набора текстурных координат. ID[%d] Имя[%s]");
    return in.GetStatus();
}

void LightmapTextureEffect::VisitLinks(LinkVisitor& visitor) {
    TextureEffect::VisitLinks(visitor);
    if (visitor.Refuses(*this, lightmap_)) SetLightmap(nullptr);
}

} // namespace nuv
