#include "render/ShadowmapEffect.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
#include "core/Log.h"
#include "core/Stream.h"
#include "media/ModuleManager.h"
#include "media/image/Image.h"
#include "render/CapsTechnique.h"
#include "render/EffectConstants.h"
#include "render/GeometryNodeEffect.h"
#include "render/Pass.h"
#include "render/PixelShader.h"
#include "render/RenderStateBlock.h"
#include "render/Renderer.h"
#include "render/Texture.h"
#include "render/VertexShader.h"
#include "render/programs/ShaderPrograms.h"
#include "scene/Camera.h"
#include "scene/GeometryNode.h"
#include "scene/Light.h"
#include "scene/SphereBoundingVolume.h"
#include "scene/Triangles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>

namespace nuv {

namespace {

Vector3 Normalized(const Vector3& v) {
    const float length = v.Length();
    return length > 0.0f ? v / length : v;
}

// Any axis across the direction, for the orthographic view.
Vector3 AcrossAxis(const Vector3& direction) {
    return std::fabs(direction.y) < 0.99f ? Vector3(0.0f, 1.0f, 0.0f) : Vector3(0.0f, 0.0f, 1.0f);
}

// The scene pass of both techniques: it binds the quad, draws nothing itself and lets the scene
// node draw its children.
class ShadowScenePass : public Pass {
    NUV_DECLARE_OBJECT
public:
    explicit ShadowScenePass(ShadowmapEffect* effect = nullptr) : effect_(effect) {}

    int Apply() override {
        Renderer* renderer = ModuleManager::GetRenderer();
        Triangles* quad = effect_ ? effect_->GetScreenQuad() : nullptr;
        if (!renderer || !quad) return kDraw;
        renderer->SetCurrentGeometry(quad);
        renderer->BindPositions(quad->GetVertices());
        renderer->DrawPrimitives(0);
        return kDraw;
    }

private:
    ShadowmapEffect* effect_;
};

// Draws every node of the effect again, darkening what the light does not reach.
class ShadowReceiverPass : public Pass {
    NUV_DECLARE_OBJECT
public:
    explicit ShadowReceiverPass(ShadowmapEffect* effect = nullptr) : effect_(effect) {
        vertex_ = new (std::nothrow) VertexShader();
        sway_ = new (std::nothrow) VertexShader();
        skinned_ = new (std::nothrow) VertexShader();
        single_ = new (std::nothrow) PixelShader();
        filtered_ = new (std::nothrow) PixelShader();
        if (RenderStateBlock* block = GetStateBlock()) {
            // Only the pixels the scene drew, blended by the shadow colour's alpha.
            block->depthWriteEnabled = 0;
            block->depthComparison = RenderStateBlock::kEqual;
            block->blendEnabled = 1;
            block->sourceBlend = RenderStateBlock::kBlendSrcAlpha;
            block->destinationBlend = RenderStateBlock::kBlendInvSrcAlpha;
            for (int stage = 0; stage < 2; ++stage) {
                block->stages[stage].addressU = 0;
                block->stages[stage].addressV = 0;
                block->stages[stage].addressW = 0;
                // The map has no lower levels.
                block->stages[stage].minFilter = 1;
            }
        }
    }

    void Refresh() override {
        Pass::Refresh();
        const Renderer* renderer = ModuleManager::GetRenderer();
        EffectConstants::SelectText(vertex_.Get(), renderer, ShaderPrograms::kShadowVertex);
        EffectConstants::SelectText(sway_.Get(), renderer, ShaderPrograms::kShadowSwayVertex);
        EffectConstants::SelectText(skinned_.Get(), renderer, ShaderPrograms::kShadowSkinnedVertex);
        EffectConstants::SelectText(single_.Get(), renderer, ShaderPrograms::kShadowPixel);
        EffectConstants::SelectText(filtered_.Get(), renderer, ShaderPrograms::kShadowFilteredPixel);
    }

