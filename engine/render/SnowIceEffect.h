#pragma once

#include "render/ReflectiveQuietFlatWaterEffect.h"
#include "render/VolumeTexture.h"

namespace nuv {

class VolumeTexture;

// Ice under snow: the water's reflection mixed with a base texture by the base's alpha.
// Its noise map and parameter are stored but take no part in drawing.
class SnowIceEffect : public ReflectiveQuietFlatWaterEffect {
    NUV_DECLARE_OBJECT
public:
    SnowIceEffect();
    ~SnowIceEffect() override;

    // After the water fields: the noise map link and the noise parameter.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;
    Object* FindByName(const String& name) override;
    void CollectByType(const Rtti& type, Array<Object*>& found) override;

    VolumeTexture* GetNoiseMap() const { return noise_.Get(); }
    void SetNoiseMap(VolumeTexture* texture) { noise_ = texture; }

    float noiseParameter = 10.0f;

private:
    Pointer<VolumeTexture> noise_;
};

} // namespace nuv
