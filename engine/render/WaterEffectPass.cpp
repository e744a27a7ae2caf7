#include "render/WaterEffectPass.h"

#include "media/ModuleManager.h"
#include "render/EffectConstants.h"
#include "render/PixelShader.h"
#include "render/ReflectiveQuietFlatWaterEffect.h"
#include "render/RenderStateBlock.h"
#include "render/Renderer.h"
#include "render/Texture.h"
#include "render/VertexShader.h"
#include "render/programs/ShaderPrograms.h"
#include "scene/GeometryNode.h"

#include <cmath>
#include <new>

namespace nuv {

NUV_IMPLEMENT_ABSTRACT_OBJECT(WaterEffectPass, GeometryNodeEffectPass)

WaterEffectPass::WaterEffectPass(ReflectiveQuietFlatWaterEffect* effect, bool ice)
    : GeometryNodeEffectPass(effect), ice_(ice) {
    vertexShader_ = new (std::nothrow) VertexShader();
    pixelShader_ = new (std::nothrow) PixelShader();
}

WaterEffectPass::~WaterEffectPass() = default;

void WaterEffectPass::Refresh() {
    GeometryNodeEffectPass::Refresh();
    // The projective lookup must not wrap around into the opposite edge of the reflection.
    if (RenderStateBlock* block = GetStateBlock()) {
        RenderStateBlock::TextureStage& stage = block->stages[ice_ ? 2 : 1];
        stage.addressU = stage.addressV = stage.addressW = RenderStateBlock::kClamp;
    }
    const Renderer* renderer = ModuleManager::GetRenderer();
    EffectConstants::SelectText(vertexShader_.Get(), renderer, ice_ ? ShaderPrograms::kIceVertex : ShaderPrograms::kWaterVertex);
    EffectConstants::SelectText(pixelShader_.Get(), renderer, ice_ ? ShaderPrograms::kIcePixel : ShaderPrograms::kWaterPixel);
}

int WaterEffectPass::Apply() {
    Renderer* renderer = ModuleManager::GetRenderer();
    auto* effect = static_cast<ReflectiveQuietFlatWaterEffect*>(GetEffect());
    EffectConstants::View view;
    if (!renderer || !effect || !EffectConstants::GetView(*renderer, view)) return kNoDraw;
    GeometryNode* geometry = effect->GetGeometry();
    renderer->BindIndices(geometry ? geometry->GetIndices() : nullptr);
    const int first = ice_ ? 1 : 0;
    if (ice_) {
        renderer->BindTexCoords(geometry ? geometry->GetTexCoords(effect->GetTexCoordSet()) : nullptr, 0);
        renderer->SetTexture(effect->GetTexture(), 0);
    }
    renderer->BindTexCoords(geometry ? geometry->GetTexCoords(effect->GetNormalmapSet()) : nullptr, 1);
    renderer->SetTexture(effect->GetNormalmap(), first);
    renderer->SetTexture(effect->GetReflectionMap(), first + 1);
    renderer->SetVertexShader(vertexShader_.Get());
    EffectConstants::SetPlain(*renderer, *effect, view);
    const Color& color = effect->GetColor();
    EffectConstants::SetVertex(*renderer, 8, {color.r, color.g, color.b, color.a});
    const Vector3 eye = EffectConstants::ToObjectSpace(*effect, view.position);
    EffectConstants::SetVertex(*renderer, 9, {eye.x, eye.y, eye.z, 1.0f});
    const float angle = effect->swayTime * effect->rippleSpeed;
    EffectConstants::SetVertex(*renderer, 10,
                               {effect->normalmapScale.x, effect->normalmapScale.y,
                                effect->rippleRadius * std::sin(angle), effect->rippleRadius * std::cos(angle)});
    EffectConstants::SetVertex(*renderer, 11, EffectConstants::FogAndSway(*effect));
    EffectConstants::SetPixel(*renderer, 0, {effect->distortion, 0.0f, 0.0f, 0.0f});
    renderer->SetProjectionMatrix(view.projection);
    renderer->SetPixelShader(pixelShader_.Get());
    return kDraw;
}

} // namespace nuv
