#pragma once

#include "render/TextureEffect.h"

namespace nuv {

// A texture times a light map on a second coordinate set; fixed-function modulates the light
// map on stage 1.
class LightmapTextureEffect : public TextureEffect {
    NUV_DECLARE_OBJECT
public:
    LightmapTextureEffect();
    ~LightmapTextureEffect() override;

    // After the TextureEffect fields: the light map link and its coordinate set.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;
    Object* FindByName(const String& name) override;
    void CollectByType(const Rtti& type, Array<Object*>& found) override;

    Texture* GetLightmap() const { return lightmap_.Get(); }
    void SetLightmap(Texture* texture) { lightmap_ = texture; }
    int GetLightmapSet() const { return lightmapSet_; }
    void SetLightmapSet(int set) { lightmapSet_ = set; }

private:
    Pointer<Texture> lightmap_;
    int32_t lightmapSet_ = 1;
};

} // namespace nuv
