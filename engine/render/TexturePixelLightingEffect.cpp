#include "render/TexturePixelLightingEffect.h"

#include "core/Status.h"
#include "media/ModuleManager.h"
#include "render/CapsTechnique.h"
#include "render/EffectConstants.h"
#include "render/GeometryNodeEffectPass.h"
#include "render/PixelShader.h"
#include "render/RenderStateBlock.h"
#include "render/Renderer.h"
#include "render/Technique.h"
#include "render/Texture.h"
#include "render/VertexShader.h"
#include "render/programs/ShaderPrograms.h"
#include "scene/GeometryNode.h"
#include "scene/Light.h"

#include <algorithm>
#include <new>

namespace nuv {

namespace {

Vector4 ToVector(const Color& c) {
    return {c.r, c.g, c.b, c.a};
}

} // namespace

// Pass index_ draws light index_ of the effect's list.
class PixelLightingPass : public GeometryNodeEffectPass {
    NUV_DECLARE_OBJECT
public:
    explicit PixelLightingPass(TexturePixelLightingEffect* effect = nullptr, int index = 0)
        : GeometryNodeEffectPass(effect), index_(index) {
        vertexShader_ = new (std::nothrow) VertexShader();
        pixelShader_ = new (std::nothrow) PixelShader();
    }

    void Refresh() override {
        GeometryNodeEffectPass::Refresh();
        auto* effect = static_cast<TexturePixelLightingEffect*>(GetEffect());
        if (!effect) return;
        if (index_ > 0)
            if (RenderStateBlock* block = GetStateBlock()) {
                // Later lights add to what the first drew, on exactly the same pixels.
                block->blendEnabled = 1;
                block->sourceBlend = RenderStateBlock::kBlendOne;
                block->destinationBlend = RenderStateBlock::kBlendOne;
                block->depthWriteEnabled = 0;
            }
        const Renderer* renderer = ModuleManager::GetRenderer();
        const int level = renderer ? renderer->GetCaps().vertexLevel : RendererCaps::kLevelNone;
        skinned_ = !effect->swayEnabled && effect->GetSkinController() && (level == 1 || level == 2);
        const ShaderPrograms::Program vertex = effect->swayEnabled ? ShaderPrograms::kLitSwayVertex
                             : skinned_          ? ShaderPrograms::kLitSkinnedVertex
                                                 : ShaderPrograms::kLitPlainVertex;
        const Light* light = effect->GetLight(index_);
        const bool directional = light && light->GetLightType() == Light::kDirectional;
        EffectConstants::SelectText(vertexShader_.Get(), renderer, vertex);
        EffectConstants::SelectText(pixelShader_.Get(), renderer,
                                    directional ? ShaderPrograms::kDirectionalLightPixel : ShaderPrograms::kPointLightPixel);
    }

