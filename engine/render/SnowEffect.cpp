#include "render/SnowEffect.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
#include "core/Log.h"
#include "core/Stream.h"
#include "media/ModuleManager.h"
#include "media/image/VolumeImage.h"
#include "render/CapsTechnique.h"
#include "render/EffectConstants.h"
#include "render/GeometryNodeEffectPass.h"
#include "render/NoiseTextureController.h"
#include "render/PixelShader.h"
#include "render/RenderStateBlock.h"
#include "render/Renderer.h"
#include "render/Texture.h"
#include "render/VertexShader.h"
#include "render/VolumeTexture.h"
#include "render/programs/ShaderPrograms.h"
#include "scene/GeometryNode.h"

#include <cstdio>
#include <new>

namespace nuv {

// The glitter pass: texture on stage 0, the noise volume sampled nearest on stage 1.
class SnowEffectPass : public GeometryNodeEffectPass {
    NUV_DECLARE_OBJECT
public:
    explicit SnowEffectPass(SnowEffect* effect = nullptr) : GeometryNodeEffectPass(effect) {
        vertexShader_ = new (std::nothrow) VertexShader();
        pixelShader_ = new (std::nothrow) PixelShader();
    }

    void Refresh() override {
        GeometryNodeEffectPass::Refresh();
        if (RenderStateBlock* block = GetStateBlock()) block->stages[1].magFilter = block->stages[1].minFilter = 0;
        const Renderer* renderer = ModuleManager::GetRenderer();
        EffectConstants::SelectText(vertexShader_.Get(), renderer, ShaderPrograms::kSnowVertex);
        EffectConstants::SelectText(pixelShader_.Get(), renderer, ShaderPrograms::kSnowPixel);
    }

    int Apply() override {
        Renderer* renderer = ModuleManager::GetRenderer();
        auto* effect = static_cast<SnowEffect*>(GetEffect());
        EffectConstants::View view;
        if (!renderer || !effect || !EffectConstants::GetView(*renderer, view)) return kNoDraw;
        GeometryNode* geometry = effect->GetGeometry();
        renderer->BindIndices(geometry ? geometry->GetIndices() : nullptr);
        renderer->BindTexCoords(geometry ? geometry->GetTexCoords(effect->GetTexCoordSet()) : nullptr, 0);
        renderer->SetTexture(effect->GetTexture(), 0);
        renderer->SetTexture(effect->GetNoiseTexture(), 1);
        renderer->SetVertexShader(vertexShader_.Get());
        EffectConstants::SetPlain(*renderer, *effect, view);
        const Color& color = effect->GetColor();
        EffectConstants::SetVertex(*renderer, 8, {color.r, color.g, color.b, color.a});
        EffectConstants::SetVertex(*renderer, 9, {effect->glitterScale, 0.0f, 0.0f, 0.0f});
        EffectConstants::SetVertex(*renderer, 10, EffectConstants::FogAndSway(*effect));
        const RenderStateBlock* block = GetStateBlock();
        const Color specular = block ? block->specular : effect->specular;
        const float power = block ? block->specularPower : effect->specularPower;
        EffectConstants::SetPixel(*renderer, 0, {specular.r, specular.g, specular.b, specular.a});
        EffectConstants::SetPixel(*renderer, 1, {power, 0.0f, 0.0f, 0.0f});
        renderer->SetProjectionMatrix(view.projection);
        renderer->SetPixelShader(pixelShader_.Get());
        return kDraw;
    }

private:
    Pointer<VertexShader> vertexShader_;
    Pointer<PixelShader> pixelShader_;
};

NUV_IMPLEMENT_ABSTRACT_OBJECT(SnowEffectPass, GeometryNodeEffectPass)
NUV_IMPLEMENT_OBJECT(SnowEffect, TextureEffect)

namespace {

bool SnowSupported(const RendererCaps& caps) {
    const auto atLeastOne = [](int level) { return level == 1 || level == 2; };
    return atLeastOne(caps.vertexLevel) && atLeastOne(caps.pixelLevel) && caps.textureUnits > 2 &&
           caps.volumeTextures != 0;
}

} // namespace

SnowEffect::SnowEffect() : TextureEffect(NoTechniques{}) {
    AddSinglePass(new (std::nothrow) CapsTechnique(&SnowSupported), new (std::nothrow) SnowEffectPass(this));
    AddTextureTechniques(false);
    noise_ = MakeNoiseVolume();
}

SnowEffect::~SnowEffect() = default;

Pointer<VolumeTexture> SnowEffect::MakeNoiseVolume() {
    Pointer<VolumeTexture> texture = new (std::nothrow) VolumeTexture();
    Pointer<VolumeImage> image = texture ? new (std::nothrow) VolumeImage(String(), 32, 32, Image::kRgba, 32) : nullptr;
    Pointer<NoiseTextureController> controller = new (std::nothrow) NoiseTextureController();
    if (!texture || !image || !controller) {
        LogError("Недостаточно памяти для создания текстуры шума.");
        return nullptr;
    }
    char name[48];
    std::snprintf(name, sizeof name, "Noise Volume Texture %d", texture->GetId());
    texture->SetName(String(name));
    texture->SetImage(image.Get());
    texture->AddController(controller.Get());
    return texture;
}

void SnowEffect::Update(double dt) {
    TextureEffect::Update(dt);
    if (noise_) noise_->Update(dt);
}

Object* SnowEffect::FindByName(const String& name) {
    if (Object* found = TextureEffect::FindByName(name)) return found;
    return FindIn(noise_.Get(), name);
}

void SnowEffect::CollectByType(const Rtti& type, Array<Object*>& found) {
    TextureEffect::CollectByType(type, found);
    CollectIn(noise_.Get(), type, found);
}

int SnowEffect::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Follow(TextureEffect::Save(stream))
        .Float(glitterScale, "Невозможно сохранить данные эффекта. Имя[%s] ID[%d]")
        .Link(noise_.Get(), "Невозможно сохранить текстуру шума. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int SnowEffect::Load(Stream& stream) {
    FieldReader in(stream, *this);
    in.Follow(TextureEffect::Load(stream))
        .Float(glitterScale, "Невозможно загрузить данные эффекта. ID[%d] Имя[%s]")
        .Link(noise_, "Невозможно загрузить текстуру шума. ID[%d] Имя[%s]");
    return in.GetStatus();
}

void SnowEffect::VisitLinks(LinkVisitor& visitor) {
    TextureEffect::VisitLinks(visitor);
    if (visitor.Refuses(*this, noise_)) SetNoiseTexture(nullptr);
}

} // namespace nuv
