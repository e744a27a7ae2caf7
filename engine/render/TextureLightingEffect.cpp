#include "render/TextureLightingEffect.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
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
        if (!renderer || !effect) return kNoDraw;
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
        return kDraw;
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
    FieldWriter out(stream, *this);
    if (!out.Follow(TextureEffect::Save(stream))) return out.GetStatus();
    FieldWriter lights(stream);
    lights.Int(int32_t(lights_.size()), "Невозможно сохранить количество источников света.");
    for (size_t i = 0; lights && i < lights_.size(); ++i) {
        // Said with the light's own name and ID.
        if (!lights.Link(lights_[i].Get()).Check())
            LogError("Невозможно сохранить источник света. Имя[%s] ID[%d]", lights_[i]->GetName().GetText(),
                     lights_[i]->GetId());
    }
    return out.Check("Невозможно сохранить источники света. Имя[%s] ID[%d]", bool(lights)).GetStatus();
}

int TextureLightingEffect::Load(Stream& stream) {
    FieldReader in(stream, *this);
    if (!in.Follow(TextureEffect::Load(stream))) return in.GetStatus();
    lights_.clear();
    FieldReader lights(stream);
    int32_t count = 0;
    lights.Count(count, "Невозможно загрузить количество источников света.");
    // One link at a time: a forged count ends at the stream's end, not in an allocation.
    for (int32_t i = 0; lights && i < count; ++i) {
        Light* light = nullptr;
        if (lights.Link(light, "Невозможно загрузить источник света.") && light) lights_.emplace_back(light);
    }
    if (!in.Check("Невозможно загрузить источники света. ID[%d] Имя[%s]", bool(lights))) return in.GetStatus();
    RefreshCurrentTechnique();
    return kStatusOk;
}

void TextureLightingEffect::VisitLinks(LinkVisitor& visitor) {
    TextureEffect::VisitLinks(visitor);
    const size_t count = lights_.size();
    visitor.VisitList(*this, lights_);
    if (lights_.size() != count) RefreshCurrentTechnique();
}

} // namespace nuv
