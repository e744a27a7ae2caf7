#include "render/gl/GlStateMapping.h"

#include "render/Renderer.h"
#include "render/StateTable.h"

namespace nuv {

namespace {

using RS = RenderStateBlock;

void SetColor(GLenum what, const Color& c) {
    const GLfloat v[4] = {c.r, c.g, c.b, c.a};
    glMaterialfv(GL_FRONT_AND_BACK, what, v);
}

GLenum CombineSource(int32_t source) {
    static const GLenum kTable[] = {GL_TEXTURE, GL_PRIMARY_COLOR, GL_CONSTANT, GL_PREVIOUS};
    return StateTable::Map<RS::kArgumentSourceCount>(kTable, source, GLenum(GL_PREVIOUS));
}

GLenum ColorOperand(int32_t operand) {
    static const GLenum kTable[] = {GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
    return StateTable::Map<RS::kArgumentOperandCount>(kTable, operand, GLenum(GL_SRC_COLOR));
}

// The alpha combiner reads alpha only: "colour" and "alpha" operands both mean the alpha.
GLenum AlphaOperand(int32_t operand) {
    return operand == 1 || operand == 3 ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
}

struct Combiner {
    GLenum op;
    GLenum source[3];
    GLenum operand[3];
};

void SetCombiners(const Combiner& rgb, const Combiner& alpha) {
    static const GLenum kRgbSource[] = {GL_SRC0_RGB, GL_SRC1_RGB, GL_SRC2_RGB};
    static const GLenum kRgbOperand[] = {GL_OPERAND0_RGB, GL_OPERAND1_RGB, GL_OPERAND2_RGB};
    static const GLenum kAlphaSource[] = {GL_SRC0_ALPHA, GL_SRC1_ALPHA, GL_SRC2_ALPHA};
    static const GLenum kAlphaOperand[] = {GL_OPERAND0_ALPHA, GL_OPERAND1_ALPHA, GL_OPERAND2_ALPHA};
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GLint(rgb.op));
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GLint(alpha.op));
    for (int i = 0; i < 3; ++i) {
        glTexEnvi(GL_TEXTURE_ENV, kRgbSource[i], GLint(rgb.source[i]));
        glTexEnvi(GL_TEXTURE_ENV, kRgbOperand[i], GLint(rgb.operand[i]));
        glTexEnvi(GL_TEXTURE_ENV, kAlphaSource[i], GLint(alpha.source[i]));
        glTexEnvi(GL_TEXTURE_ENV, kAlphaOperand[i], GLint(alpha.operand[i]));
    }
}

} // namespace

GLenum GlStateMapping::BlendFactor(int32_t factor) {
    static const GLenum kTable[] = {GL_ZERO,      GL_ONE,           GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR,
                                    GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_DST_COLOR, GL_ONE_MINUS_DST_COLOR,
                                    GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA};
    return StateTable::Map<RS::kBlendFactorCount>(kTable, factor, GLenum(GL_ONE));
}

GLenum GlStateMapping::Comparison(int32_t comparison) {
    static const GLenum kTable[] = {GL_NEVER, GL_LESS, GL_LEQUAL, GL_EQUAL, GL_NOTEQUAL, GL_GREATER, GL_GEQUAL, GL_ALWAYS};
    return StateTable::Map<RS::kComparisonCount>(kTable, comparison, GLenum(GL_ALWAYS));
}

GLenum GlStateMapping::StencilOperation(int32_t operation) {
    static const GLenum kTable[] = {GL_KEEP, GL_ZERO, GL_REPLACE, GL_INVERT, GL_INCR, GL_DECR};
    return StateTable::Map<RS::kStencilOperationCount>(kTable, operation, GLenum(GL_KEEP));
}

GLenum GlStateMapping::Address(int32_t mode) {
    static const GLenum kTable[] = {GL_CLAMP_TO_EDGE, GL_REPEAT, GL_CLAMP_TO_BORDER};
    return StateTable::Map<RS::kAddressModeCount>(kTable, mode, GLenum(GL_REPEAT));
}