    int Apply() override {
        Renderer* renderer = ModuleManager::GetRenderer();
        auto* effect = static_cast<TexturePixelLightingEffect*>(GetEffect());
        EffectConstants::View view;
        if (!renderer || !effect || !EffectConstants::GetView(*renderer, view)) return kNoDraw;
        // Passes left over from a longer light list draw nothing.
        if (index_ > 0 && index_ >= effect->GetLightCount()) return kNoDraw;
        GeometryNode* geometry = effect->GetGeometry();
        renderer->BindIndices(geometry ? geometry->GetIndices() : nullptr);
        renderer->BindNormals(geometry ? geometry->GetNormals() : nullptr);
        renderer->BindTexCoords(geometry ? geometry->GetTexCoords(effect->GetTexCoordSet()) : nullptr, 0);
        renderer->SetTexture(effect->GetTexture(), 0);
        renderer->SetVertexShader(vertexShader_.Get());
        const bool skinned = skinned_ && EffectConstants::SetSkinned(*renderer, *effect, view);
        if (!skinned) {
            // The streams are bound anew for every pass; the registers stay from the first.
            if (geometry) renderer->BindPositions(geometry->GetVertices());
        }
        if (index_ == 0) {
            if (skinned) {
                EffectConstants::SetVertex(*renderer, 208, {view.position.x, view.position.y, view.position.z, 1.0f});
                EffectConstants::SetVertex(*renderer, 209, EffectConstants::FogAndSway(*effect));
            } else {
                EffectConstants::SetPlain(*renderer, *effect, view);
                const Vector3 eye = EffectConstants::ToObjectSpace(*effect, view.position);
                EffectConstants::SetVertex(*renderer, 8, {eye.x, eye.y, eye.z, 1.0f});
                EffectConstants::SetVertex(*renderer, 9, EffectConstants::FogAndSway(*effect));
                if (effect->swayEnabled)
                    EffectConstants::SetVertex(*renderer, 10, EffectConstants::SwayRegister(*effect));
            }
            EffectConstants::SetPixel(*renderer, 0, ToVector(effect->ambient));
            EffectConstants::SetPixel(*renderer, 1, ToVector(effect->diffuse));
            EffectConstants::SetPixel(*renderer, 2, ToVector(effect->specular));
            EffectConstants::SetPixel(*renderer, 3, {effect->specularPower, 0.0f, 0.0f, 0.0f});
        }
        SetLightConstants(*renderer, *effect, skinned);
        renderer->SetProjectionMatrix(view.projection);
        renderer->SetPixelShader(pixelShader_.Get());
        return kDraw;
    }

private:
    // Skinned vertices are in world space, so the light stays there too.
    void SetLightConstants(Renderer& renderer, const TexturePixelLightingEffect& effect, bool world) {
        const Light* light = effect.GetLight(index_);
        if (!light) {
            const Vector4 zero;
            for (int r = 4; r <= 8; ++r) EffectConstants::SetPixel(renderer, r, zero);
            return;
        }
        EffectConstants::SetPixel(renderer, 4, ToVector(light->GetAmbient()));
        EffectConstants::SetPixel(renderer, 5, ToVector(light->GetDiffuse()));
        EffectConstants::SetPixel(renderer, 6, ToVector(light->GetSpecular()));
        Vector3 place;
        if (light->GetLightType() == Light::kDirectional) {
            // The program wants the direction towards the light.
            const Vector3 d = light->GetDirection();
            place = Vector3(-d.x, -d.y, -d.z);
            if (!world) {
                Matrix4 inverse;
                if (EffectConstants::World(effect).Inverse(inverse) == kStatusOk) place = inverse.TransformVector(place);
            }
        } else {
            place = world ? light->GetPosition() : EffectConstants::ToObjectSpace(effect, light->GetPosition());
        }
        EffectConstants::SetPixel(renderer, 7, {place.x, place.y, place.z, 1.0f});
        const Vector3 k = light->GetDeviceAttenuation();
        EffectConstants::SetPixel(renderer, 8, {k.x, k.y, k.z, 0.0f});
    }

    int index_;
    bool skinned_ = false;
    Pointer<VertexShader> vertexShader_;
    Pointer<PixelShader> pixelShader_;
};

NUV_IMPLEMENT_ABSTRACT_OBJECT(PixelLightingPass, GeometryNodeEffectPass)
NUV_IMPLEMENT_OBJECT(TexturePixelLightingEffect, TextureLightingEffect)

namespace {

bool PixelLightingSupported(const RendererCaps& caps) {
    return (caps.vertexLevel == 1 || caps.vertexLevel == 2) && (caps.pixelLevel == 1 || caps.pixelLevel == 2);
}

// One pass per light, made when the technique is refreshed. Passes cannot leave a technique, so
// a list that shrinks leaves passes that refuse to draw.
class PixelLightingTechnique : public Technique {
public:
    explicit PixelLightingTechnique(TexturePixelLightingEffect& effect) : effect_(effect) {}

    bool IsSupported() override {
        const Renderer* renderer = ModuleManager::GetRenderer();
        return renderer && PixelLightingSupported(renderer->GetCaps());
    }

    int Refresh() override {
        const int wanted = std::max(effect_.GetLightCount(), 1);
        while (GetPassCount() < wanted) {
            Pointer<PixelLightingPass> pass = new (std::nothrow) PixelLightingPass(&effect_, GetPassCount());
            if (!pass || AddPass(pass.Get()) != kStatusOk) break;
        }
        return Technique::Refresh();
    }

private:
    TexturePixelLightingEffect& effect_;
};

} // namespace

TexturePixelLightingEffect::TexturePixelLightingEffect() : TextureLightingEffect(NoTechniques{}) {
    auto* technique = new (std::nothrow) PixelLightingTechnique(*this);
    AddSinglePass(technique, new (std::nothrow) PixelLightingPass(this, 0));
    AddLightingTechniques();
}

TexturePixelLightingEffect::~TexturePixelLightingEffect() = default;

} // namespace nuv
