#pragma once

#include "animation/AnimationController.h"

namespace nuv {

// Plays node tracks and writes the blend of its stages into its node's local transform.
class NodeAnimationController : public AnimationController {
    NUV_DECLARE_OBJECT
public:
    NodeAnimationController() = default;

    // The track step, then, when active and attached to a node, the blended pose. Each stage
    // blends from the pose so far toward its interpolated key by the stage weight.
    void Apply(double dt) override;
};

} // namespace nuv
