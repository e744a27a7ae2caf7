#include "render/CustomGlowPostRenderEffect.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
#include "core/Stream.h"
#include "core/Vector3Buffer.h"
#include "media/ModuleManager.h"
#include "media/image/Image.h"
#include "render/CapsTechnique.h"
#include "render/EffectConstants.h"
#include "render/Pass.h"
#include "render/PixelShader.h"
#include "render/RenderStateBlock.h"
#include "render/Renderer.h"
#include "render/Texture.h"
#include "render/VertexShader.h"
#include "render/programs/ShaderPrograms.h"
#include "scene/Node.h"
#include "scene/Triangles.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace nuv {

namespace {

// Pushes texture as the render target; false (nothing pushed) without one or when the device
// refused it.
bool PushTarget(Renderer& renderer, Texture* texture) {
    if (!texture) return false;
    const int depth = renderer.GetRenderTargetDepth();
    renderer.SetRenderTarget(texture);
    return renderer.GetRenderTargetDepth() > depth;
}

bool GlowSupported(const RendererCaps& caps) {
    auto atLeastOne = [](int level) { return level >= 1 && level != RendererCaps::kLevelNone; };
    return atLeastOne(caps.vertexLevel) && atLeastOne(caps.pixelLevel);
}

// Pass 1: the scene node's children are drawn into the screen texture.
class GlowCapturePass : public Pass {
    NUV_DECLARE_OBJECT
public:
    explicit GlowCapturePass(CustomGlowPostRenderEffect* effect = nullptr) : effect_(effect) {}

    int Apply() override {
        Renderer* renderer = ModuleManager::GetRenderer();
        if (!renderer || !effect_) return kNoDraw;
        effect_->BeginCapture(*renderer);
        renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, renderer->GetClearColor(), 1.0f, 0);
        renderer->DrawPrimitives(0);
        return kDraw;
    }

private:
    CustomGlowPostRenderEffect* effect_;
};

// Pass 2: the glow nodes, only where they are the visible surface of the captured scene.
class GlowSourcePass : public Pass {
    NUV_DECLARE_OBJECT
public:
    explicit GlowSourcePass(CustomGlowPostRenderEffect* effect = nullptr) : effect_(effect) {}

    int Apply() override {
        Renderer* renderer = ModuleManager::GetRenderer();
        if (!renderer || !effect_) return kNoDraw;
        const Renderer::ProfileScope section(*renderer, "glow sources");
        effect_->SetScale(effect_->GetScale());
        Texture* screen = effect_->GetScreenTexture();
        const bool capturing = screen && renderer->IsRenderTarget(screen);
        // Only targets pushed here are popped: one the device refused leaves the stack alone.
        if (PushTarget(*renderer, effect_->GetScreenGlowTexture())) {
            renderer->Clear(Renderer::kClearColor, Color(0.0f, 0.0f, 0.0f, 1.0f), 1.0f, 0);
            renderer->DrawPrimitives(0);
            renderer->SetEqualDepth(true);
            for (int i = 0; i < effect_->GetNodeCount(); ++i)
                if (Node* node = effect_->GetNode(i)) node->CullAndRender(*renderer);
            renderer->SetEqualDepth(false);
            renderer->SetRenderTarget(nullptr);
        }
        // The capture of the scene ends here.
        if (capturing) renderer->SetRenderTarget(nullptr);
        return kNoDraw;
    }

private:
    CustomGlowPostRenderEffect* effect_;
};

// Pass 3: shrink, blur across, blur down, and add over the capture.
class GlowCompositePass : public Pass {
    NUV_DECLARE_OBJECT
public:
    explicit GlowCompositePass(CustomGlowPostRenderEffect* effect = nullptr) : effect_(effect) {
        quadVertex_ = new (std::nothrow) VertexShader();
        downsample_ = new (std::nothrow) PixelShader();
        blur_ = new (std::nothrow) PixelShader();
        composite_ = new (std::nothrow) PixelShader();
        if (RenderStateBlock* block = GetStateBlock()) {
            // Whole-screen quads: nothing is culled, depth plays no part, samples stay at level 0.
            block->depthTestEnabled = 0;
            block->depthWriteEnabled = 0;
            block->cullEnabled = 0;
            for (int stage = 0; stage < 2; ++stage) {
                block->stages[stage].addressU = RenderStateBlock::kClamp;
                block->stages[stage].addressV = RenderStateBlock::kClamp;
                block->stages[stage].addressW = RenderStateBlock::kClamp;
                block->stages[stage].minFilter = 1;
            }
        }
    }

