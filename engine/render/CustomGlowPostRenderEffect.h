#pragma once

#include "core/Pointer.h"
#include "render/PostRenderEffect.h"

#include <vector>

namespace nuv {

class Node;

// A soft glow around a list of nodes: the scene is captured, the glow nodes are drawn again
// over the captured depth into a texture of their own, which is shrunk, blurred across and
// down, and added over the capture with the glow intensity.
//
// The glow technique needs vertex and pixel level 1; below that the scene is drawn straight.
class CustomGlowPostRenderEffect : public PostRenderEffect {
    NUV_DECLARE_OBJECT
public:
    CustomGlowPostRenderEffect();
    ~CustomGlowPostRenderEffect() override;

    // After the PostRenderEffect fields: blur width, glow intensity, downsample scale, then the
    // glow node count and links.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;

    void AddNode(Node* node);
    int GetNodeCount() const { return int(nodes_.size()); }
    Node* GetNode(int index) const;

    float GetIntensity() const { return intensity_; }
    void SetIntensity(float intensity) { intensity_ = intensity; }
    // In texels of the shrunk glow.
    float GetBlurWidth() const { return blurWidth_; }
    void SetBlurWidth(float width) { blurWidth_ = width; }
    float GetScale() const { return scale_; }
    // Stores the downsample scale and makes the glow textures anew when their sizes no longer
    // match the screen texture.
    void SetScale(float scale);

    Texture* GetDownsampleTexture() const { return downsample_.Get(); }
    Texture* GetBlurTexture() const { return blur_.Get(); }
    Texture* GetScreenGlowTexture() const { return screenGlow_.Get(); }

    // A side of the shrunk glow: screen x scale truncated, kept within 1 .. screen (a scale
    // that rounds to nothing still gets one texel; a forged huge scale no huge texture).
    static int GlowSize(int screen, float scale);

private:
    static Pointer<Texture> MakeTarget(const char* texture, const char* image, int width, int height);

    std::vector<Pointer<Node>> nodes_;
    float intensity_ = 0.5f;
    float blurWidth_ = 1.5f;
    float scale_ = 0.25f;
    Pointer<Texture> downsample_;
    Pointer<Texture> blur_;
    Pointer<Texture> screenGlow_;
};

} // namespace nuv
