#include "render/CapsTechnique.h"

#include "media/ModuleManager.h"

namespace nuv {

bool CapsTechnique::IsSupported() {
    const Renderer* renderer = ModuleManager::GetRenderer();
    return renderer && test_ && test_(renderer->GetCaps());
}

bool CapsTechnique::HasPrograms(const RendererCaps& caps) {
    return caps.vertexLevel != RendererCaps::kLevelNone && caps.pixelLevel != RendererCaps::kLevelNone;
}

} // namespace nuv