    void Refresh() override {
        Pass::Refresh();
        const Renderer* renderer = ModuleManager::GetRenderer();
        EffectConstants::SelectText(quadVertex_.Get(), renderer, ShaderPrograms::kScreenQuadVertex);
        EffectConstants::SelectText(downsample_.Get(), renderer, ShaderPrograms::kDownsamplePixel);
        EffectConstants::SelectText(blur_.Get(), renderer, ShaderPrograms::kBlurPixel);
        EffectConstants::SelectText(composite_.Get(), renderer, ShaderPrograms::kCompositePixel);
    }

    int Apply() override {
        Renderer* renderer = ModuleManager::GetRenderer();
        if (!renderer || !effect_) return kNoDraw;
        Texture* small = effect_->GetDownsampleTexture();
        Texture* blurred = effect_->GetBlurTexture();
        Texture* glow = effect_->GetScreenGlowTexture();
        Texture* screen = effect_->GetScreenTexture();
        renderer->SetCurrentGeometry(effect_->GetScreenQuad());
        if (Triangles* quad = effect_->GetScreenQuad()) renderer->BindPositions(quad->GetVertices());
        renderer->SetVertexShader(quadVertex_.Get());
        if (small && blurred && glow) {
            const float sw = float(Width(small)), sh = float(Height(small));
            const float bw = float(Width(blurred)), bh = float(Height(blurred));
            Step(*renderer, "glow down-sample", small, glow, downsample_.Get(), {-1.0f / sw, -1.0f / sh, 0.0f, 0.0f});
            Step(*renderer, "glow blur across", blurred, small, blur_.Get(),
                 {-effect_->GetBlurWidth() / bw, 0.0f, 0.0f, 0.0f});
            Step(*renderer, "glow blur down", small, blurred, blur_.Get(),
                 {0.0f, -effect_->GetBlurWidth() / bh, 0.0f, 0.0f});
        }
        const Renderer::ProfileScope section(*renderer, "glow composite");
        effect_->EndCapture(*renderer);
        const float w = float(screen ? Width(screen) : 1), h = float(screen ? Height(screen) : 1);
        EffectConstants::SetVertex(*renderer, 0, {-1.0f / w, -1.0f / h, 0.0f, 0.0f});
        renderer->SetTexture(small, 1);
        EffectConstants::SetPixel(*renderer, 0, {effect_->GetIntensity(), 0.0f, 0.0f, 0.0f});
        renderer->SetPixelShader(composite_.Get());
        if (!CompositeWhereItGlows(*renderer, small, screen)) renderer->DrawPrimitives(2);
        effect_->RestoreViewport();
        return kNoDraw;
    }

private:
    static int Width(const Texture* texture) { return texture->GetImage() ? texture->GetImage()->GetWidth() : 1; }
    static int Height(const Texture* texture) { return texture->GetImage() ? texture->GetImage()->GetHeight() : 1; }

    void Step(Renderer& renderer, const char* name, Texture* target, Texture* source, PixelShader* program,
              const Vector4& c0) {
        const Renderer::ProfileScope section(renderer, name);
        if (!PushTarget(renderer, target)) return;
        renderer.SetTexture(source, 0);
        EffectConstants::SetVertex(renderer, 0, c0);
        renderer.SetPixelShader(program);
        renderer.DrawPrimitives(2);
        renderer.SetRenderTarget(nullptr);
    }

