#include "platform/Clock.h"

#include <ctime>

namespace nuv {

uint32_t GetTickCountMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Unsigned arithmetic wraps the count at 2^32 like the Windows tick count.
    return uint32_t(uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u);
}

double GetTimeSeconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

} // namespace nuv
