#include "render/PostRenderEffect.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Stream.h"
#include "core/Vector2.h"
#include "media/ModuleManager.h"
#include "media/image/Image.h"
#include "render/CapsTechnique.h"
#include "render/EffectConstants.h"
#include "render/Pass.h"
#include "render/Renderer.h"
#include "render/Texture.h"
#include "scene/Camera.h"
#include "scene/Triangles.h"

#include <cmath>
#include <new>

namespace nuv {

namespace {

// Whether the last capture or letterbox pass narrowed the picture.
bool gLetterboxActive = false;

// Both passes bind the quad and the screen texture and draw nothing themselves.
class LetterboxPass : public Pass {
    NUV_DECLARE_OBJECT
public:
    explicit LetterboxPass(PostRenderEffect* effect = nullptr, bool restore = false)
        : effect_(effect), restore_(restore) {}

    int Apply() override {
        Renderer* renderer = ModuleManager::GetRenderer();
        if (!renderer || !effect_) return kNoDraw;
        renderer->SetCurrentGeometry(effect_->GetScreenQuad());
        if (Triangles* quad = effect_->GetScreenQuad()) renderer->BindPositions(quad->GetVertices());
        renderer->SetTexture(effect_->GetScreenTexture(), 0);
        renderer->DrawPrimitives(0);
        if (restore_) {
            effect_->RestoreViewport();
            return kNoDraw;
        }
        // The scene node's children are drawn into the letterbox.
        effect_->SetLetterbox();
        return kDraw;
    }

private:
    PostRenderEffect* effect_;
    bool restore_;
};

NUV_IMPLEMENT_ABSTRACT_OBJECT(LetterboxPass, Pass)

} // namespace

NUV_IMPLEMENT_OBJECT(PostRenderEffect, SceneNodeEffect)

PostRenderEffect::PostRenderEffect() {
    MakeQuad();
    auto* technique = new (std::nothrow) CapsTechnique(CapsTechnique::Always);
    if (technique) {
        technique->AddPass(Pointer<Pass>(new (std::nothrow) LetterboxPass(this, false)).Get());
        technique->AddPass(Pointer<Pass>(new (std::nothrow) LetterboxPass(this, true)).Get());
        AddTechnique(technique);
    }
}

PostRenderEffect::PostRenderEffect(NoTechniques) {
    MakeQuad();
}

PostRenderEffect::~PostRenderEffect() = default;

void PostRenderEffect::MakeQuad() {
    screenQuad_ = EffectConstants::MakeScreenQuad();
}

bool PostRenderEffect::IsLetterboxActive() {
    return gLetterboxActive;
}

void PostRenderEffect::LetterboxViewport(int width, int height, float& y, float& letterboxHeight) {
    y = float(height) * 0.125f;
    letterboxHeight = float(height) * 0.75f;
    (void)width;
}

void PostRenderEffect::ApplyLetterboxProjection(Camera& camera, bool letterbox) {
    Matrix4 projection = camera.GetProjection();
    const float f = 1.0f / std::tan(camera.GetFieldOfView() * 0.5f);
    projection.m[0][0] = f * Camera::kHorizontalScale * (letterbox ? 0.75f : 1.0f);
    camera.SetMatrices(camera.GetView(), projection);
}

void PostRenderEffect::SetLetterbox() {
    gLetterboxActive = film_ != 0;
    Renderer* renderer = ModuleManager::GetRenderer();
    if (!film_ || !renderer) return;
    savedWidth_ = renderer->GetViewportWidth();
    savedHeight_ = renderer->GetViewportHeight();
    float y = 0.0f, height = 0.0f;
    LetterboxViewport(savedWidth_, savedHeight_, y, height);
    renderer->SetViewport(Vector2(0.0f, y), Vector2(float(savedWidth_), height));
    if (Camera* camera = renderer->GetCamera()) ApplyLetterboxProjection(*camera, true);
}

void PostRenderEffect::RestoreViewport() {
    Renderer* renderer = ModuleManager::GetRenderer();
    if (!film_ || !renderer || savedWidth_ <= 0 || savedHeight_ <= 0) return;
    renderer->SetViewport(Vector2(0.0f, 0.0f), Vector2(float(savedWidth_), float(savedHeight_)));
    if (Camera* camera = renderer->GetCamera()) ApplyLetterboxProjection(*camera, false);
}

void PostRenderEffect::BindQuad(Renderer& renderer) {
    renderer.SetCurrentGeometry(screenQuad_.Get());
    if (screenQuad_) renderer.BindPositions(screenQuad_->GetVertices());
}

void PostRenderEffect::BeginCapture(Renderer& renderer) {
    SetLetterbox();
    const int width = renderer.GetViewportWidth(), height = renderer.GetViewportHeight();
    const Image* image = screenTexture_ ? screenTexture_->GetImage() : nullptr;
    if (width > 0 && height > 0 && (!image || image->GetWidth() != width || image->GetHeight() != height)) {
        // A size and no pixels: only the device draws into it.
        Pointer<Texture> texture = new (std::nothrow) Texture();
        Pointer<Image> picture = new (std::nothrow) Image();
        if (texture && picture) {
            picture->SetName(String("Screen Image"));
            picture->AdoptPixels(width, height, Image::kRgba, nullptr);
            texture->SetName(String("Screen Texture"));
            texture->SetImage(picture.Get());
            // Read at level 0 only: no mip-map chain to make each frame.
            texture->SetMipmapLevels(1);
            screenTexture_ = texture;
        }
    }
    if (screenTexture_) renderer.SetRenderTarget(screenTexture_.Get());
    renderer.SetCurrentGeometry(screenQuad_.Get());
}

void PostRenderEffect::EndCapture(Renderer& renderer) {
    // Only the capture is left here: a target further out stays where it is.
    if (screenTexture_ && renderer.IsRenderTarget(screenTexture_.Get())) renderer.SetRenderTarget(nullptr);
    SetLetterbox();
    BindQuad(renderer);
    renderer.SetTexture(screenTexture_.Get(), 0);
}

int PostRenderEffect::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Follow(SceneNodeEffect::Save(stream)).Bool(film_ != 0, "Невозможно сохранить флаг фильма. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int PostRenderEffect::Load(Stream& stream) {
    FieldReader in(stream, *this);
    bool film = false;
    if (!in.Follow(SceneNodeEffect::Load(stream)).Bool(film, "Невозможно загрузить флаг фильма. ID[%d] Имя[%s]"))
        return in.GetStatus();
    // Without the film the full viewport comes back at once.
    if (!film && film_) RestoreViewport();
    if (!film) gLetterboxActive = false;
    film_ = film ? 1 : 0;
    return kStatusOk;
}

} // namespace nuv