    // Where the device draws with the CPU the composite costs by the pixels it covers, and the
    // glow is black over most of the screen, where the composite adds nothing to the capture:
    // there the capture is copied, and the composite is drawn only over the blocks of the glow
    // that hold light (grown by the reach of its bilinear reads). The picture is the one the
    // whole-screen composite gives. False when the device cannot read the glow back or copy
    // the capture: the caller draws the whole screen, as on a graphics card, where the
    // composite costs next to nothing and a read-back would stall the card.
    bool CompositeWhereItGlows(Renderer& renderer, Texture* small, Texture* screen) {
        int width = 0, height = 0;
        if (!small || !screen || !renderer.ReadTarget(small, width, height, glow_)) return false;
        if (width <= 0 || height <= 0 || !renderer.CopyTarget(screen)) return false;
        const int columns = (width + kBlock - 1) / kBlock, rows = (height + kBlock - 1) / kBlock;
        lit_.assign(size_t(columns) * size_t(rows), 0);
        for (int y = 0; y < height; ++y) {
            const uint8_t* texel = glow_.data() + size_t(y) * size_t(width) * 4;
            for (int x = 0; x < width; ++x, texel += 4)
                if (texel[0] | texel[1] | texel[2]) lit_[size_t(y / kBlock) * size_t(columns) + size_t(x / kBlock)] = 1;
        }
        // A pixel near a block's edge reads texels of the next block: a lit block lights its
        // eight neighbours (a block is wider than that reach).
        grown_.assign(lit_.size(), 0);
        for (int by = 0; by < rows; ++by)
            for (int bx = 0; bx < columns; ++bx) {
                if (!lit_[size_t(by) * size_t(columns) + size_t(bx)]) continue;
                for (int ny = std::max(0, by - 1); ny <= std::min(rows - 1, by + 1); ++ny)
                    for (int nx = std::max(0, bx - 1); nx <= std::min(columns - 1, bx + 1); ++nx)
                        grown_[size_t(ny) * size_t(columns) + size_t(nx)] = 1;
            }
        // One quad per run of lit blocks in a row, in the clip space of the screen quad, where
        // texture v = 0 is the top (y = 1).
        if (!tiles_ || !tileCorners_ || tileCorners_->GetCount() < int(lit_.size()) * 6) {
            tiles_ = new (std::nothrow) Triangles();
            tileCorners_ = new (std::nothrow) Vector3Buffer(int(lit_.size()) * 6);
            if (!tiles_ || !tileCorners_ || !tileCorners_->GetElements()) {
                // The whole-screen composite goes over the copy.
                tiles_.Reset();
                tileCorners_.Reset();
                return false;
            }
            tiles_->SetVertices(tileCorners_.Get());
        }
        Vector3* corner = tileCorners_->GetElements();
        int quads = 0;
        for (int by = 0; by < rows; ++by) {
            for (int bx = 0; bx < columns;) {
                if (!grown_[size_t(by) * size_t(columns) + size_t(bx)]) {
                    ++bx;
                    continue;
                }
                const int first = bx;
                while (bx < columns && grown_[size_t(by) * size_t(columns) + size_t(bx)]) ++bx;
                const float left = 2.0f * float(first * kBlock) / float(width) - 1.0f;
                const float right = std::min(1.0f, 2.0f * float(bx * kBlock) / float(width) - 1.0f);
                const float top = 1.0f - 2.0f * float(by * kBlock) / float(height);
                const float bottom = std::max(-1.0f, 1.0f - 2.0f * float((by + 1) * kBlock) / float(height));
                const Vector3 quad[6] = {{left, top, 0},  {right, top, 0},    {left, bottom, 0},
                                         {right, top, 0}, {right, bottom, 0}, {left, bottom, 0}};
                std::copy(quad, quad + 6, corner + quads * 6);
                ++quads;
            }
        }
        if (quads == 0) return true;
        tileCorners_->MarkDirty();
        renderer.SetCurrentGeometry(tiles_.Get());
        renderer.BindPositions(tileCorners_.Get());
        renderer.DrawPrimitives(quads * 2);
        return true;
    }

    // Glow texels per block side: wider than the two texels a bilinear read of a pixel near a
    // block's edge can reach.
    static constexpr int kBlock = 4;

    CustomGlowPostRenderEffect* effect_;
    Pointer<VertexShader> quadVertex_;
    Pointer<PixelShader> downsample_, blur_, composite_;
    std::vector<uint8_t> glow_, lit_, grown_;
    Pointer<Triangles> tiles_;
    Pointer<Vector3Buffer> tileCorners_;
};

// Without programs: the scene node draws its children straight to the back buffer.
class GlowStraightPass : public Pass {
    NUV_DECLARE_OBJECT
public:
    int Apply() override { return kDraw; }
};

NUV_IMPLEMENT_ABSTRACT_OBJECT(GlowCapturePass, Pass)
NUV_IMPLEMENT_ABSTRACT_OBJECT(GlowSourcePass, Pass)
NUV_IMPLEMENT_ABSTRACT_OBJECT(GlowCompositePass, Pass)
NUV_IMPLEMENT_ABSTRACT_OBJECT(GlowStraightPass, Pass)

} // namespace

NUV_IMPLEMENT_OBJECT(CustomGlowPostRenderEffect, PostRenderEffect)

CustomGlowPostRenderEffect::CustomGlowPostRenderEffect() : PostRenderEffect(NoTechniques{}) {
    auto* glow = new (std::nothrow) CapsTechnique(GlowSupported);
    if (glow) {
        glow->AddPass(Pointer<Pass>(new (std::nothrow) GlowCapturePass(this)).Get());
        glow->AddPass(Pointer<Pass>(new (std::nothrow) GlowSourcePass(this)).Get());
        glow->AddPass(Pointer<Pass>(new (std::nothrow) GlowCompositePass(this)).Get());
        AddTechnique(glow);
    }
    auto* straight = new (std::nothrow) CapsTechnique(CapsTechnique::Always);
    if (straight) {
        straight->AddPass(Pointer<Pass>(new (std::nothrow) GlowStraightPass()).Get());
        AddTechnique(straight);
    }
}

