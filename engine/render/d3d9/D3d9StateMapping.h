#pragma once

#include "core/Color.h"
#include "render/RenderStateBlock.h"

#include <d3d9.h>

namespace nuv {

// The engine's render states on a Direct3D 9 device: one table per engine enumeration, in the
// engine's order, and the whole block set on the device (recorded into a state block).
class D3d9StateMapping {
public:
    static D3DBLEND BlendFactor(int32_t factor);
    static D3DCMPFUNC Comparison(int32_t comparison);
    // The cull mode of an order; NONE when culling is off, the other winding when reversed.
    static D3DCULL Cull(bool enabled, int32_t order, bool reversed);
    static D3DFOGMODE FogMode(int32_t mode);
    static D3DSHADEMODE Shading(int32_t shading);
    static D3DSTENCILOP StencilOperation(int32_t operation);
    static D3DTEXTUREADDRESS Address(int32_t mode);
    static D3DTEXTUREFILTERTYPE MagFilter(int32_t filter);
    // Minification filter and the mip-map filter that goes with it.
    static void MinFilter(int32_t filter, D3DTEXTUREFILTERTYPE& min, D3DTEXTUREFILTERTYPE& mip);
    // Texture operation of a combine operation and the number of arguments it reads.
    static void CombineOperation(int32_t operation, D3DTEXTUREOP& op, int& arguments);
    // An argument source ORed with its operand modifier.
    static DWORD Argument(int32_t source, int32_t operand);
    static DWORD TexCoordGeneration(int32_t generation);
    static D3DPRIMITIVETYPE Primitive(int primitiveType);
    // Each channel is the float x 255 truncated to an integer and masked to 8 bits; alpha on top.
    static D3DCOLOR Argb(const Color& color);
    static DWORD FloatBits(float value);

    // Every state of the block. weakDevice: no vertex or pixel programs, which changes how the
    // material is sent.
    static void ApplyBlock(IDirect3DDevice9& device, const RenderStateBlock& block, bool weakDevice);
    static void ApplyStage(IDirect3DDevice9& device, int stage, const RenderStateBlock::TextureStage& s);
};

} // namespace nuv
