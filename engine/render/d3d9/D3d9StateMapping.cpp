#include "render/d3d9/D3d9StateMapping.h"

#include "render/Renderer.h"
#include "render/StateTable.h"

#include <cstring>

namespace nuv {

namespace {
using RS = RenderStateBlock;
} // namespace

D3DBLEND D3d9StateMapping::BlendFactor(int32_t factor) {
    static const D3DBLEND kTable[] = {D3DBLEND_ZERO,      D3DBLEND_ONE,         D3DBLEND_SRCCOLOR,
                                      D3DBLEND_INVSRCCOLOR, D3DBLEND_SRCALPHA,  D3DBLEND_INVSRCALPHA,
                                      D3DBLEND_DESTCOLOR, D3DBLEND_INVDESTCOLOR, D3DBLEND_DESTALPHA,
                                      D3DBLEND_INVDESTALPHA};
    return StateTable::Map<RS::kBlendFactorCount>(kTable, factor, D3DBLEND_ONE);
}

D3DCMPFUNC D3d9StateMapping::Comparison(int32_t comparison) {
    static const D3DCMPFUNC kTable[] = {D3DCMP_NEVER,    D3DCMP_LESS,    D3DCMP_LESSEQUAL,    D3DCMP_EQUAL,
                                        D3DCMP_NOTEQUAL, D3DCMP_GREATER, D3DCMP_GREATEREQUAL, D3DCMP_ALWAYS};
    return StateTable::Map<RS::kComparisonCount>(kTable, comparison, D3DCMP_ALWAYS);
}

D3DCULL D3d9StateMapping::Cull(bool enabled, int32_t order, bool reversed) {
    static const D3DCULL kTable[] = {D3DCULL_CW, D3DCULL_CCW};
    static const D3DCULL kReversed[] = {D3DCULL_CCW, D3DCULL_CW};
    if (!enabled) return D3DCULL_NONE;
    return reversed ? StateTable::Map<RS::kCullOrderCount>(kReversed, order, D3DCULL_CW)
                    : StateTable::Map<RS::kCullOrderCount>(kTable, order, D3DCULL_CCW);
}

D3DFOGMODE D3d9StateMapping::FogMode(int32_t mode) {
    static const D3DFOGMODE kTable[] = {D3DFOG_LINEAR, D3DFOG_EXP, D3DFOG_EXP2};
    return StateTable::Map<RS::kFogModeCount>(kTable, mode, D3DFOG_LINEAR);
}

D3DSHADEMODE D3d9StateMapping::Shading(int32_t shading) {
    static const D3DSHADEMODE kTable[] = {D3DSHADE_FLAT, D3DSHADE_GOURAUD};
    return StateTable::Map<RS::kShadingCount>(kTable, shading, D3DSHADE_GOURAUD);
}

D3DSTENCILOP D3d9StateMapping::StencilOperation(int32_t operation) {
    static const D3DSTENCILOP kTable[] = {D3DSTENCILOP_KEEP,   D3DSTENCILOP_ZERO,    D3DSTENCILOP_REPLACE,
                                          D3DSTENCILOP_INVERT, D3DSTENCILOP_INCRSAT, D3DSTENCILOP_DECRSAT};
    return StateTable::Map<RS::kStencilOperationCount>(kTable, operation, D3DSTENCILOP_KEEP);
}

D3DTEXTUREADDRESS D3d9StateMapping::Address(int32_t mode) {
    static const D3DTEXTUREADDRESS kTable[] = {D3DTADDRESS_CLAMP, D3DTADDRESS_WRAP, D3DTADDRESS_BORDER};
    return StateTable::Map<RS::kAddressModeCount>(kTable, mode, D3DTADDRESS_WRAP);
}

D3DTEXTUREFILTERTYPE D3d9StateMapping::MagFilter(int32_t filter) {
    static const D3DTEXTUREFILTERTYPE kTable[] = {D3DTEXF_POINT, D3DTEXF_LINEAR};
    return StateTable::Map<RS::kMagFilterCount>(kTable, filter, D3DTEXF_LINEAR);
}

void D3d9StateMapping::MinFilter(int32_t filter, D3DTEXTUREFILTERTYPE& min, D3DTEXTUREFILTERTYPE& mip) {
    struct Pair {
        D3DTEXTUREFILTERTYPE min, mip;
    };
    static const Pair kTable[] = {{D3DTEXF_POINT, D3DTEXF_NONE},  {D3DTEXF_LINEAR, D3DTEXF_NONE},
                                  {D3DTEXF_POINT, D3DTEXF_POINT}, {D3DTEXF_POINT, D3DTEXF_LINEAR},
                                  {D3DTEXF_LINEAR, D3DTEXF_POINT}, {D3DTEXF_LINEAR, D3DTEXF_LINEAR}};
    const Pair pair = StateTable::Map<RS::kMinFilterCount>(kTable, filter, Pair{D3DTEXF_LINEAR, D3DTEXF_LINEAR});
    min = pair.min;
    mip = pair.mip;
}

void D3d9StateMapping::CombineOperation(int32_t operation, D3DTEXTUREOP& op, int& arguments) {
    struct Entry {
        D3DTEXTUREOP op;
        int arguments;
    };
    static const Entry kTable[] = {{D3DTOP_SELECTARG1, 1}, {D3DTOP_MODULATE, 2},  {D3DTOP_ADD, 2},
                                   {D3DTOP_SUBTRACT, 2},   {D3DTOP_ADDSIGNED, 2}, {D3DTOP_LERP, 3}};
    const Entry entry = StateTable::Map<RS::kCombineOperationCount>(kTable, operation, Entry{D3DTOP_MODULATE, 2});
    op = entry.op;
    arguments = entry.arguments;
}

DWORD D3d9StateMapping::Argument(int32_t source, int32_t operand) {
    static const DWORD kSources[] = {D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTA_TFACTOR, D3DTA_CURRENT};
    static const DWORD kOperands[] = {0, D3DTA_COMPLEMENT, D3DTA_ALPHAREPLICATE,
                                      D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE};
    return StateTable::Map<RS::kArgumentSourceCount>(kSources, source, DWORD(D3DTA_CURRENT)) |
           StateTable::Map<RS::kArgumentOperandCount>(kOperands, operand, DWORD(0));
}

DWORD D3d9StateMapping::TexCoordGeneration(int32_t generation) {
    static const DWORD kTable[] = {D3DTSS_TCI_PASSTHRU,
                                   D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR,
                                   D3DTSS_TCI_CAMERASPACENORMAL,
                                   D3DTSS_TCI_CAMERASPACEPOSITION,
                                   D3DTSS_TCI_SPHEREMAP,
                                   D3DTSS_TCI_PASSTHRU};
    return StateTable::Map<RS::kTexCoordGenerationCount>(kTable, generation, DWORD(D3DTSS_TCI_PASSTHRU));
}

D3DPRIMITIVETYPE D3d9StateMapping::Primitive(int primitiveType) {
    static const D3DPRIMITIVETYPE kTable[] = {D3DPT_POINTLIST, D3DPT_LINELIST, D3DPT_LINESTRIP, D3DPT_TRIANGLELIST,
                                              D3DPT_TRIANGLESTRIP};
    return StateTable::Map<Renderer::kPrimitiveCount>(kTable, primitiveType, D3DPT_TRIANGLELIST);
}

D3DCOLOR D3d9StateMapping::Argb(const Color& c) {
    auto channel = [](float v) { return DWORD(int32_t(v * 255.0f)) & 0xFFu; };
    return (channel(c.a) << 24) | (channel(c.r) << 16) | (channel(c.g) << 8) | channel(c.b);
}

DWORD D3d9StateMapping::FloatBits(float value) {
    DWORD bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

void D3d9StateMapping::ApplyBlock(IDirect3DDevice9& d, const RenderStateBlock& b, bool weakDevice) {
    d.SetRenderState(D3DRS_ALPHABLENDENABLE, b.blendEnabled ? TRUE : FALSE);
    d.SetRenderState(D3DRS_SRCBLEND, BlendFactor(b.sourceBlend));
    d.SetRenderState(D3DRS_DESTBLEND, BlendFactor(b.destinationBlend));
    d.SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, TRUE);
    d.SetRenderState(D3DRS_SRCBLENDALPHA, BlendFactor(b.sourceBlend));
    d.SetRenderState(D3DRS_DESTBLENDALPHA, BlendFactor(b.destinationBlend));

    d.SetRenderState(D3DRS_ALPHATESTENABLE, b.alphaTestEnabled ? TRUE : FALSE);
    d.SetRenderState(D3DRS_ALPHAFUNC, Comparison(b.alphaComparison));
    d.SetRenderState(D3DRS_ALPHAREF, DWORD(b.alphaReference) & 0xFFu);

    d.SetRenderState(D3DRS_CULLMODE, Cull(b.cullEnabled != 0, b.cullOrder, false));

    d.SetRenderState(D3DRS_FOGENABLE, b.fogEnabled ? TRUE : FALSE);
    d.SetRenderState(D3DRS_FOGCOLOR, Argb(b.fogColor));
    const D3DFOGMODE fog = FogMode(b.fogMode);
    d.SetRenderState(D3DRS_FOGTABLEMODE, b.pixelFog ? fog : D3DFOG_NONE);
    d.SetRenderState(D3DRS_FOGVERTEXMODE, b.pixelFog ? D3DFOG_NONE : fog);
    d.SetRenderState(D3DRS_FOGSTART, FloatBits(b.fogStart));
    d.SetRenderState(D3DRS_FOGEND, FloatBits(b.fogEnd));
    d.SetRenderState(D3DRS_FOGDENSITY, FloatBits(b.fogDensity));

    auto value = [](const Color& c) { return D3DCOLORVALUE{c.r, c.g, c.b, c.a}; };
    D3DMATERIAL9 material{};
    material.Diffuse = value(b.diffuse);
    material.Ambient = value(b.ambient);
    material.Specular = value(b.specular);
    material.Emissive = value(b.emissive);
    material.Power = b.specularPower;
    if (weakDevice) {
        // Such devices take the lit alpha from the sum of the material's alphas, without highlights.
        material.Diffuse.a = b.diffuse.a + b.ambient.a + b.specular.a + b.emissive.a;
        material.Specular = D3DCOLORVALUE{0, 0, 0, 0};
    }
    d.SetMaterial(&material);

    d.SetRenderState(D3DRS_SHADEMODE, Shading(b.shading));

    d.SetRenderState(D3DRS_STENCILENABLE, b.stencilEnabled ? TRUE : FALSE);
    d.SetRenderState(D3DRS_STENCILFUNC, Comparison(b.stencilComparison));
    d.SetRenderState(D3DRS_STENCILREF, DWORD(b.stencilReference));
    d.SetRenderState(D3DRS_STENCILFAIL, StencilOperation(b.stencilFail));
    d.SetRenderState(D3DRS_STENCILZFAIL, StencilOperation(b.stencilDepthFail));
    d.SetRenderState(D3DRS_STENCILPASS, StencilOperation(b.stencilPass));
    d.SetRenderState(D3DRS_TWOSIDEDSTENCILMODE, b.twoSidedStencil ? TRUE : FALSE);
    d.SetRenderState(D3DRS_CCW_STENCILFUNC, Comparison(b.backStencilComparison));
    d.SetRenderState(D3DRS_CCW_STENCILFAIL, StencilOperation(b.backStencilFail));
    d.SetRenderState(D3DRS_CCW_STENCILZFAIL, StencilOperation(b.backStencilDepthFail));
    d.SetRenderState(D3DRS_CCW_STENCILPASS, StencilOperation(b.backStencilPass));

    d.SetRenderState(D3DRS_FILLMODE, b.wireframe ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
    d.SetRenderState(D3DRS_ZENABLE, b.depthTestEnabled ? D3DZB_TRUE : D3DZB_FALSE);
    d.SetRenderState(D3DRS_ZWRITEENABLE, b.depthWriteEnabled ? TRUE : FALSE);
    d.SetRenderState(D3DRS_ZFUNC, Comparison(b.depthComparison));

    bool normalize = false;
    for (int i = 0; i < RenderStateBlock::kStageCount; ++i) {
        ApplyStage(d, i, b.stages[i]);
        const int32_t generation = b.stages[i].texCoordGeneration;
        normalize = normalize || (generation >= RS::kTexGenReflection && generation <= RS::kTexGenSphere);
    }
    d.SetRenderState(D3DRS_NORMALIZENORMALS, normalize ? TRUE : FALSE);
    // The device has one texture factor: the constant of the first stage that reads it.
    int constantStage = 0;
    for (int i = RenderStateBlock::kStageCount - 1; i >= 0; --i) {
        const RenderStateBlock::TextureStage& s = b.stages[i];
        bool reads = s.function == RS::kFunctionBlend;
        for (int a = 0; a < 3 && s.function == RS::kFunctionCombine; ++a)
            reads = reads || s.colorSource[a] == RS::kSourceConstant || s.alphaSource[a] == RS::kSourceConstant;
        if (reads) constantStage = i;
    }
    d.SetRenderState(D3DRS_TEXTUREFACTOR, Argb(b.stages[constantStage].constantColor));

    d.SetRenderState(D3DRS_POINTSPRITEENABLE, b.pointSpritesEnabled ? TRUE : FALSE);
    d.SetRenderState(D3DRS_POINTSCALEENABLE, b.pointSpritesEnabled ? TRUE : FALSE);
    if (b.pointSpritesEnabled) {
        d.SetRenderState(D3DRS_POINTSIZE, FloatBits(0.1f));
        d.SetRenderState(D3DRS_POINTSIZE_MIN, FloatBits(0.0f));
        d.SetRenderState(D3DRS_POINTSCALE_A, FloatBits(0.0f));
        d.SetRenderState(D3DRS_POINTSCALE_B, FloatBits(0.0f));
        d.SetRenderState(D3DRS_POINTSCALE_C, FloatBits(1.0f));
    }
}

void D3d9StateMapping::ApplyStage(IDirect3DDevice9& d, int stage, const RenderStateBlock::TextureStage& s) {
    const DWORD i = DWORD(stage);
    // Colour op, its arguments (ARG1, ARG2, ARG0), then the same for alpha.
    struct Ops {
        D3DTEXTUREOP colorOp;
        DWORD color[3];
        D3DTEXTUREOP alphaOp;
        DWORD alpha[3];
    };
    static const Ops kFunctions[] = {
        // replace
        {D3DTOP_SELECTARG1, {D3DTA_TEXTURE, D3DTA_CURRENT, D3DTA_CURRENT},
         D3DTOP_SELECTARG1, {D3DTA_TEXTURE, D3DTA_CURRENT, D3DTA_CURRENT}},
        // decal: previous and texture mixed by the texture's alpha
        {D3DTOP_BLENDTEXTUREALPHA, {D3DTA_TEXTURE, D3DTA_CURRENT, D3DTA_CURRENT},
         D3DTOP_SELECTARG1, {D3DTA_CURRENT, D3DTA_CURRENT, D3DTA_CURRENT}},
        // modulate
        {D3DTOP_MODULATE, {D3DTA_TEXTURE, D3DTA_CURRENT, D3DTA_CURRENT},
         D3DTOP_MODULATE, {D3DTA_TEXTURE, D3DTA_CURRENT, D3DTA_CURRENT}},
        // blend: LERP(arg0 = texture; arg1 = factor, arg2 = current)
        {D3DTOP_LERP, {D3DTA_TFACTOR, D3DTA_CURRENT, D3DTA_TEXTURE},
         D3DTOP_MODULATE, {D3DTA_TEXTURE, D3DTA_CURRENT, D3DTA_CURRENT}},
        // add
        {D3DTOP_ADD, {D3DTA_TEXTURE, D3DTA_CURRENT, D3DTA_CURRENT},
         D3DTOP_ADD, {D3DTA_TEXTURE, D3DTA_CURRENT, D3DTA_CURRENT}},
        // combine: filled from the stage's fields below
        {D3DTOP_MODULATE, {D3DTA_TEXTURE, D3DTA_CURRENT, D3DTA_CURRENT},
         D3DTOP_MODULATE, {D3DTA_TEXTURE, D3DTA_CURRENT, D3DTA_CURRENT}},
    };
    static const Ops* const kTable[] = {&kFunctions[0], &kFunctions[1], &kFunctions[2],
                                        &kFunctions[3], &kFunctions[4], &kFunctions[5]};
    Ops ops = *StateTable::Map<RS::kTextureFunctionCount>(kTable, s.function, &kFunctions[2]);
    if (s.function == RS::kFunctionCombine) {
        // The engine's arguments 0, 1, 2 go to the device's ARG1, ARG2, ARG0.
        int count = 0;
        CombineOperation(s.combineColorOp, ops.colorOp, count);
        CombineOperation(s.combineAlphaOp, ops.alphaOp, count);
        for (int a = 0; a < 3; ++a) {
            ops.color[a] = Argument(s.colorSource[a], s.colorOperand[a]);
            ops.alpha[a] = Argument(s.alphaSource[a], s.alphaOperand[a]);
        }
    }
    d.SetTextureStageState(i, D3DTSS_COLOROP, ops.colorOp);
    d.SetTextureStageState(i, D3DTSS_COLORARG1, ops.color[0]);
    d.SetTextureStageState(i, D3DTSS_COLORARG2, ops.color[1]);
    d.SetTextureStageState(i, D3DTSS_COLORARG0, ops.color[2]);
    d.SetTextureStageState(i, D3DTSS_ALPHAOP, ops.alphaOp);
    d.SetTextureStageState(i, D3DTSS_ALPHAARG1, ops.alpha[0]);
    d.SetTextureStageState(i, D3DTSS_ALPHAARG2, ops.alpha[1]);
    d.SetTextureStageState(i, D3DTSS_ALPHAARG0, ops.alpha[2]);

    d.SetSamplerState(i, D3DSAMP_MAGFILTER, MagFilter(s.magFilter));
    D3DTEXTUREFILTERTYPE min = D3DTEXF_LINEAR;
    D3DTEXTUREFILTERTYPE mip = D3DTEXF_LINEAR;
    MinFilter(s.minFilter, min, mip);
    d.SetSamplerState(i, D3DSAMP_MINFILTER, min);
    d.SetSamplerState(i, D3DSAMP_MIPFILTER, mip);
    d.SetSamplerState(i, D3DSAMP_ADDRESSU, Address(s.addressU));
    d.SetSamplerState(i, D3DSAMP_ADDRESSV, Address(s.addressV));
    d.SetSamplerState(i, D3DSAMP_ADDRESSW, Address(s.addressW));
    d.SetSamplerState(i, D3DSAMP_BORDERCOLOR, Argb(s.borderColor));

    d.SetTextureStageState(i, D3DTSS_TEXCOORDINDEX, i | TexCoordGeneration(s.texCoordGeneration));
    if (s.texCoordGeneration >= RS::kTexGenReflection && s.texCoordGeneration <= RS::kTexGenSphere)
        d.SetTextureStageState(i, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3);
    else if (s.texCoordGeneration == RS::kTexGenProjected)
        d.SetTextureStageState(i, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_PROJECTED);
}

} // namespace nuv
