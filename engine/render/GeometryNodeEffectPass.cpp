#include "render/GeometryNodeEffectPass.h"

#include "render/GeometryNodeEffect.h"
#include "render/RenderStateBlock.h"

namespace nuv {

NUV_IMPLEMENT_ABSTRACT_OBJECT(GeometryNodeEffectPass, Pass)

void GeometryNodeEffectPass::Refresh() {
    RenderStateBlock* block = GetStateBlock();
    if (effect_ && block) {
        const GeometryNodeEffect& e = *effect_;
        block->diffuse = e.diffuse;
        block->ambient = e.ambient;
        block->specular = e.specular;
        block->emissive = e.emissive;
        block->specularPower = e.specularPower;
        block->wireframe = e.wireframe;
        block->depthTestEnabled = e.depthTest;
        block->depthWriteEnabled = e.depthWrite;
        block->alphaTestEnabled = e.alphaTest;
        block->alphaReference = e.alphaReference;
        block->alphaComparison = RenderStateBlock::kGreaterEqual;
        block->blendEnabled = e.blendEnabled;
        block->sourceBlend = e.sourceBlend;
        block->destinationBlend = e.destinationBlend;
        block->fogEnabled = e.fogEnabled;
        block->fogColor = e.fogColor;
        block->fogDensity = e.fogDensity;
        block->fogMode = e.fogExponent > 2.0f ? RenderStateBlock::kFogExp2 : RenderStateBlock::kFogExp;
        block->pixelFog = 0;
        block->cullEnabled = e.cullEnabled;
        for (int i = 0; i < RenderStateBlock::kStageCount; ++i) {
            const int32_t mode = e.wrap[i] ? RenderStateBlock::kWrap : RenderStateBlock::kClamp;
            block->stages[i].addressU = block->stages[i].addressV = block->stages[i].addressW = mode;
        }
    }
    Pass::Refresh();
}

} // namespace nuv
