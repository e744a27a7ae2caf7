#pragma once

#include "render/RenderStateBlock.h"

#include <epoxy/gl.h>

namespace nuv {

// The engine's render states on the compatibility profile's fixed-function pipeline.
class GlStateMapping {
public:
    static GLenum BlendFactor(int32_t factor);
    static GLenum Comparison(int32_t comparison);
    static GLenum StencilOperation(int32_t operation);
    static GLenum Address(int32_t mode);
    // blendLevels false: the filters that blend two mip-map levels read the nearer one only.
    static GLenum MinFilter(int32_t filter, bool mipmapped, bool blendLevels = true);
    static GLenum Primitive(int primitiveType);

    // Everything of the block but the samplers, which belong to the texture objects in GL.
    // weakDevice: no vertex or pixel programs, which changes how the material is sent.
    static void ApplyBlock(const RenderStateBlock& block, bool weakDevice, int textureUnits);
    // One stage's texture function or combiner and its coordinate generation on the active unit.
    static void ApplyStage(const RenderStateBlock::TextureStage& stage);
    // Filters, addressing and border colour of the texture bound to target on the active unit.
    static void ApplySampler(const RenderStateBlock::TextureStage& stage, GLenum target, bool mipmapped,
                             bool blendLevels = true);
};

} // namespace nuv
