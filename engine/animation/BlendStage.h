#pragma once

#include "animation/Animation.h"
#include "core/Pointer.h"

#include <cstdint>

namespace nuv {

// One blended animation of a controller: the keys around the stage's time and how far between
// them it lies. Not persisted.
struct BlendStage {
    Pointer<Animation> animation;
    float weight = 1.0f;
    int32_t key0 = 0;
    int32_t key1 = 0;
    double localTime = 0.0;

    // t on the animation's normalised time line; nothing changes without an animation or keys.
    // localTime always ends in [0, 1], also for tracks whose key times leave that range.
    void SetTime(double t);
};

} // namespace nuv
