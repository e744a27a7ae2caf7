#pragma once

#include "app/FrameTimer.h"

namespace nuv {

// Frames per second, recomputed about once a second from the frames counted since the last time.
class FrameRateCounter {
public:
    FrameRateCounter() { timer_.Reset(); }

    // One frame, timed by the counter's own timer.
    void Update() { Update(timer_.Step()); }
    // One frame that took stepSeconds.
    void Update(double stepSeconds);

    // 0 until the first second has passed.
    double GetFramesPerSecond() const { return framesPerSecond_; }

private:
    unsigned frameCount_ = 0;
    FrameTimer timer_;
    double accumulated_ = 0.0;
    double framesPerSecond_ = 0.0;
};

} // namespace nuv
