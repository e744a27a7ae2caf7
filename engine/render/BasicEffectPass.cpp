#include "render/BasicEffectPass.h"

#include "core/ColorBuffer.h"
#include "media/ModuleManager.h"
#include "render/EffectConstants.h"
#include "render/LightmapTextureEffect.h"
#include "render/PixelShader.h"
#include "render/RenderStateBlock.h"
#include "render/Renderer.h"
#include "render/Texture.h"
#include "render/VertexShader.h"
#include "render/programs/ShaderPrograms.h"
#include "scene/GeometryNode.h"

#include <new>

namespace nuv {

NUV_IMPLEMENT_ABSTRACT_OBJECT(BasicEffectPass, GeometryNodeEffectPass)

namespace {

Vector4 ToVector(const Color& c) {
    return {c.r, c.g, c.b, c.a};
}

} // namespace

BasicEffectPass::BasicEffectPass(ColorEffect* effect, int kind, bool programs)
    : GeometryNodeEffectPass(effect), kind_(kind), programs_(programs) {
    if (programs_) {
        vertexShader_ = new (std::nothrow) VertexShader();
        pixelShader_ = new (std::nothrow) PixelShader();
    }
}

BasicEffectPass::~BasicEffectPass() = default;

void BasicEffectPass::Refresh() {
    GeometryNodeEffectPass::Refresh();
    const GeometryNodeEffect* effect = GetEffect();
    if (!effect) return;
    if (!programs_) {
        if (kind_ == kLightmap)
            if (RenderStateBlock* block = GetStateBlock()) block->stages[1].function = 2;
        return;
    }
    const Renderer* renderer = ModuleManager::GetRenderer();
    const int vertexLevel = renderer ? renderer->GetCaps().vertexLevel : RendererCaps::kLevelNone;
    // Skinning needs the registers of vs_2_0; at vs_1_1 the CPU skins and the plain text serves.
    skinned_ = !effect->swayEnabled && effect->GetSkinController() && (vertexLevel == 1 || vertexLevel == 2);
    const ShaderPrograms::Program vertex = skinned_                ? ShaderPrograms::kSkinnedVertex
                         : effect->swayEnabled ? ShaderPrograms::kSwayVertex
                                                 : ShaderPrograms::kPlainVertex;
    const ShaderPrograms::Program pixel = kind_ == kColor     ? ShaderPrograms::kColorPixel
                        : kind_ == kTexture ? ShaderPrograms::kTexturePixel
                                            : ShaderPrograms::kLightmapPixel;
    EffectConstants::SelectText(vertexShader_.Get(), renderer, vertex);
    EffectConstants::SelectText(pixelShader_.Get(), renderer, pixel);
}

int BasicEffectPass::Apply() {
    return programs_ ? ApplyPrograms() : ApplyFixed();
}

// Streams and textures both paths bind alike.
static void BindTextures(Renderer& renderer, const ColorEffect& effect, int kind, const GeometryNode* geometry) {
    if (kind == BasicEffectPass::kColor) return;
    const auto& texture = static_cast<const TextureEffect&>(effect);
    renderer.BindTexCoords(geometry ? geometry->GetTexCoords(texture.GetTexCoordSet()) : nullptr, 0);
    renderer.SetTexture(texture.GetTexture(), 0);
    if (kind != BasicEffectPass::kLightmap) return;
    const auto& lightmap = static_cast<const LightmapTextureEffect&>(effect);
    renderer.BindTexCoords(geometry ? geometry->GetTexCoords(lightmap.GetLightmapSet()) : nullptr, 1);
    renderer.SetTexture(lightmap.GetLightmap(), 1);
}

int BasicEffectPass::ApplyPrograms() {
    Renderer* renderer = ModuleManager::GetRenderer();
    auto* effect = static_cast<ColorEffect*>(GetEffect());
    EffectConstants::View view;
    if (!renderer || !effect || !EffectConstants::GetView(*renderer, view)) return kNoDraw;
    GeometryNode* geometry = effect->GetGeometry();
    renderer->BindIndices(geometry ? geometry->GetIndices() : nullptr);
    BindTextures(*renderer, *effect, kind_, geometry);
    renderer->SetVertexShader(vertexShader_.Get());
    const Vector4 color = ToVector(effect->GetColor());
    if (skinned_ && EffectConstants::SetSkinned(*renderer, *effect, view)) {
        EffectConstants::SetVertex(*renderer, 208, color);
        EffectConstants::SetVertex(*renderer, 209, EffectConstants::FogAndSway(*effect));
    } else {
        EffectConstants::SetPlain(*renderer, *effect, view);
        EffectConstants::SetVertex(*renderer, 8, color);
        EffectConstants::SetVertex(*renderer, 9, EffectConstants::FogAndSway(*effect));
        if (effect->swayEnabled) EffectConstants::SetVertex(*renderer, 10, EffectConstants::SwayRegister(*effect));
    }
    // Programs ignore it, but the OpenGL programs read from its sign whether a target is drawn.
    renderer->SetProjectionMatrix(view.projection);
    renderer->SetPixelShader(pixelShader_.Get());
    return kDraw;
}

int BasicEffectPass::ApplyFixed() {
    Renderer* renderer = ModuleManager::GetRenderer();
    auto* effect = static_cast<ColorEffect*>(GetEffect());
    if (!renderer || !effect) return kNoDraw;
    GeometryNode* geometry = effect->GetGeometry();
    if (geometry) {
        const int count = geometry->GetVertices() ? geometry->GetVertices()->GetCount() : 0;
        ColorBuffer* colors = geometry->GetColors();
        if (!colors || colors->GetCount() < count) {
            Pointer<ColorBuffer> made = new (std::nothrow) ColorBuffer(count);
            if (made && made->GetCount() == count) geometry->SetColors(made.Get());
            colors = geometry->GetColors();
        }
        if (colors) {
            Color* entry = colors->GetElements();
            for (int i = 0; i < colors->GetCount(); ++i) entry[i] = effect->GetColor();
            colors->MarkDirty();
        }
        renderer->BindColors(colors);
        renderer->BindPositions(geometry->GetVertices());
    }
    BindTextures(*renderer, *effect, kind_, geometry);
    renderer->BindIndices(geometry ? geometry->GetIndices() : nullptr);
    EffectConstants::SetFixedMatrices(*renderer, *effect);
    return kDraw;
}

} // namespace nuv