GLenum GlStateMapping::MinFilter(int32_t filter, bool mipmapped, bool blendLevels) {
    static const GLenum kTable[] = {GL_NEAREST,
                                    GL_LINEAR,
                                    GL_NEAREST_MIPMAP_NEAREST,
                                    GL_NEAREST_MIPMAP_LINEAR,
                                    GL_LINEAR_MIPMAP_NEAREST,
                                    GL_LINEAR_MIPMAP_LINEAR};
    GLenum chosen = StateTable::Map<RS::kMinFilterCount>(kTable, filter, GLenum(GL_LINEAR));
    if (!blendLevels && chosen == GL_LINEAR_MIPMAP_LINEAR) chosen = GL_LINEAR_MIPMAP_NEAREST;
    if (!blendLevels && chosen == GL_NEAREST_MIPMAP_LINEAR) chosen = GL_NEAREST_MIPMAP_NEAREST;
    if (mipmapped) return chosen;
    // A texture with one level would be incomplete under a mip-map filter.
    return chosen == GL_NEAREST || chosen == GL_NEAREST_MIPMAP_NEAREST || chosen == GL_NEAREST_MIPMAP_LINEAR
               ? GL_NEAREST
               : GL_LINEAR;
}

GLenum GlStateMapping::Primitive(int primitiveType) {
    static const GLenum kTable[] = {GL_POINTS, GL_LINES, GL_LINE_STRIP, GL_TRIANGLES, GL_TRIANGLE_STRIP};
    return StateTable::Map<Renderer::kPrimitiveCount>(kTable, primitiveType, GLenum(GL_TRIANGLES));
}

namespace {

void Toggle(GLenum cap, bool on) {
    on ? glEnable(cap) : glDisable(cap);
}

// Blending, the alpha test and which faces are culled.
void ApplyBlending(const RenderStateBlock& b) {
    Toggle(GL_BLEND, b.blendEnabled);
    glBlendFunc(GlStateMapping::BlendFactor(b.sourceBlend), GlStateMapping::BlendFactor(b.destinationBlend));

    Toggle(GL_ALPHA_TEST, b.alphaTestEnabled);
    glAlphaFunc(GlStateMapping::Comparison(b.alphaComparison), GLfloat(b.alphaReference & 0xFF) / 255.0f);

    // Clockwise faces are the front, as the scenes are made; the order names what is culled.
    glFrontFace(GL_CW);
    Toggle(GL_CULL_FACE, b.cullEnabled);
    static const GLenum kCulled[] = {GL_FRONT, GL_BACK};
    glCullFace(StateTable::Map<RS::kCullOrderCount>(kCulled, b.cullOrder, GLenum(GL_BACK)));
}

void ApplyFog(const RenderStateBlock& b) {
    Toggle(GL_FOG, b.fogEnabled);
    static const GLenum kFogModes[] = {GL_LINEAR, GL_EXP, GL_EXP2};
    glFogi(GL_FOG_MODE, GLint(StateTable::Map<RS::kFogModeCount>(kFogModes, b.fogMode, GLenum(GL_LINEAR))));
    glFogf(GL_FOG_START, b.fogStart);
    glFogf(GL_FOG_END, b.fogEnd);
    glFogf(GL_FOG_DENSITY, b.fogDensity);
    const GLfloat fogColor[4] = {b.fogColor.r, b.fogColor.g, b.fogColor.b, b.fogColor.a};
    glFogfv(GL_FOG_COLOR, fogColor);
    glHint(GL_FOG_HINT, b.pixelFog ? GL_NICEST : GL_FASTEST);
}

// weakDevice: no vertex or pixel programs, which changes how the material is sent.
void ApplyMaterial(const RenderStateBlock& b, bool weakDevice) {
    Color diffuse = b.diffuse;
    Color specular = b.specular;
    if (weakDevice) {
        // Such devices take the lit alpha from the sum of the material's alphas, without highlights.
        diffuse.a = b.diffuse.a + b.ambient.a + b.specular.a + b.emissive.a;
        specular = Color(0, 0, 0, 0);
    }
    SetColor(GL_DIFFUSE, diffuse);
    SetColor(GL_AMBIENT, b.ambient);
    SetColor(GL_SPECULAR, specular);
    SetColor(GL_EMISSION, b.emissive);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, b.specularPower < 0 ? 0 : (b.specularPower > 128 ? 128 : b.specularPower));
}

// Shading, fill mode and the depth test.
void ApplyRaster(const RenderStateBlock& b) {
    static const GLenum kShading[] = {GL_FLAT, GL_SMOOTH};
    glShadeModel(StateTable::Map<RS::kShadingCount>(kShading, b.shading, GLenum(GL_SMOOTH)));
    glPolygonMode(GL_FRONT_AND_BACK, b.wireframe ? GL_LINE : GL_FILL);
    Toggle(GL_DEPTH_TEST, b.depthTestEnabled);
    glDepthMask(b.depthWriteEnabled ? GL_TRUE : GL_FALSE);
    glDepthFunc(GlStateMapping::Comparison(b.depthComparison));
}

