#pragma once

#include <cstdint>

namespace nuv {

// Frame steps from the millisecond tick count. Readings are kept as ticks, so a step across the
// count's wrap (every 49.7 days) stays right.
class FrameTimer {
public:
    void Reset();
    void Reset(uint32_t nowMs);
    // Seconds since the previous step (or the reset); 0 for two steps in the same millisecond.
    double Step();
    double Step(uint32_t nowMs);

private:
    uint32_t start_ = 0;
    uint32_t last_ = 0;
};

} // namespace nuv
