#include "render/SpriteEffect.h"

#include "core/ColorBuffer.h"
#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/FloatBuffer.h"
#include "core/LinkVisitor.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "media/ModuleManager.h"
#include "render/GeometryNodeEffectPass.h"
#include "render/RenderStateBlock.h"
#include "render/Renderer.h"
#include "render/Technique.h"
#include "render/Texture.h"
#include "scene/Camera.h"
#include "scene/GeometryNode.h"

#include <new>

namespace nuv {

// The sprite pass: no programs, world-space positions under the camera's matrices.
class SpriteEffectPass : public GeometryNodeEffectPass {
    NUV_DECLARE_OBJECT
public:
    explicit SpriteEffectPass(SpriteEffect* effect = nullptr) : GeometryNodeEffectPass(effect) {}

    void Refresh() override {
        GeometryNodeEffectPass::Refresh();
        if (RenderStateBlock* block = GetStateBlock()) {
            block->pointSpritesEnabled = 1;
            // Transparent sprites must not hide what is drawn behind them later.
            const GeometryNodeEffect* effect = GetEffect();
            block->depthWriteEnabled = effect && effect->IsBlendEnabled() ? 0 : 1;
        }
    }

    int Apply() override {
        Renderer* renderer = ModuleManager::GetRenderer();
        auto* effect = static_cast<SpriteEffect*>(GetEffect());
        if (!renderer || !effect) return kNoDraw;
        renderer->SetVertexShader(nullptr);
        renderer->SetPixelShader(nullptr);
        if (GeometryNode* geometry = effect->GetGeometry()) {
            renderer->BindPositions(geometry->GetVertices());
            renderer->BindPointSizes(geometry->GetPointSizes());
            renderer->BindColors(geometry->GetColors());
            renderer->BindTexCoords(geometry->GetTexCoords(0), 0);
        }
        renderer->SetTexture(effect->GetTexture(), 0);
        if (Camera* camera = renderer->GetCamera()) {
            renderer->SetProjectionMatrix(camera->GetProjection());
            renderer->SetViewMatrix(camera->GetView());
        }
        renderer->SetWorldMatrix(Matrix4::Identity());
        return kDraw;
    }
};

NUV_IMPLEMENT_ABSTRACT_OBJECT(SpriteEffectPass, GeometryNodeEffectPass)
NUV_IMPLEMENT_OBJECT(SpriteEffect, GeometryNodeEffect)

namespace {

// Any device that can texture at all can draw sprites.
class SpriteTechnique : public Technique {
public:
    bool IsSupported() override {
        const Renderer* renderer = ModuleManager::GetRenderer();
        return renderer && renderer->GetCaps().textureUnits > 0;
    }
};

} // namespace

SpriteEffect::SpriteEffect() {
    auto* technique = new (std::nothrow) SpriteTechnique();
    Pointer<SpriteEffectPass> pass = new (std::nothrow) SpriteEffectPass(this);
    if (!technique || !pass || technique->AddPass(pass.Get()) != kStatusOk || AddTechnique(technique) != kStatusOk) {
        LogError("Недостаточно памяти для создания техники спрайтов.");
        return;
    }
}

SpriteEffect::~SpriteEffect() = default;

void SpriteEffect::SetTexture(Texture* texture) {
    if (texture_ == texture) return;
    texture_ = texture;
    RefreshCurrentTechnique();
}

Object* SpriteEffect::FindByName(const String& name) {
    if (Object* found = GeometryNodeEffect::FindByName(name)) return found;
    return texture_ ? texture_->FindByName(name) : nullptr;
}

void SpriteEffect::CollectByType(const Rtti& type, Array<Object*>& found) {
    GeometryNodeEffect::CollectByType(type, found);
    if (texture_) texture_->CollectByType(type, found);
}

int SpriteEffect::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Follow(GeometryNodeEffect::Save(stream)).Link(texture_.Get(), "Невозможно сохранить текстуру. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int SpriteEffect::Load(Stream& stream) {
    FieldReader in(stream, *this);
    Texture* texture = nullptr;
    if (in.Follow(GeometryNodeEffect::Load(stream)).Link(texture, "Невозможно загрузить текстуру. ID[%d] Имя[%s]"))
        SetTexture(texture);
    return in.GetStatus();
}

void SpriteEffect::VisitLinks(LinkVisitor& visitor) {
    GeometryNodeEffect::VisitLinks(visitor);
    if (visitor.Refuses(*this, texture_)) SetTexture(nullptr);
}

} // namespace nuv