// One face's stencil function and operations.
void StencilFace(GLenum face, int32_t comparison, GLint reference, int32_t fail, int32_t depthFail, int32_t pass) {
    glStencilFuncSeparate(face, GlStateMapping::Comparison(comparison), reference, ~0u);
    glStencilOpSeparate(face, GlStateMapping::StencilOperation(fail), GlStateMapping::StencilOperation(depthFail),
                        GlStateMapping::StencilOperation(pass));
}

// The stencil test; without two-sided stencil the back faces take the front's settings.
void ApplyStencil(const RenderStateBlock& b) {
    Toggle(GL_STENCIL_TEST, b.stencilEnabled);
    const GLint reference = b.stencilReference;
    StencilFace(GL_FRONT, b.stencilComparison, reference, b.stencilFail, b.stencilDepthFail, b.stencilPass);
    if (b.twoSidedStencil)
        StencilFace(GL_BACK, b.backStencilComparison, reference, b.backStencilFail, b.backStencilDepthFail,
                    b.backStencilPass);
    else
        StencilFace(GL_BACK, b.stencilComparison, reference, b.stencilFail, b.stencilDepthFail, b.stencilPass);
}

void ApplyPointSprites(const RenderStateBlock& b) {
    Toggle(GL_POINT_SPRITE, b.pointSpritesEnabled);
    if (b.pointSpritesEnabled) {
        // Size 0.1 of the viewport height at distance 1, shrinking with distance.
        GLint viewport[4] = {0, 0, 0, 0};
        glGetIntegerv(GL_VIEWPORT, viewport);
        const GLfloat attenuation[3] = {0, 0, 1};
        glPointParameterfv(GL_POINT_DISTANCE_ATTENUATION, attenuation);
        glPointParameterf(GL_POINT_SIZE_MIN, 0.0f);
        glPointSize(0.1f * GLfloat(viewport[3]));
    } else {
        const GLfloat none[3] = {1, 0, 0};
        glPointParameterfv(GL_POINT_DISTANCE_ATTENUATION, none);
        glPointSize(1.0f);
    }
}

} // namespace

void GlStateMapping::ApplyBlock(const RenderStateBlock& b, bool weakDevice, int textureUnits) {
    ApplyBlending(b);
    ApplyFog(b);
    ApplyMaterial(b, weakDevice);
    ApplyRaster(b);
    ApplyStencil(b);
    glDisable(GL_NORMALIZE);
    for (int i = 0; i < RenderStateBlock::kStageCount && i < textureUnits; ++i) {
        glActiveTexture(GLenum(GL_TEXTURE0 + i));
        ApplyStage(b.stages[i]);
        if (b.pointSpritesEnabled) glTexEnvi(GL_POINT_SPRITE, GL_COORD_REPLACE, GL_TRUE);
        else glTexEnvi(GL_POINT_SPRITE, GL_COORD_REPLACE, GL_FALSE);
    }
    glActiveTexture(GL_TEXTURE0);
    ApplyPointSprites(b);
}

