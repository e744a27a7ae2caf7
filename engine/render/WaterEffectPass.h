#pragma once

#include "core/Pointer.h"
#include "render/GeometryNodeEffectPass.h"

namespace nuv {

class PixelShader;
class ReflectiveQuietFlatWaterEffect;
class VertexShader;

// The program pass of the water effect and, with the base texture in front of the water's
// textures, of the snowy ice effect.
class WaterEffectPass : public GeometryNodeEffectPass {
    NUV_DECLARE_OBJECT
public:
    explicit WaterEffectPass(ReflectiveQuietFlatWaterEffect* effect = nullptr, bool ice = false);
    ~WaterEffectPass() override;

    int Apply() override;
    void Refresh() override;

    VertexShader* GetVertexShader() const { return vertexShader_.Get(); }
    PixelShader* GetPixelShader() const { return pixelShader_.Get(); }

private:
    bool ice_;
    Pointer<VertexShader> vertexShader_;
    Pointer<PixelShader> pixelShader_;
};

} // namespace nuv
