#pragma once

#include "core/Pointer.h"
#include "render/GeometryNodeEffect.h"

namespace nuv {

class Texture;

// Draws point sprites or camera-facing quads whose positions are already in world space: one
// fixed-function pass with point sprites on and the texture on stage 0.
class SpriteEffect : public GeometryNodeEffect {
    NUV_DECLARE_OBJECT
public:
    SpriteEffect();
    ~SpriteEffect() override;

    // After the GeometryNodeEffect fields: the texture link.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;
    Object* FindByName(const String& name) override;
    void CollectByType(const Rtti& type, Array<Object*>& found) override;

    Texture* GetTexture() const { return texture_.Get(); }
    void SetTexture(Texture* texture);

private:
    Pointer<Texture> texture_;
};

} // namespace nuv