    int Apply() override {
        Renderer* renderer = ModuleManager::GetRenderer();
        Triangles* quad = effect_ ? effect_->GetScreenQuad() : nullptr;
        EffectConstants::View view;
        if (!renderer || !quad || !EffectConstants::GetView(*renderer, view)) return kNoDraw;
        renderer->SetCurrentGeometry(quad);
        renderer->BindPositions(quad->GetVertices());
        renderer->BindIndices(quad->GetIndices());
        renderer->DrawPrimitives(0);
        Texture* map = effect_->GetShadowmap();
        renderer->SetTexture(map, 0);
        const Image* image = map ? map->GetImage() : nullptr;
        if (effect_->GetFiltering() && renderer->GetCaps().pixelLevel >= 1 &&
            renderer->GetCaps().pixelLevel != RendererCaps::kLevelNone && image && image->GetWidth() > 0 &&
            image->GetHeight() > 0) {
            renderer->SetPixelShader(filtered_.Get());
            EffectConstants::SetPixel(*renderer, 0,
                                      {1.0f / float(image->GetWidth()), 1.0f / float(image->GetHeight()), 0.0f, 0.0f});
        } else {
            renderer->SetPixelShader(single_.Get());
        }
        const Color& c = effect_->GetShadowColor();
        const Vector4 color(c.r, c.g, c.b, c.a);
        const Matrix4& shadow = effect_->GetShadowTextureMatrix();
        const int vertexLevel = renderer->GetCaps().vertexLevel;
        Camera* camera = renderer->GetCamera();
        for (int i = 0; i < effect_->GetNodeCount(); ++i) {
            GeometryNode* node = effect_->GetNode(i);
            GeometryNodeEffect* own = node ? node->GetEffect() : nullptr;
            if (!node || !node->GetIndices()) continue;
            // A receiver out of view has no pixel to darken: it is not sent to the device.
            if (camera && node->GetWorldBound()) {
                const int32_t mask = camera->GetPlaneMask();
                camera->SetPlaneMask(Camera::kAllPlanes);
                const bool culled = camera->IsCulled(node->GetWorldBound());
                camera->SetPlaneMask(mask);
                if (culled) continue;
            }
            if (own && own->GetSkinController() && (vertexLevel == 1 || vertexLevel == 2)) {
                // The skinned stream layout comes from the skin controller; the node is drawn as
                // the current geometry so its blend streams reach the program.
                renderer->SetCurrentGeometry(node);
                renderer->SetVertexShader(skinned_.Get());
                if (EffectConstants::SetSkinned(*renderer, *own, view)) {
                    EffectConstants::SetVertexMatrix(*renderer, 208, shadow);
                    EffectConstants::SetVertex(*renderer, 212, color);
                    renderer->BindIndices(node->GetIndices());
                    renderer->DrawIndexed();
                }
                renderer->BindBlendWeights(nullptr);
                renderer->BindBlendIndices(nullptr);
                renderer->SetCurrentGeometry(quad);
                continue;
            }
            const Matrix4 world = node->GetWorldTransform().ToMatrix();
            const bool sway = own && own->swayEnabled;
            renderer->SetVertexShader(sway ? sway_.Get() : vertex_.Get());
            EffectConstants::SetVertexMatrix(*renderer, 0, world * view.viewProjection);
            EffectConstants::SetVertexMatrix(*renderer, 4, world * shadow);
            EffectConstants::SetVertex(*renderer, 8, color);
            if (sway) EffectConstants::SetVertex(*renderer, 9, EffectConstants::SwayRegister(*own));
            renderer->DrawBuffers(node->GetVertices(), node->GetIndices(), nullptr, nullptr, nullptr);
        }
        return kNoDraw;
    }

private:
    ShadowmapEffect* effect_;
    Pointer<VertexShader> vertex_, sway_, skinned_;
    Pointer<PixelShader> single_, filtered_;
};

NUV_IMPLEMENT_ABSTRACT_OBJECT(ShadowScenePass, Pass)
NUV_IMPLEMENT_ABSTRACT_OBJECT(ShadowReceiverPass, Pass)

bool HardwareShadows(const RendererCaps& caps) {
    return caps.shadowMaps && caps.vertexLevel != RendererCaps::kLevelNone && caps.pixelLevel >= 1 &&
           caps.pixelLevel != RendererCaps::kLevelNone;
}

} // namespace

NUV_IMPLEMENT_OBJECT(ShadowmapEffect, SceneNodeEffect)

ShadowmapEffect::ShadowmapEffect() {
    focus_ = new (std::nothrow) SphereBoundingVolume();
    camera_ = new (std::nothrow) Camera();

    // Six positions and the indices 0..5: enough to close a pass's recording.
    screenQuad_ = EffectConstants::MakeScreenQuad();

    // The map's picture has no pixels: the device only draws depth into it.
    Pointer<Texture> map = new (std::nothrow) Texture();
    Pointer<Image> image = new (std::nothrow) Image();
    if (map && image) {
        char name[48];
        std::snprintf(name, sizeof(name), "Shadowmap %d", map->GetId());
        map->SetName(String(name));
        image->SetName(String(name));
        image->AdoptPixels(kDefaultMapSize, kDefaultMapSize, 4, nullptr);
        map->SetImage(image.Get());
        SetShadowmap(map.Get());
    }

    auto* hardware = new (std::nothrow) CapsTechnique(HardwareShadows);
    if (hardware) {
        hardware->AddPass(Pointer<Pass>(new (std::nothrow) ShadowScenePass(this)).Get());
        hardware->AddPass(Pointer<Pass>(new (std::nothrow) ShadowReceiverPass(this)).Get());
        AddTechnique(hardware);
    }
    auto* fallback = new (std::nothrow) CapsTechnique(CapsTechnique::Always);
    if (fallback) {
        fallback->AddPass(Pointer<Pass>(new (std::nothrow) ShadowScenePass(this)).Get());
        AddTechnique(fallback);
    }
}

ShadowmapEffect::~ShadowmapEffect() = default;

void ShadowmapEffect::SetShadowmap(Texture* texture) {
    if (texture == shadowmap_.Get()) return;
    shadowmap_ = texture;
    colorTarget_ = nullptr;
    const Image* image = texture ? texture->GetImage() : nullptr;
    if (!image || image->GetWidth() <= 0 || image->GetHeight() <= 0) return;
    // The colour surface the depth target is paired with; it keeps no depth of its own.
    // Its picture has a size and no pixels: only the device draws into it (and a forged map
    // size becomes no allocation here).
    Pointer<Texture> target = new (std::nothrow) Texture();
    Pointer<Image> picture = new (std::nothrow) Image();
    if (!target || !picture) return;
    picture->AdoptPixels(image->GetWidth(), image->GetHeight(), Image::kRgba, nullptr);
    target->SetImage(picture.Get());
    target->SetMipmapLevels(1); // never read
    target->SetFlags(0);
    colorTarget_ = target;
}

void ShadowmapEffect::SetShadowLight(Light* light) {
    light_ = light;
}

void ShadowmapEffect::AddNode(GeometryNode* node) {
    if (node) nodes_.emplace_back(node);
}

GeometryNode* ShadowmapEffect::GetNode(int index) const {
    return index >= 0 && index < GetNodeCount() ? nodes_[size_t(index)].Get() : nullptr;
}

void ShadowmapEffect::SetFiltering(bool on) {
    filtering_ = on ? 1 : 0;
}

Object* ShadowmapEffect::FindByName(const String& name) {
    if (Object* found = SceneNodeEffect::FindByName(name)) return found;
    return shadowmap_ ? shadowmap_->FindByName(name) : nullptr;
}

void ShadowmapEffect::CollectByType(const Rtti& type, Array<Object*>& found) {
    SceneNodeEffect::CollectByType(type, found);
    if (shadowmap_) shadowmap_->CollectByType(type, found);
}

Matrix4 ShadowmapEffect::BiasMatrix(int width, int height) {
    const float w = width > 0 ? float(width) : 1.0f;
    const float h = height > 0 ? float(height) : 1.0f;
    return Matrix4(0.5f, 0.0f, 0.0f, 0.0f, 0.0f, -0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.5f + 0.5f / w,
                   0.5f + 0.5f / h, 0.0f, 1.0f);
}

bool ShadowmapEffect::LightMatrices(const Vector3& lightDirection, float lightDistance, const Vector3& center,
                                    float radius, const Vector3& eye, const Vector3& forward, float nearPlane,
                                    float farPlane, bool warping, float limit, Matrix4& view, Matrix4& projection) {
    Vector3 l = Normalized(lightDirection);
    if (l.LengthSquared() == 0.0f) l = Vector3(0.0f, -1.0f, 0.0f);
    const float r = std::max(radius, 1e-3f);
    const Vector3 v = Normalized(forward);
    const float cosGamma = Dot(l, v);

    if (warping && std::fabs(cosGamma) <= limit && v.LengthSquared() > 0.0f) {
        // Light space: x across, y along the view direction seen from the light, z along the
        // light; the warp is a perspective along y with its apex on the viewer's side.
        const float sinGamma = std::sqrt(std::max(0.0f, 1.0f - cosGamma * cosGamma));
        const float ahead = Dot(center - eye, v);
        const float zn = std::max(nearPlane, ahead - r);
        const float zf = std::min(farPlane, ahead + r);
        if (sinGamma > 1e-4f && zn > 0.0f && zf > zn) {
            const Vector3 up = Normalized(v - l * cosGamma);
            view = Matrix4::LookToLH(center - l * (r * 2.0f), l, up);
            const Vector3 c = view.TransformPoint(center);
            const float depth = 2.0f * r; // the focus box along y
            const float n = (zn + std::sqrt(zn * zf)) / sinGamma;
            const float f = n + depth;
            // Apex before the near side of the box, centred in x and z.
            const Vector3 apex(c.x, c.y - r - n, c.z);
            const float a = f / (f - n), b = -n * f / (f - n);
            // (x, y, z) -> (x, a y + b, z, y): perspective along y, depth still along the light.
            const Matrix4 warp(1, 0, 0, 0, 0, a, 0, 1, 0, 0, 1, 0, 0, b, 0, 0);
            const Matrix4 toApex = Matrix4::Translation(-apex.x, -apex.y, -apex.z) * warp;
            // The warped box: its corners set the axis-aligned box that the projection fits.
            float lo[3] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                           std::numeric_limits<float>::max()};
            float hi[3] = {-lo[0], -lo[1], -lo[2]};
            for (int i = 0; i < 8; ++i) {
                const Vector4 corner(c.x + ((i & 1) ? r : -r), c.y + ((i & 2) ? r : -r), c.z + ((i & 4) ? r : -r),
                                     1.0f);
                const Vector4 q = corner * toApex;
                if (!(q.w > 0.0f))
                    return LightMatrices(l, lightDistance, center, radius, eye, forward, nearPlane, farPlane, false,
                                         limit, view, projection);
                const float p[3] = {q.x / q.w, q.y / q.w, q.z / q.w};
                for (int k = 0; k < 3; ++k) {
                    lo[k] = std::min(lo[k], p[k]);
                    hi[k] = std::max(hi[k], p[k]);
                }
            }
            const float sx = 2.0f / std::max(hi[0] - lo[0], 1e-6f), sy = 2.0f / std::max(hi[1] - lo[1], 1e-6f);
            const float sz = 1.0f / std::max(hi[2] - lo[2], 1e-6f);
            const Matrix4 fit(sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, -(hi[0] + lo[0]) * 0.5f * sx,
                              -(hi[1] + lo[1]) * 0.5f * sy, -lo[2] * sz, 1);
            projection = toApex * fit;
            return true;
        }
    }
    // Along the light at the centre, from the light's distance (far enough to hold the sphere).
    const float distance = std::max(lightDistance, r + 0.2f);
    view = Matrix4::LookToLH(center - l * distance, l, AcrossAxis(l));
    projection = Matrix4::OrthoLH(2.0f * r, 2.0f * r, 0.1f, distance + r);
    return false;
}

