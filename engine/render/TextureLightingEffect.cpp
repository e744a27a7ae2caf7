#include "render/TextureLightingEffect.h"

#include "core/Log.h"
#include "core/Stream.h"
#include "media/ModuleManager.h"
#include "render/EffectConstants.h"
#include "render/GeometryNodeEffectPass.h"
#include "render/Renderer.h"
#include "render/Technique.h"
#include "render/Texture.h"
#include "scene/GeometryNode.h"
#include "scene/Light.h"

#include <new>

namespace nuv {

// Fixed-function lighting with the geometry's normals.
class TextureLightingEffectPass : public GeometryNodeEffectPass {
    NUV_DECLARE_OBJECT
public:
    explicit TextureLightingEffectPass(TextureLightingEffect* effect = nullptr) : GeometryNodeEffectPass(effect) {}

    int Apply() override {
        Renderer* renderer = ModuleManager::GetRenderer();
        auto* effect = static_cast<TextureLightingEffect*>(GetEffect());
        if (!renderer || !effect) return 1;
        GeometryNode* geometry = effect->GetGeometry();
        if (geometry) {
            renderer->BindPositions(geometry->GetVertices());
            renderer->BindNormals(geometry->GetNormals());
            renderer->BindIndices(geometry->GetIndices());
            renderer->BindTexCoords(geometry->GetTexCoords(effect->GetTexCoordSet()), 0);
        }
        renderer->SetTexture(effect->GetTexture(), 0);
        EffectConstants::SetFixedMatrices(*renderer, *effect);
        // Disabled again by the geometry after the draw.
        for (int i = 0; i < effect->GetLightCount(); ++i) renderer->AddLight(effect->GetLight(i));
        return 0;
    }
};

NUV_IMPLEMENT_ABSTRACT_OBJECT(TextureLightingEffectPass, GeometryNodeEffectPass)
NUV_IMPLEMENT_OBJECT(TextureLightingEffect, TextureEffect)

namespace {

class LightingTechnique : public Technique {
public:
    explicit LightingTechnique(TextureLightingEffect& effect) : effect_(effect) {}
    bool IsSupported() override {
        const Renderer* renderer = ModuleManager::GetRenderer();
        return renderer && renderer->GetCaps().textureUnits >= 2 && effect_.GetLightCount() > 0;
    }

private:
    TextureLightingEffect& effect_;
};

} // namespace

TextureLightingEffect::TextureLightingEffect() : TextureEffect(NoTechniques{}) {
    AddLightingTechniques();
}

TextureLightingEffect::~TextureLightingEffect() = default;

void TextureLightingEffect::AddLightingTechniques() {
    AddSinglePass(new (std::nothrow) LightingTechnique(*this), new (std::nothrow) TextureLightingEffectPass(this));
    AddTextureTechniques();
}

Light* TextureLightingEffect::GetLight(int index) const {
    return index >= 0 && index < GetLightCount() ? lights_[size_t(index)].Get() : nullptr;
}

void TextureLightingEffect::AddLight(Light* light) {
    if (!light) return;
    lights_.emplace_back(light);
    RefreshCurrentTechnique();
}

int TextureLightingEffect::Save(Stream& stream) {
    if (TextureEffect::Save(stream) != 0) return 1;
    bool failed = false;
    if (stream.WriteInt(int32_t(lights_.size())) != 0) {
        LogError("Невозможно сохранить количество источников света.");
        failed = true;
    }
    for (size_t i = 0; i < lights_.size() && !failed; ++i) {
        if (stream.WriteObject(lights_[i].Get()) != 0) {
            LogError("Невозможно сохранить источник света. Имя[%s] ID[%d]", lights_[i]->GetName().GetText(),
                     lights_[i]->GetId());
            failed = true;
        }
    }
    if (failed) {
        LogError("Невозможно сохранить источники света. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return 1;
    }
    return 0;
}

int TextureLightingEffect::Load(Stream& stream) {
    if (TextureEffect::Load(stream) != 0) return 1;
    lights_.clear();
    int32_t count = 0;
    bool failed = false;
    if (stream.ReadInt(count) != 0 || count < 0) {
        LogError("Невозможно загрузить количество источников света.");
        failed = true;
    }
    // One link at a time: a forged count ends at the stream's end, not in an allocation.
    for (int32_t i = 0; i < count && !failed; ++i) {
        Light* light = nullptr;
        if (stream.ReadObjectAs(light) != 0 || stream.GetError() != 0) {
            LogError("Невозможно загрузить источник света.");
            failed = true;
        } else if (light) {
            lights_.emplace_back(light);
        }
    }
    if (failed) {
        LogError("Невозможно загрузить источники света. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return 1;
    }
    RefreshCurrentTechnique();
    return 0;
}

} // namespace nuv
