#include "animation/PostUpdateController.h"

#include "media/ModuleManager.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(PostUpdateController, Controller)

void PostUpdateController::Apply(double) {
    if (!IsActive()) return;
    if (Renderer* renderer = ModuleManager::GetRenderer()) renderer->RegisterPreRender(this);
}

void PostUpdateController::PostUpdate() {}

} // namespace nuv
