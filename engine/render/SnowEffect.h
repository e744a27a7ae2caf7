#pragma once

#include "render/TextureEffect.h"
#include "render/VolumeTexture.h"

namespace nuv {

class VolumeTexture;

// Snow that glitters: the texture plus sparks where a noise volume, seen along the view
// vector, lines up; devices without programs, volume textures or three texture units draw
// it with TextureEffect's programs, and devices without programs not at all.
class SnowEffect : public TextureEffect {
    NUV_DECLARE_OBJECT
public:
    // Makes its noise volume with the controller that fills it.
    SnowEffect();
    ~SnowEffect() override;

    // After the TextureEffect fields: the glitter scale and the noise texture link.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;
    Object* FindByName(const String& name) override;
    void CollectByType(const Rtti& type, Array<Object*>& found) override;
    // Also runs the noise texture's controllers, so the noise is made before it is drawn.
    void Update(double dt) override;

    VolumeTexture* GetNoiseTexture() const { return noise_.Get(); }
    void SetNoiseTexture(VolumeTexture* texture) { noise_ = texture; }

    // A 32 x 32 x 32 volume of kind 1 with a noise controller, named after its ID.
    static Pointer<VolumeTexture> MakeNoiseVolume();

    float glitterScale = 10.0f;

private:
    Pointer<VolumeTexture> noise_;
};

} // namespace nuv
