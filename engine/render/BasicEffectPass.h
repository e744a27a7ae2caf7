#pragma once

#include "core/Pointer.h"
#include "render/GeometryNodeEffectPass.h"

namespace nuv {

class ColorEffect;
class PixelShader;
class VertexShader;

// The pass of ColorEffect, TextureEffect and LightmapTextureEffect, with programs (plain, sway
// or skinned vertex program and the member's pixel program) or fixed-function (the colour
// written into the geometry's colour buffer).
class BasicEffectPass : public GeometryNodeEffectPass {
    NUV_DECLARE_OBJECT
public:
    enum Kind : int { kColor = 0, kTexture, kLightmap };

    explicit BasicEffectPass(ColorEffect* effect = nullptr, int kind = kColor, bool programs = false);
    ~BasicEffectPass() override;

    int Apply() override;
    // The effect's state, then the programs for the renderer's levels.
    void Refresh() override;

    VertexShader* GetVertexShader() const { return vertexShader_.Get(); }
    PixelShader* GetPixelShader() const { return pixelShader_.Get(); }
    bool UsesSkinnedProgram() const { return skinned_; }

private:
    int ApplyPrograms();
    int ApplyFixed();

    int kind_;
    bool programs_;
    bool skinned_ = false;
    Pointer<VertexShader> vertexShader_;
    Pointer<PixelShader> pixelShader_;
};

} // namespace nuv