void ShadowmapEffect::UpdateFocus() {
    if (!focus_) return;
    bool first = true;
    for (const Pointer<GeometryNode>& node : nodes_) {
        const BoundingVolume* bound = node ? node->GetWorldBound() : nullptr;
        if (!bound || bound->GetKind() != BoundingVolume::kSphere) continue;
        // Geometry skinned in its program has an unbounded sphere: it says nothing about where
        // the node is, and merged in it would spread the map over the whole world.
        const float radius = static_cast<const SphereBoundingVolume*>(bound)->GetRadius();
        if (!std::isfinite(radius) || radius > 1e18f) continue;
        if (first)
            focus_->CopyFrom(bound);
        else
            focus_->Merge(bound);
        first = false;
    }
}

void ShadowmapEffect::RenderShadowmap(Renderer& renderer, Camera& lightCamera) {
    if (!shadowmap_ || !light_) return;
    const Renderer::ProfileScope section(renderer, "shadow depth");
    // Only what was pushed here is popped: a target the device refused leaves the stack as it was.
    const int outside = renderer.GetRenderTargetDepth();
    if (colorTarget_) renderer.SetRenderTarget(colorTarget_.Get());
    const int withColor = renderer.GetRenderTargetDepth();
    renderer.SetShadowmapTarget(shadowmap_.Get(), depthBias_, slopeScaledBias_);
    if (renderer.GetRenderTargetDepth() == withColor) {
        while (renderer.GetRenderTargetDepth() > outside) renderer.SetRenderTarget(nullptr);
        return;
    }
    renderer.Clear(Renderer::kClearDepth, Color(), 1.0f, 0);

    UpdateFocus();
    const Vector3 center = focus_ ? focus_->GetCenter() : Vector3();
    const float radius = focus_ ? focus_->GetRadius() : 1.0f;
    Vector3 direction = light_->GetDirection();
    const int type = light_->GetLightType();
    if (type == Light::kPoint) {
        const Vector3 toCenter = center - light_->GetPosition();
        if (toCenter.LengthSquared() > 0.0f) direction = toCenter;
    }
    Matrix4 view, projection;
    Camera* camera = renderer.GetCamera();
    const Vector3 eye = camera ? camera->GetViewPosition() : Vector3();
    const Vector3 forward = camera ? camera->GetForward() : Vector3(0.0f, 0.0f, 1.0f);
    lastWarped_ = LightMatrices(direction, Distance(light_->GetPosition(), center), center, radius, eye, forward,
                                camera ? camera->GetNearPlane() : 0.1f, camera ? camera->GetFarPlane() : 10000.0f,
                                perspectiveWarping_ != 0, viewAngleLimit_, view, projection);
    lightCamera.SetMatrices(view, projection);
    if (camera_) camera_->SetMatrices(view, projection);

    // The casters from the light; the renderer's camera comes back afterwards.
    const Pointer<Camera> saved(camera);
    renderer.SetCamera(&lightCamera);
    const int32_t planes = lightCamera.GetPlaneMask();
    for (const Pointer<GeometryNode>& node : nodes_)
        if (node) node->CullAndRender(renderer);
    lightCamera.SetPlaneMask(planes);
    renderer.SetCamera(saved.Get());

    const Image* image = shadowmap_->GetImage();
    shadowTextureMatrix_ = lightCamera.GetViewProjection() * BiasMatrix(image ? image->GetWidth() : kDefaultMapSize,
                                                                        image ? image->GetHeight() : kDefaultMapSize);
    renderer.SetShadowmapTarget(nullptr, 0, 0.0f);
    while (renderer.GetRenderTargetDepth() > outside) renderer.SetRenderTarget(nullptr);
    // The fixed-function passes take the device matrices from the camera again.
    if (saved) {
        renderer.SetViewMatrix(saved->GetView());
        renderer.SetProjectionMatrix(saved->GetProjection());
    }
}

