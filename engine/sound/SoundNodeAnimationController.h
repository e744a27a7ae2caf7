#pragma once

#include "animation/AnimationController.h"

namespace nuv {

// Switches its owner, a SoundNode, on and off along SoundNodeAnimation tracks: switching on
// restarts the sound only when it is not already playing.
class SoundNodeAnimationController : public AnimationController {
    NUV_DECLARE_OBJECT
public:
    SoundNodeAnimationController() = default;
    void Apply(double dt) override;
};

} // namespace nuv
