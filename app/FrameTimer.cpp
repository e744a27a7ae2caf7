#include "app/FrameTimer.h"

#include "platform/Clock.h"

namespace nuv {

void FrameTimer::Reset() { Reset(GetTickCountMs()); }

void FrameTimer::Reset(uint32_t nowMs) {
    start_ = nowMs;
    last_ = nowMs;
}

double FrameTimer::Step() { return Step(GetTickCountMs()); }

double FrameTimer::Step(uint32_t nowMs) {
    const uint32_t elapsed = nowMs - last_;
    last_ = nowMs;
    return elapsed * 0.001;
}

} // namespace nuv
