#pragma once

#include "core/Vector2.h"
#include "render/NormalmapTextureEffect.h"
#include "render/Renderer.h"

namespace nuv {

// Still water: a planar reflection, drawn each frame into the reflection map by its
// controller, looked up where the water is seen and distorted by two scrolled layers of the
// normal map. Without a pixel level of 1 or 2 it draws as TextureEffect's programs, and without
// programs not at all (no fixed-function fallback).
class ReflectiveQuietFlatWaterEffect : public NormalmapTextureEffect {
    NUV_DECLARE_OBJECT
public:
    // Makes its reflection map with the controller that draws it.
    ReflectiveQuietFlatWaterEffect();
    ~ReflectiveQuietFlatWaterEffect() override;

    // After the NormalmapTextureEffect fields: the reflection map link, the normal-map scale,
    // the ripple radius and angular speed and the distortion.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;
    Object* FindByName(const String& name) override;
    void CollectByType(const Rtti& type, Array<Object*>& found) override;
    // Also runs the reflection map's controllers.
    void Update(double dt) override;

    Texture* GetReflectionMap() const { return reflectionMap_.Get(); }
    void SetReflectionMap(Texture* texture) { reflectionMap_ = texture; }

    Vector2 normalmapScale{1.0f, 1.0f};
    float rippleRadius = 0.2f;
    float rippleSpeed = 1.5707964f;
    float distortion = 0.3f;

protected:
    explicit ReflectiveQuietFlatWaterEffect(NoTechniques);
    void AddWaterTechniques();
    // Vertex programs and a pixel level of 1 or 2.
    static bool WaterSupported(const RendererCaps& caps);

private:
    void MakeReflectionMap();

    Pointer<Texture> reflectionMap_;
};

} // namespace nuv
