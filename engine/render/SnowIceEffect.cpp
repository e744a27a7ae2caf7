#include "render/SnowIceEffect.h"

#include "core/Log.h"
#include "core/Stream.h"
#include "render/CapsTechnique.h"
#include "render/SnowEffect.h"
#include "render/VolumeTexture.h"
#include "render/WaterEffectPass.h"

#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(SnowIceEffect, ReflectiveQuietFlatWaterEffect)

SnowIceEffect::SnowIceEffect() : ReflectiveQuietFlatWaterEffect(NoTechniques{}) {
    AddSinglePass(new (std::nothrow) CapsTechnique(&WaterSupported), new (std::nothrow) WaterEffectPass(this, true));
    AddWaterTechniques();
    noise_ = SnowEffect::MakeNoiseVolume();
}

SnowIceEffect::~SnowIceEffect() = default;

Object* SnowIceEffect::FindByName(const String& name) {
    if (Object* found = ReflectiveQuietFlatWaterEffect::FindByName(name)) return found;
    return FindIn(noise_.Get(), name);
}

void SnowIceEffect::CollectByType(const Rtti& type, Array<Object*>& found) {
    ReflectiveQuietFlatWaterEffect::CollectByType(type, found);
    CollectIn(noise_.Get(), type, found);
}

int SnowIceEffect::Save(Stream& stream) {
    if (ReflectiveQuietFlatWaterEffect::Save(stream) != 0) return 1;
    if (stream.WriteObject(noise_.Get()) != 0) {
        LogError("Невозможно сохранить карту шума. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return 1;
    }
    return stream.WriteFloat(noiseParameter) != 0 ? 1 : 0;
}

int SnowIceEffect::Load(Stream& stream) {
    if (ReflectiveQuietFlatWaterEffect::Load(stream) != 0) return 1;
    VolumeTexture* noise = nullptr;
    if (stream.ReadObjectAs(noise) != 0) {
        LogError("Невозможно загрузить карту шума. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return 1;
    }
    noise_ = noise;
    return stream.ReadFloat(noiseParameter) != 0 ? 1 : 0;
}

} // namespace nuv
