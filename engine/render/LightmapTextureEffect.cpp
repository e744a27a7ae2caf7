#include "render/LightmapTextureEffect.h"

#include "core/Log.h"
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
    if (TextureEffect::Save(stream) != 0) return 1;
    if (stream.WriteObject(lightmap_.Get()) != 0) {
        LogError("Невозможно сохранить текстуру. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return 1;
    }
    if (stream.WriteInt(lightmapSet_) != 0) {
        LogError("Невозможно сохранить номер набора текстурных координат. Имя[%s] ID[%d]", GetName().GetText(),
                 GetId());
        return 1;
    }
    return 0;
}

int LightmapTextureEffect::Load(Stream& stream) {
    if (TextureEffect::Load(stream) != 0) return 1;
    Texture* texture = nullptr;
    if (stream.ReadObjectAs(texture) != 0) {
        LogError("Невозможно загрузить текстуру. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return 1;
    }
    lightmap_ = texture;
    if (stream.ReadInt(lightmapSet_) != 0) {
        LogError("Невозможно загрузить номер набора текстурных координат. ID[%d] Имя[%s]", GetId(),
                 GetName().GetText());
        return 1;
    }
    return 0;
}

} // namespace nuv
