#pragma once

namespace nuv {

// Opacity of the black quad between camera shots: it fades in over the last second of a shot and
// out over the first second of the next.
class FadeLevel {
public:
    // elapsed, start and duration of the current shot, in seconds; hasShot false before the first
    // shot or without a shot controller (no fade). The result is within 0..1.
    static float Compute(bool hasShot, double elapsed, double start, double duration);
};

} // namespace nuv
