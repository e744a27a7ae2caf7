#pragma once

#include "core/Color.h"
#include "core/Object.h"
#include "core/ResourceLink.h"

#include <cstdint>

namespace nuv {

// The complete fixed-function state of one pass, with the values a new pass starts from. The
// enumerations are the engine's own; each device maps them. Only the Object fields are
// persisted: the effects fill the block from their own stored parameters.
class RenderStateBlock : public Object {
    NUV_DECLARE_OBJECT
public:
    static constexpr int kStageCount = 8;

    // The engine's enumerations; each ends with its count, which every device's mapping table
    // is checked against when it is compiled (see StateTable).
    enum BlendFactor : int32_t {
        kBlendZero = 0, kBlendOne, kBlendSrcColor, kBlendInvSrcColor, kBlendSrcAlpha, kBlendInvSrcAlpha,
        kBlendDestColor, kBlendInvDestColor, kBlendDestAlpha, kBlendInvDestAlpha, kBlendFactorCount
    };
    enum Comparison : int32_t {
        kNever = 0, kLess, kLessEqual, kEqual, kNotEqual, kGreater, kGreaterEqual, kAlways, kComparisonCount
    };
    enum StencilOperation : int32_t { kKeep = 0, kZero, kReplace, kInvert, kIncrement, kDecrement, kStencilOperationCount };
    enum FogMode : int32_t { kFogLinear = 0, kFogExp, kFogExp2, kFogModeCount };
    enum AddressMode : int32_t { kClamp = 0, kWrap, kBorder, kAddressModeCount };
    // The winding that is culled when culling is on.
    enum CullOrder : int32_t { kClockwise = 0, kCounterClockwise, kCullOrderCount };
    enum Shading : int32_t { kShadeFlat = 0, kShadeSmooth, kShadingCount };
    enum MagFilter : int32_t { kMagNearest = 0, kMagLinear, kMagFilterCount };
    // The first two use no mip-maps; the rest name the texel filter, then the mip-map one.
    enum MinFilter : int32_t {
        kMinNearest = 0, kMinLinear, kMinNearestMipNearest, kMinNearestMipLinear, kMinLinearMipNearest,
        kMinLinearMipLinear, kMinFilterCount
    };
    enum TextureFunction : int32_t {
        kFunctionReplace = 0, kFunctionDecal, kFunctionModulate, kFunctionBlend, kFunctionAdd, kFunctionCombine,
        kTextureFunctionCount
    };
    enum CombineOperation : int32_t {
        kCombineReplace = 0, kCombineModulate, kCombineAdd, kCombineSubtract, kCombineAddSigned,
        kCombineInterpolate, kCombineOperationCount
    };
    enum ArgumentSource : int32_t { kSourceTexture = 0, kSourcePrimary, kSourceConstant, kSourcePrevious, kArgumentSourceCount };
    enum ArgumentOperand : int32_t {
        kOperandColor = 0, kOperandInvColor, kOperandAlpha, kOperandInvAlpha, kArgumentOperandCount
    };
    enum TexCoordGeneration : int32_t {
        kTexGenNone = 0, kTexGenReflection, kTexGenNormal, kTexGenPosition, kTexGenSphere, kTexGenProjected,
        kTexCoordGenerationCount
    };

    struct TextureStage {
        int32_t magFilter = 1;        // 0 nearest, 1 linear
        int32_t minFilter = 5;        // 0..5, the last four with mip-maps
        int32_t addressU = kWrap;
        int32_t addressV = kWrap;
        int32_t addressW = kWrap;
        Color borderColor{0.0f, 1.0f, 0.0f, 1.0f};
        int32_t function = 2;         // 0 replace, 1 decal, 2 modulate, 3 blend, 4 add, 5 combine
        Color constantColor{1.0f, 1.0f, 1.0f, 1.0f};
        int32_t combineColorOp = 1;   // 0 replace, 1 modulate, 2 add, 3 subtract, 4 add signed, 5 interpolate
        int32_t combineAlphaOp = 1;
        int32_t colorSource[3] = {0, 3, 2};   // 0 texture, 1 primary colour, 2 constant, 3 previous
        int32_t alphaSource[3] = {0, 3, 2};
        int32_t colorOperand[3] = {0, 0, 0};  // 0 colour, 1 1-colour, 2 alpha, 3 1-alpha
        int32_t alphaOperand[3] = {2, 2, 2};
        int32_t texCoordGeneration = 0;       // 0 none, 1 reflection, 2 normal, 3 position, 4 sphere, 5 projected
    };

    RenderStateBlock();
    ~RenderStateBlock() override;

    ResourceLink& GetResourceLink() { return link_; }

    // Null when index is out of range.
    TextureStage* GetStage(int index) { return index >= 0 && index < kStageCount ? &stages[index] : nullptr; }

    uint8_t blendEnabled = 0;
    int32_t sourceBlend = kBlendSrcAlpha;
    int32_t destinationBlend = kBlendInvSrcAlpha;

    uint8_t alphaTestEnabled = 0;
    int32_t alphaComparison = kAlways;
    int32_t alphaReference = 1;

    uint8_t cullEnabled = 1;
    int32_t cullOrder = 1;  // 0 clockwise, 1 counter-clockwise

    uint8_t fogEnabled = 0;
    float fogStart = 0.0f;
    float fogEnd = 1000.0f;
    float fogDensity = 1.0f;
    Color fogColor{0.5f, 0.5f, 0.5f, 1.0f};
    int32_t fogMode = kFogLinear;
    uint8_t pixelFog = 0;

    Color diffuse{0.8f, 0.8f, 0.8f, 1.0f};
    Color ambient{0.2f, 0.2f, 0.2f, 1.0f};
    Color specular{0.0f, 0.0f, 0.0f, 1.0f};
    Color emissive{0.0f, 0.0f, 0.0f, 1.0f};
    float specularPower = 1.0f;

    int32_t shading = 1;  // 0 flat, 1 smooth

    uint8_t wireframe = 0;
    uint8_t depthTestEnabled = 1;
    uint8_t depthWriteEnabled = 1;
    int32_t depthComparison = kLessEqual;

    uint8_t stencilEnabled = 0;
    int32_t stencilComparison = kAlways;
    int32_t stencilReference = 0;
    int32_t stencilFail = kKeep;
    int32_t stencilDepthFail = kKeep;
    int32_t stencilPass = kKeep;
    uint8_t twoSidedStencil = 0;
    int32_t backStencilComparison = kAlways;
    int32_t backStencilFail = kKeep;
    int32_t backStencilDepthFail = kKeep;
    int32_t backStencilPass = kKeep;

    TextureStage stages[kStageCount];

    uint8_t pointSpritesEnabled = 0;

private:
    ResourceLink link_;
};

} // namespace nuv
