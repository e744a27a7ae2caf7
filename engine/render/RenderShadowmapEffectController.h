#pragma once

#include "core/Controller.h"
#include "core/Pointer.h"
#include "render/Renderer.h"

namespace nuv {

class Camera;

// Renders the shadow map of the ShadowmapEffect it is attached to at the start of every frame,
// through a camera of its own placed at the light. Persists only the Controller fields.
//
// It works as a post-update controller: its update lists it with the current renderer, which
// runs PostUpdate at the start of the next frame. (That class belongs to the animation library,
// above this one, so the step is taken here and the type record's parent is Controller.)
class RenderShadowmapEffectController : public Controller, public PreRenderStep {
    NUV_DECLARE_OBJECT
public:
    RenderShadowmapEffectController();
    ~RenderShadowmapEffectController() override;

    // When active, lists the controller with the current renderer (once per frame at most).
    void Apply(double dt) override;
    void PostUpdate() override;

    Camera* GetLightCamera() const { return lightCamera_.Get(); }

private:
    Pointer<Camera> lightCamera_;
};

} // namespace nuv
