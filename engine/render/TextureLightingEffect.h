#pragma once

#include "render/TextureEffect.h"
#include "scene/Light.h"

#include <vector>

namespace nuv {

class Light;

// A texture lit by the device's fixed-function lights: the effect's lights are enabled for its
// draw and disabled after it.
class TextureLightingEffect : public TextureEffect {
    NUV_DECLARE_OBJECT
public:
    TextureLightingEffect();
    ~TextureLightingEffect() override;

    // After the TextureEffect fields: the light count and one link per light.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;

    int GetLightCount() const { return int(lights_.size()); }
    Light* GetLight(int index) const;
    // Null is ignored; the passes follow at once.
    void AddLight(Light* light);

protected:
    explicit TextureLightingEffect(NoTechniques) : TextureEffect(NoTechniques{}) {}
    void AddLightingTechniques();

private:
    std::vector<Pointer<Light>> lights_;
};

} // namespace nuv
