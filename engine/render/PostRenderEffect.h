#pragma once

#include "core/Pointer.h"
#include "render/SceneNodeEffect.h"

#include <cstdint>

namespace nuv {

class Camera;
class Renderer;
class Texture;
class Triangles;

// Works on the finished picture: captures the scene into a texture of the viewport's size, and
// in film mode narrows the picture to a letterbox (the middle 75 % of the height, bars of 12.5 %
// above and below). On its own it draws the scene into the letterbox; the glow builds on the
// capture.
class PostRenderEffect : public SceneNodeEffect {
    NUV_DECLARE_OBJECT
public:
    PostRenderEffect();
    ~PostRenderEffect() override;

    // After the Object fields: the film flag. Loading a flag of 0 restores the full viewport.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;

    bool GetFilm() const { return film_ != 0; }
    void SetFilm(bool on) { film_ = on ? 1 : 0; }

    // With the film flag on: keeps the viewport's size and narrows the viewport to the letterbox,
    // with the camera's projection widened to match.
    void SetLetterbox();
    // With the film flag on: the full viewport (and projection) again.
    void RestoreViewport();
    // Letterbox; a screen texture of the viewport's size (made anew when the size changed) as
    // the render target; the screen quad as the current geometry.
    void BeginCapture(Renderer& renderer);
    // Leaves the capture when it is still the target, letterbox again, the quad's positions and
    // the screen texture on stage 0, ready for the composite.
    void EndCapture(Renderer& renderer);

    Texture* GetScreenTexture() const { return screenTexture_.Get(); }
    Triangles* GetScreenQuad() const { return screenQuad_.Get(); }

    // Whether the last picture drawn was narrowed to the letterbox; the reflection follows it.
    static bool IsLetterboxActive();
    // The letterbox of a viewport of width x height: position (0, height / 8), size (width,
    // 3/4 height).
    static void LetterboxViewport(int width, int height, float& y, float& letterboxHeight);
    // The camera's projection for the letterbox: the horizontal scale times 3/4, so the picture
    // is not squeezed.
    static void ApplyLetterboxProjection(Camera& camera, bool letterbox);

protected:
    // For derived effects that bring their own techniques.
    struct NoTechniques {};
    explicit PostRenderEffect(NoTechniques);
    void BindQuad(Renderer& renderer);

private:
    void MakeQuad();

    Pointer<Triangles> screenQuad_;
    Pointer<Texture> screenTexture_;
    uint8_t film_ = 0;
    int32_t savedWidth_ = 0;
    int32_t savedHeight_ = 0;
};

} // namespace nuv
