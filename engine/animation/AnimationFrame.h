#pragma once

#include "animation/Animation.h"
#include "core/Pointer.h"

#include <cstdint>

namespace nuv {

class Stream;

// A window on a controller's track in which one animation plays.
struct AnimationFrame {
    enum Mode : int32_t { kOnce = 0, kLoop = 1 };  // any other value plays ping-pong

    Pointer<Animation> animation;
    double start = 0.0;
    double end = 0.0;
    int32_t mode = kLoop;
    double speed = 1.0;
    double offset = 0.0;

    bool Contains(double position) const { return start <= position && position <= end; }
    // The animation's time at track position; first says whether the frame fills stage 0 (whose
    // once and wrapping modes never give 1) or stage 1 (whose once mode clamps). Always finite.
    double StageTime(double position, bool first) const;

    // Animation link, mode, start, end, speed, offset; 0 or 1 with the failure logged.
    int Save(Stream& stream) const;
    int Load(Stream& stream);
};

} // namespace nuv
