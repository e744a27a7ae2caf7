#pragma once

#include "animation/AnimationController.h"
#include "core/Pointer.h"
#include "scene/Camera.h"

namespace nuv {

class Stream;

// One camera shot of the screensaver: its camera, the animations found on it when it is
// loaded, the moment the fade-in begins and how long the shot lasts.
struct ScreensaverSet {
    Pointer<Camera> camera;
    // The camera's own animation controller, and that of the node its target controller looks
    // at; both are found on load, not stored.
    Pointer<AnimationController> cameraAnimation;
    Pointer<AnimationController> targetAnimation;
    // Seconds into the shot at which the fade-in from black begins.
    double start = 0.0;
    // Seconds the shot lasts; replaced by the animation periods each time it is chosen.
    double duration = 1.0;

    // Camera link, start, duration.
    int Save(Stream& stream) const;
    int Load(Stream& stream);
    // Finds the camera animation and the target animation among the camera's controllers.
    void FindAnimations();
};

} // namespace nuv
