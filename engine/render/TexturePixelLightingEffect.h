#pragma once

#include "render/TextureLightingEffect.h"

namespace nuv {

// Per-pixel Blinn-Phong: one program pass per light of the list, the first drawing as usual and
// the later ones added on top of it (blend one + one, no depth writes), so each light counts
// once. Nothing of its own is persisted.
class TexturePixelLightingEffect : public TextureLightingEffect {
    NUV_DECLARE_OBJECT
public:
    TexturePixelLightingEffect();
    ~TexturePixelLightingEffect() override;
};

} // namespace nuv
