#include "render/Renderer.h"

#include "core/Log.h"
#include "core/Status.h"
#include "media/image/Image.h"
#include "render/BaseTexture.h"
#include "render/GeometryNodeEffect.h"
#include "render/Pass.h"
#include "render/Technique.h"
#include "scene/Camera.h"
#include "scene/GeometryNode.h"
#include "scene/Light.h"

#include <algorithm>
#include <cstring>

namespace nuv {

bool RendererCaps::GeneratesMipmaps(bool cube, int imageFormat) const {
    const int kind = imageFormat == Image::kWide ? 1 : imageFormat == Image::kRgb ? 2 : 3;
    return mipmapGeneration[(cube ? 4 : 0) + kind] != 0;
}

namespace {

// Filled in by the sound system and the host; the renderer only reads them.
const ListenerCalls* gListenerCalls = nullptr;
const WindowCalls* gWindowCalls = nullptr;
Renderer::MessageFunction gMessageFunction = nullptr;

// Window planes (and what derives from them) are drawn after the sorted blended geometry. The
// class lives with the scene's special nodes, so it is recognised by its type record's name.
bool IsWindowPlane(const GeometryNode* geometry) {
    static const String kWindowPlane("Nuv.WindowPlane");
    for (const Rtti* type = &geometry->GetType(); type; type = type->GetParent())
        if (type->GetName() == kWindowPlane) return true;
    return false;
}

} // namespace

Renderer::Renderer() = default;

Renderer::~Renderer() = default;

void Renderer::SetListenerCalls(const ListenerCalls* calls) {
    gListenerCalls = calls;
}

void Renderer::SetWindowCalls(const WindowCalls* calls) {
    gWindowCalls = calls;
}

void Renderer::SetMessageFunction(MessageFunction function) {
    gMessageFunction = function;
}

void Renderer::ShowMessage(const char* text) {
    if (gMessageFunction)
        gMessageFunction(text);
    else
        ShowMessageBox(text);
}

int Renderer::Open(int modeIndex, const String& title, void* parentWindow, int x, int y, int width, int height) {
    if (window_ && Close() != kStatusOk) {
        LogError("Закрытие окна неудачно.");
        return kStatusFailed;
    }
    if (modeIndex < 0 || modeIndex >= GetModeCount()) return kStatusNotFound;
    const DisplayMode& mode = modes_[size_t(modeIndex)];
    if (mode.fullScreen) {
        x = 0;
        y = 0;
        width = mode.width;
        height = mode.height;
    }
    void* window = nullptr;
    if (!gWindowCalls || !gWindowCalls->create ||
        gWindowCalls->create(&window, title, parentWindow, mode.fullScreen != 0, mode.colorBits, x, y, width,
                             height) != kStatusOk ||
        !window) {
        LogError("Создание окна неудачно.");
        return kStatusFailed;
    }
    window_ = window;
    return CreateDevice(modeIndex, title, parentWindow, x, y, width, height);
}

int Renderer::Close() {
    currentGeometry_.Reset();
    if (DestroyDevice() != kStatusOk) return kStatusFailed;
    if (!window_) return kStatusNotFound;
    if (!gWindowCalls || !gWindowCalls->destroy || gWindowCalls->destroy(window_) != kStatusOk) {
        LogError("Закрытие окна неудачно.");
        return kStatusFailed;
    }
    window_ = nullptr;
    return kStatusOk;
}

int Renderer::BeginFrame() {
    if (!camera_) {
        camera_ = new (std::nothrow) Camera();
        if (!camera_) {
            LogError("Недостаточно памяти для создания камеры.");
            return kStatusNoMemory;
        }
    }
    // The camera's own update: its controllers (aim, path) and its world transform, also for a
    // camera outside the scene tree or one aimed at a node updated after it.
    camera_->UpdateTree(0.0, true);
    const int status = BeginScene();
    // Steps registered while the list runs wait for the next frame. With a lost device nothing
    // may be drawn, so the steps are dropped with the list (their controllers list them again).
    std::vector<PreRenderEntry> steps;
    steps.swap(preRender_);
    if (status == kStatusOk)
        for (PreRenderEntry& entry : steps) entry.step->PostUpdate();
    steps.clear();
    // What the frame draws outside every other section: the scene's opaque geometry.
    if (profiling_) {
        openSections_.clear();
        OpenSection("opaque");
    }

    if (gListenerCalls && gListenerCalls->set3DPosition && gListenerCalls->apply3D) {
        const Vector3 front = camera_->GetForward();
        const Vector3 top = camera_->GetUp();
        gListenerCalls->set3DPosition(nullptr, nullptr, &front, &top);
        gListenerCalls->apply3D();
    }
    return status;
}

void Renderer::EndFrame() {
    FlushDeferred();
    currentGeometry_.Reset();
    if (profiling_) {
        openSections_.clear();
        SwitchProfileRun(-1);
    }
    EndScene();
    // Gathered every frame, so the device keeps a frame's measures at most.
    if (profiling_) CollectProfile(profile_);
}

void Renderer::SetProfiling(bool on) {
    if (on == (profiling_ != 0)) return;
    if (!on) {
        openSections_.clear();
        SwitchProfileRun(-1);
        CollectProfile(profile_);
    } else {
        profile_.clear();
    }
    profiling_ = on ? 1 : 0;
}

std::vector<Renderer::ProfileEntry> Renderer::GetProfile() {
    if (profiling_) CollectProfile(profile_);
    return profile_;
}

void Renderer::OpenSection(const char* name) {
    openSections_.emplace_back(name ? name : "");
    ResumeSection();
}

void Renderer::CloseSection() {
    if (openSections_.empty()) return;
    openSections_.pop_back();
    if (openSections_.empty())
        SwitchProfileRun(-1);
    else
        ResumeSection();
}

void Renderer::ResumeSection() {
    if (openSections_.empty()) return;
    std::string name = openSections_.back();
    if (const BaseTexture* target = GetTopRenderTarget()) {
        // A target without a name is told by its object ID.
        const char* targetName = target->GetName().GetText();
        name += " [";
        name += targetName && *targetName ? std::string(targetName) : "#" + std::to_string(target->GetId());
        name += "]";
    }
    size_t index = 0;
    while (index < profile_.size() && profile_[index].name != name) ++index;
    if (index == profile_.size()) {
        ProfileEntry entry;
        entry.name = std::move(name);
        profile_.push_back(std::move(entry));
    }
    SwitchProfileRun(int(index));
}

void Renderer::SetCurrentGeometry(GeometryNode* geometry) {
    currentGeometry_ = geometry;
}

int Renderer::ApplyPass(Technique* technique, int index) {
    Pass* pass = technique ? technique->GetPass(index) : nullptr;
    if (!pass) return Pass::kNoDraw;
    currentPass_ = pass;
    BeginPass(pass);
    return pass->Apply();
}

void Renderer::AddPreRender(RefCounted* owner, PreRenderStep* step) {
    if (!owner || !step) return;
    for (const PreRenderEntry& entry : preRender_)
        if (entry.step == step) return;
    preRender_.push_back({Pointer<RefCounted>(owner), step});
}

void Renderer::DrawGeometry(GeometryNode* geometry) {
    if (!geometry) return;
    GeometryNodeEffect* effect = geometry->GetEffect();
    if (!effect || !effect->IsEnabled()) return;
    if (!effect->IsBlendEnabled()) {
        geometry->Draw(*this);
        return;
    }
    if (IsWindowPlane(geometry)) {
        late_.emplace_back(geometry);
        return;
    }
    float distanceSquared = 0.0f;
    if (const BoundingVolume* bound = geometry->GetWorldBound(); bound && camera_) {
        const Vector3 d = bound->GetCenter() - camera_->GetPosition();
        distanceSquared = d.x * d.x + d.y * d.y + d.z * d.z;
    }
    deferred_.push_back({Pointer<GeometryNode>(geometry), distanceSquared});
}

void Renderer::FlushDeferred() {
    if (deferred_.empty() && late_.empty()) return;
    const ProfileScope section(*this, "transparent");
    // Taken out first: drawing may pop a render target, which flushes again.
    std::vector<DeferredEntry> deferred;
    deferred.swap(deferred_);
    std::stable_sort(deferred.begin(), deferred.end(), [](const DeferredEntry& a, const DeferredEntry& b) {
        return a.distanceSquared > b.distanceSquared;
    });
    for (DeferredEntry& entry : deferred) entry.geometry->Draw(*this);
    std::vector<Pointer<GeometryNode>> late;
    late.swap(late_);
    for (Pointer<GeometryNode>& geometry : late) geometry->Draw(*this);
}

void Renderer::SetCamera(Camera* camera) {
    camera_ = camera;
}

void Renderer::AddLight(Light* light) {
    lights_.emplace_back(light);
    EnableLight(light);
}

void Renderer::DisableLights() {
    while (!lights_.empty()) {
        lights_.pop_back();
        DisableLight();
    }
}

Light* Renderer::GetLight(int index) const {
    return index >= 0 && index < GetLightCount() ? lights_[size_t(index)].Get() : nullptr;
}

const DisplayMode* Renderer::GetMode(int index) const {
    return index >= 0 && index < GetModeCount() ? &modes_[size_t(index)] : nullptr;
}

void Renderer::AddMode(const DisplayMode& mode) {
    modes_.push_back(mode);
}

void Renderer::SetDeviceCaps(const RendererCaps& caps) {
    deviceCaps_ = caps;
    ApplyLimits();
}

void Renderer::LimitCaps(int vertexLevel, int pixelLevel, int textureUnits, bool shadowMaps) {
    limitVertexLevel_ = vertexLevel;
    limitPixelLevel_ = pixelLevel;
    limitTextureUnits_ = textureUnits;
    limitShadowMaps_ = shadowMaps ? 1 : 0;
    ApplyLimits();
}

void Renderer::LimitPointSprites(bool pointSprites) {
    limitPointSprites_ = pointSprites ? 1 : 0;
    ApplyLimits();
}

void Renderer::ApplyLimits() {
    // "None" is numerically the largest level, so it is handled before taking the smaller.
    auto lower = [](int32_t level, int limit) {
        if (limit < 0) return level;
        if (level == RendererCaps::kLevelNone || limit >= RendererCaps::kLevelNone) return RendererCaps::kLevelNone;
        return std::min(level, int32_t(limit));
    };
    caps_ = deviceCaps_;
    caps_.vertexLevel = lower(caps_.vertexLevel, limitVertexLevel_);
    caps_.pixelLevel = lower(caps_.pixelLevel, limitPixelLevel_);
    if (caps_.pixelLevel == RendererCaps::kLevelNone) caps_.vertexLevel = RendererCaps::kLevelNone;
    if (limitTextureUnits_ >= 0) caps_.textureUnits = std::min(caps_.textureUnits, int32_t(limitTextureUnits_));
    if (limitShadowMaps_ == 0) caps_.shadowMaps = 0;
    if (limitPointSprites_ == 0) caps_.pointSprites = 0;
}

bool Renderer::IsRenderTarget(const BaseTexture* texture) const {
    if (!texture) return false;
    for (const RenderTarget& target : targets_)
        if (target.texture.Get() == texture) return true;
    return false;
}

void Renderer::PushRenderTarget(BaseTexture* texture, int face, uintptr_t savedColor, uintptr_t savedDepth) {
    targets_.push_back({Pointer<BaseTexture>(texture), face, savedColor, savedDepth});
    if (profiling_) ResumeSection();
}

bool Renderer::PopRenderTarget(RenderTarget& popped) {
    if (targets_.empty()) return false;
    // Still drawn into the target that is being left.
    FlushDeferred();
    popped = std::move(targets_.back());
    targets_.pop_back();
    if (profiling_) ResumeSection();
    return true;
}

int Renderer::PrimitiveCount(int primitiveType, int count) {
    if (count <= 0) return 0;
    switch (primitiveType) {
    case kPointList: return count;
    case kLineList: return count / 2;
    case kLineStrip: return std::max(count - 1, 0);
    case kTriangleList: return count / 3;
    case kTriangleStrip: return std::max(count - 2, 0);
    default: return 0;
    }
}

void Renderer::GammaRamp(int brightness, uint16_t ramp[256]) {
    for (int i = 0; i < 256; ++i) {
        const int64_t value = int64_t(brightness) * 200 + int64_t(i) * 256;
        ramp[i] = uint16_t(std::clamp<int64_t>(value, 0, 65535));
    }
}

} // namespace nuv
