#include "render/TextureEffect.h"

#include "core/Log.h"
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
    if (ColorEffect::Save(stream) != 0) return 1;
    if (stream.WriteObject(texture_.Get()) != 0) {
        LogError("Невозможно сохранить текстуру. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return 1;
    }
    if (stream.WriteInt(texCoordSet_) != 0) {
        LogError("Невозможно сохранить номер набора текстурных координат. Имя[%s] ID[%d]", GetName().GetText(),
                 GetId());
        return 1;
    }
    return 0;
}

int TextureEffect::Load(Stream& stream) {
    if (ColorEffect::Load(stream) != 0) return 1;
    Texture* texture = nullptr;
    if (stream.ReadObjectAs(texture) != 0) {
        LogError("Невозможно загрузить текстуру. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return 1;
    }
    texture_ = texture;
    if (stream.ReadInt(texCoordSet_) != 0) {
        LogError("Невозможно загрузить номер набора текстурных координат. ID[%d] Имя[%s]", GetId(),
                 GetName().GetText());
        return 1;
    }
    return 0;
}

} // namespace nuv
