#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace nuv {
namespace {

TEST(Clock, BothClocksAdvanceTogether) {
    const uint32_t ticks = GetTickCountMs();
    const double seconds = GetTimeSeconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    // Unsigned difference: right even if the count wrapped in between.
    const uint32_t elapsedTicks = GetTickCountMs() - ticks;
    const double elapsedSeconds = GetTimeSeconds() - seconds;
    // Lower bounds only (a loaded machine may sleep longer); the tick count may be coarse.
    EXPECT_GE(elapsedTicks, 40u);
    EXPECT_LT(elapsedTicks, 60000u);
    EXPECT_GE(elapsedSeconds, 0.055);
    EXPECT_NEAR(elapsedTicks / 1000.0, elapsedSeconds, 0.05 + elapsedSeconds * 0.1);
}

TEST(Clock, NeverGoesBack) {
    double last = GetTimeSeconds();
    for (int i = 0; i < 10000; ++i) {
        const double now = GetTimeSeconds();
        ASSERT_GE(now, last);
        last = now;
    }
}

} // namespace
} // namespace nuv
