#pragma once

#include "core/Controller.h"
#include "render/Renderer.h"

namespace nuv {

// A controller with a second step that the renderer runs at the start of the next frame, before
// the scene is drawn: render-to-texture work finishes before its textures are used.
class PostUpdateController : public Controller, public PreRenderStep {
    NUV_DECLARE_OBJECT
public:
    PostUpdateController() = default;

    // When active, lists the controller with the current renderer (once per frame at most).
    void Apply(double dt) override;
    // The second step; the base has nothing to do.
    void PostUpdate() override;
};

} // namespace nuv