CustomGlowPostRenderEffect::~CustomGlowPostRenderEffect() = default;

void CustomGlowPostRenderEffect::AddNode(Node* node) {
    if (node) nodes_.emplace_back(node);
}

Node* CustomGlowPostRenderEffect::GetNode(int index) const {
    return index >= 0 && index < GetNodeCount() ? nodes_[size_t(index)].Get() : nullptr;
}

int CustomGlowPostRenderEffect::GlowSize(int screen, float scale) {
    if (screen <= 0) return 1;
    const double size = double(screen) * double(scale);
    if (!(size >= 1.0)) return 1; // also NaN
    return size >= double(screen) ? screen : int(size);
}

Pointer<Texture> CustomGlowPostRenderEffect::MakeTarget(const char* texture, const char* image, int width, int height) {
    // A size and no pixels: only the device draws into it.
    Pointer<Texture> target = new (std::nothrow) Texture();
    Pointer<Image> picture = new (std::nothrow) Image();
    if (!target || !picture) return nullptr;
    picture->SetName(String(image));
    picture->AdoptPixels(width, height, Image::kRgba, nullptr);
    target->SetName(String(texture));
    target->SetImage(picture.Get());
    target->SetMipmapLevels(1); // read at level 0 only
    // No depth surface of their own: the glow source is tested against the captured depth.
    target->SetFlags(0);
    return target;
}

void CustomGlowPostRenderEffect::SetScale(float scale) {
    scale_ = scale;
    const Texture* screen = GetScreenTexture();
    const Image* image = screen ? screen->GetImage() : nullptr;
    if (!image) return;
    const int width = image->GetWidth(), height = image->GetHeight();
    const int smallWidth = GlowSize(width, scale), smallHeight = GlowSize(height, scale);
    auto matches = [](const Texture* texture, int w, int h) {
        const Image* picture = texture ? texture->GetImage() : nullptr;
        return picture && picture->GetWidth() == w && picture->GetHeight() == h;
    };
    if (!matches(downsample_.Get(), smallWidth, smallHeight) || !matches(blur_.Get(), smallWidth, smallHeight)) {
        downsample_ =
            MakeTarget("Downsample Custom Glow Texture", "Downsample Custom Glow Image", smallWidth, smallHeight);
        blur_ = MakeTarget("Blur Custom Glow Texture", "Blur Custom Glow Image", smallWidth, smallHeight);
    }
    if (!matches(screenGlow_.Get(), width, height))
        screenGlow_ = MakeTarget("Screen Glow Texture", "Screen Glow Image", width, height);
}

int CustomGlowPostRenderEffect::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Follow(PostRenderEffect::Save(stream))
        .Float(blurWidth_)
        .Float(intensity_)
        .Float(scale_)
        .Check("Невозможно сохранить данные свечения. Имя[%s] ID[%d]")
        .Int(int32_t(nodes_.size()));
    for (const Pointer<Node>& node : nodes_) out.Link(node.Get());
    out.Check("Невозможно сохранить узлы свечения. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int CustomGlowPostRenderEffect::Load(Stream& stream) {
    FieldReader in(stream, *this);
    float blurWidth = 0.0f, intensity = 0.0f, scale = 0.0f;
    in.Follow(PostRenderEffect::Load(stream))
        .Float(blurWidth)
        .Float(intensity)
        .Float(scale)
        .Check("Невозможно загрузить данные свечения. ID[%d] Имя[%s]");
    if (!in) return in.GetStatus();
    blurWidth_ = blurWidth;
    intensity_ = intensity;
    scale_ = scale;
    nodes_.clear();
    int32_t count = 0;
    // Links are read one at a time: a forged count ends at the stream's end, not in an allocation.
    in.Count(count, "Невозможно загрузить узлы свечения. Имя[%s] ID[%d]");
    for (int32_t i = 0; in && i < count; ++i) {
        Node* node = nullptr;
        if (in.Link(node, "Невозможно загрузить узлы свечения. Имя[%s] ID[%d]")) AddNode(node);
    }
    return in.GetStatus();
}

void CustomGlowPostRenderEffect::VisitLinks(LinkVisitor& visitor) {
    PostRenderEffect::VisitLinks(visitor);
    visitor.VisitList(*this, nodes_);
}

} // namespace nuv