int ShadowmapEffect::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Follow(SceneNodeEffect::Save(stream))
        .Link(light_.Get(), "Невозможно сохранить источник света. Имя[%s] ID[%d]")
        .Link(shadowmap_.Get(), "Невозможно сохранить шадамап. Имя[%s] ID[%d]")
        .Color(shadowColor_)
        .Byte((filtering_ ? 2 : 0) | (perspectiveWarping_ ? 1 : 0))
        .Int(depthBias_)
        .Float(slopeScaledBias_)
        .Float(viewAngleLimit_)
        .Check("Невозможно сохранить источник света. Имя[%s] ID[%d]");
    if (!out) return out.GetStatus();
    FieldWriter nodes(stream);
    nodes.Int(int32_t(nodes_.size()), "Невозможно сохранить количество объектов.");
    for (size_t i = 0; nodes && i < nodes_.size(); ++i)
        if (!nodes.Link(nodes_[i].Get()).Check()) LogError("Невозможно сохранить объект [%d].", int(i));
    return out.Check("Невозможно сохранить узлы. Имя[%s] ID[%d]").GetStatus();
}

int ShadowmapEffect::Load(Stream& stream) {
    FieldReader in(stream, *this);
    Light* light = nullptr;
    if (!in.Follow(SceneNodeEffect::Load(stream)).Link(light, "Невозможно загрузить источник света. Имя[%s] ID[%d]"))
        return in.GetStatus();
    SetShadowLight(light);
    Texture* map = nullptr;
    if (!in.Link(map, "Невозможно загрузить карту теней. ID[%d] Имя[%s]")) return in.GetStatus();
    SetShadowmap(map);
    uint8_t flags = 0;
    int32_t depthBias = 0;
    float slope = 0.0f, limit = 0.0f;
    in.Color(shadowColor_)
        .Byte(flags)
        .Int(depthBias)
        .Float(slope)
        .Float(limit)
        .Check("Невозможно загрузить цвет тени. Имя[%s] ID[%d]");
    if (!in) return in.GetStatus();
    filtering_ = (flags & 2) ? 1 : 0;
    perspectiveWarping_ = (flags & 1) ? 1 : 0;
    depthBias_ = depthBias;
    slopeScaledBias_ = slope;
    viewAngleLimit_ = limit;
    nodes_.clear();
    FieldReader nodes(stream);
    int32_t count = 0;
    nodes.Count(count, "Невозможно загрузить количество объектов.");
    // Links are read one at a time: a forged count ends at the stream's end, not in an allocation.
    for (int32_t i = 0; nodes && i < count; ++i) {
        GeometryNode* node = nullptr;
        if (nodes.Link(node).Check())
            AddNode(node);
        else
            LogError("Невозможно загрузить объект [%d].", int(i));
    }
    return in.Check("Невозможно загрузить узлы. Имя[%s] ID[%d]", bool(nodes)).GetStatus();
}

void ShadowmapEffect::VisitLinks(LinkVisitor& visitor) {
    SceneNodeEffect::VisitLinks(visitor);
    if (visitor.Refuses(*this, light_)) SetShadowLight(nullptr);
    if (visitor.Refuses(*this, shadowmap_)) SetShadowmap(nullptr);
    visitor.VisitList(*this, nodes_);
}

} // namespace nuv
