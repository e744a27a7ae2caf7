#include "render/SnowIceEffect.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
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
    FieldWriter out(stream, *this);
    out.Follow(ReflectiveQuietFlatWaterEffect::Save(stream))
        .Link(noise_.Get(), "Невозможно сохранить карту шума. Имя[%s] ID[%d]")
        .Float(noiseParameter)
        .Check();
    return out.GetStatus();
}

int SnowIceEffect::Load(Stream& stream) {
    FieldReader in(stream, *this);
    in.Follow(ReflectiveQuietFlatWaterEffect::Load(stream))
        .Link(noise_, "Невозможно загрузить карту шума. ID[%d] Имя[%s]")
        .Float(noiseParameter)
        .Check();
    return in.GetStatus();
}

void SnowIceEffect::VisitLinks(LinkVisitor& visitor) {
    ReflectiveQuietFlatWaterEffect::VisitLinks(visitor);
    if (visitor.Refuses(*this, noise_)) SetNoiseMap(nullptr);
}

} // namespace nuv
