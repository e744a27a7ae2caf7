#include "render/RenderShadowmapEffectController.h"

#include "media/ModuleManager.h"
#include "render/ShadowmapEffect.h"
#include "scene/Camera.h"

#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(RenderShadowmapEffectController, Controller)

RenderShadowmapEffectController::RenderShadowmapEffectController() {
    lightCamera_ = new (std::nothrow) Camera();
}

RenderShadowmapEffectController::~RenderShadowmapEffectController() = default;

void RenderShadowmapEffectController::Apply(double) {
    if (!IsActive()) return;
    if (Renderer* renderer = ModuleManager::GetRenderer()) renderer->RegisterPreRender(this);
}

void RenderShadowmapEffectController::PostUpdate() {
    Renderer* renderer = ModuleManager::GetRenderer();
    auto* effect = DynamicCast<ShadowmapEffect>(GetOwner());
    // Without hardware shadow maps there is nothing to draw into, and nothing reads the map.
    if (!renderer || !effect || !lightCamera_ || !effect->IsEnabled() || !renderer->GetCaps().shadowMaps) return;
    effect->RenderShadowmap(*renderer, *lightCamera_);
}

} // namespace nuv
