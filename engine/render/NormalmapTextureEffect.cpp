#include "render/NormalmapTextureEffect.h"

#include "core/Log.h"
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
    if (TextureEffect::Save(stream) != 0) return 1;
    if (stream.WriteObject(normalmap_.Get()) != 0) {
        LogError("Невозможно сохранить текстуру. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return 1;
    }
    if (stream.WriteInt(normalmapSet_) != 0) {
        LogError("Невозможно сохранить номер набора текстурных координат. Имя[%s] ID[%d]", GetName().GetText(),
                 GetId());
        return 1;
    }
    return 0;
}

int NormalmapTextureEffect::Load(Stream& stream) {
    if (TextureEffect::Load(stream) != 0) return 1;
    Texture* texture = nullptr;
    if (stream.ReadObjectAs(texture) != 0) {
        LogError("Невозможно загрузить текстуру. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return 1;
    }
    normalmap_ = texture;
    if (stream.ReadInt(normalmapSet_) != 0) {
        LogError("Невозможно загрузить номер набора текстурных координат. ID[%d] Имя[%s]", GetId(),
                 GetName().GetText());
        return 1;
    }
    return 0;
}

} // namespace nuv