void GlStateMapping::ApplyStage(const RenderStateBlock::TextureStage& s) {
    const GLfloat constant[4] = {s.constantColor.r, s.constantColor.g, s.constantColor.b, s.constantColor.a};
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, constant);
    const GLenum kColor = GL_SRC_COLOR, kAlpha = GL_SRC_ALPHA;
    // The fixed texture functions as combiners (the last, combine, is built from the stage below).
    struct Function {
        Combiner rgb, alpha;
    };
    static const Function kFunctions[] = {
        // replace
        {{GL_REPLACE, {GL_TEXTURE, GL_PREVIOUS, GL_CONSTANT}, {kColor, kColor, kColor}},
         {GL_REPLACE, {GL_TEXTURE, GL_PREVIOUS, GL_CONSTANT}, {kAlpha, kAlpha, kAlpha}}},
        // decal: previous and texture mixed by the texture's alpha
        {{GL_INTERPOLATE, {GL_TEXTURE, GL_PREVIOUS, GL_TEXTURE}, {kColor, kColor, kAlpha}},
         {GL_REPLACE, {GL_PREVIOUS, GL_PREVIOUS, GL_CONSTANT}, {kAlpha, kAlpha, kAlpha}}},
        // modulate
        {{GL_MODULATE, {GL_TEXTURE, GL_PREVIOUS, GL_CONSTANT}, {kColor, kColor, kColor}},
         {GL_MODULATE, {GL_TEXTURE, GL_PREVIOUS, GL_CONSTANT}, {kAlpha, kAlpha, kAlpha}}},
        // blend: previous and the constant mixed by the texture's colour
        {{GL_INTERPOLATE, {GL_CONSTANT, GL_PREVIOUS, GL_TEXTURE}, {kColor, kColor, kColor}},
         {GL_MODULATE, {GL_TEXTURE, GL_PREVIOUS, GL_CONSTANT}, {kAlpha, kAlpha, kAlpha}}},
        // add
        {{GL_ADD, {GL_TEXTURE, GL_PREVIOUS, GL_CONSTANT}, {kColor, kColor, kColor}},
         {GL_ADD, {GL_TEXTURE, GL_PREVIOUS, GL_CONSTANT}, {kAlpha, kAlpha, kAlpha}}},
        // combine: filled from the stage's combine fields
        {{GL_MODULATE, {}, {}}, {GL_MODULATE, {}, {}}},
    };
    static const Function* const kFunctionTable[] = {&kFunctions[0], &kFunctions[1], &kFunctions[2],
                                                     &kFunctions[3], &kFunctions[4], &kFunctions[5]};
    const Function* function = StateTable::Map<RS::kTextureFunctionCount>(kFunctionTable, s.function, &kFunctions[2]);
    if (function == &kFunctions[RS::kFunctionCombine]) {
        // The engine's arguments 0, 1, 2 are the combiner's sources 0, 1, 2.
        static const GLenum kOps[] = {GL_REPLACE, GL_MODULATE, GL_ADD, GL_SUBTRACT, GL_ADD_SIGNED, GL_INTERPOLATE};
        Combiner rgb{StateTable::Map<RS::kCombineOperationCount>(kOps, s.combineColorOp, GLenum(GL_MODULATE)), {}, {}};
        Combiner alpha{StateTable::Map<RS::kCombineOperationCount>(kOps, s.combineAlphaOp, GLenum(GL_MODULATE)), {}, {}};
        for (int i = 0; i < 3; ++i) {
            rgb.source[i] = CombineSource(s.colorSource[i]);
            rgb.operand[i] = ColorOperand(s.colorOperand[i]);
            alpha.source[i] = CombineSource(s.alphaSource[i]);
            alpha.operand[i] = AlphaOperand(s.alphaOperand[i]);
        }
        SetCombiners(rgb, alpha);
    } else {
        SetCombiners(function->rgb, function->alpha);
    }

    // Coordinate generation; positions use eye planes given under an identity modelview.
    const GLenum coords[4] = {GL_S, GL_T, GL_R, GL_Q};
    const GLenum enables[4] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q};
    for (GLenum e : enables) glDisable(e);
    // Generation modes and the coordinates they fill; projection is the texture matrix's.
    struct Generation {
        GLenum mode;
        int count;
    };
    static const Generation kGenerations[] = {{0, 0}, {GL_REFLECTION_MAP, 3}, {GL_NORMAL_MAP, 3},
                                              {GL_EYE_LINEAR, 3}, {GL_SPHERE_MAP, 2}, {0, 0}};
    const Generation generation =
        StateTable::Map<RS::kTexCoordGenerationCount>(kGenerations, s.texCoordGeneration, Generation{0, 0});
    const GLenum mode = generation.mode;
    const int count = generation.count;
    if (mode) {
        if (mode == GL_EYE_LINEAR) {
            glMatrixMode(GL_MODELVIEW);
            glPushMatrix();
            glLoadIdentity();
            for (int i = 0; i < 4; ++i) {
                GLfloat plane[4] = {0, 0, 0, 0};
                plane[i] = 1;
                glTexGenfv(coords[i], GL_EYE_PLANE, plane);
            }
            glPopMatrix();
        }
        for (int i = 0; i < count; ++i) {
            glTexGeni(coords[i], GL_TEXTURE_GEN_MODE, GLint(mode));
            glEnable(enables[i]);
        }
        glEnable(GL_NORMALIZE);
    }
}

void GlStateMapping::ApplySampler(const RenderStateBlock::TextureStage& s, GLenum target, bool mipmapped,
                                  bool blendLevels) {
    static const GLenum kMag[] = {GL_NEAREST, GL_LINEAR};
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GLint(StateTable::Map<RS::kMagFilterCount>(kMag, s.magFilter, GLenum(GL_LINEAR))));
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GLint(MinFilter(s.minFilter, mipmapped, blendLevels)));
    glTexParameteri(target, GL_TEXTURE_WRAP_S, GLint(Address(s.addressU)));
    glTexParameteri(target, GL_TEXTURE_WRAP_T, GLint(Address(s.addressV)));
    glTexParameteri(target, GL_TEXTURE_WRAP_R, GLint(Address(s.addressW)));
    const GLfloat border[4] = {s.borderColor.r, s.borderColor.g, s.borderColor.b, s.borderColor.a};
    glTexParameterfv(target, GL_TEXTURE_BORDER_COLOR, border);
}

} // namespace nuv
