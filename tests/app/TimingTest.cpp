#include "app/FadeLevel.h"
#include "app/FrameRateCounter.h"
#include "app/FrameTimer.h"
#include "app/OverlayText.h"

#include <gtest/gtest.h>

namespace nuv {
namespace {

std::string Clock(int h, int m, int s, bool hour24) { return OverlayText::FormatClock(h, m, s, hour24).GetText(); }

TEST(OverlayText, ClockInBothModes) {
    EXPECT_EQ(Clock(0, 5, 9, false), "0:05:09 am ");
    EXPECT_EQ(Clock(12, 0, 0, false), "12:00:00 pm ");
    EXPECT_EQ(Clock(13, 7, 3, false), "1:07:03 pm ");
    EXPECT_EQ(Clock(11, 59, 59, false), "11:59:59 am ");
    EXPECT_EQ(Clock(23, 10, 10, false), "11:10:10 pm ");
    EXPECT_EQ(Clock(0, 5, 9, true), "0:05:09");
    EXPECT_EQ(Clock(23, 59, 0, true), "23:59:00");
}

TEST(OverlayText, ClockEndsAtTheSamePlace) {
    for (const auto& text : {Clock(9, 5, 0, true), Clock(23, 59, 0, true)}) {
        const float x = OverlayText::GetClockX(int(text.size()), true);
        EXPECT_NEAR(x + text.size() * OverlayText::kCharWidth, 0.98125, 1e-6);
    }
    // 12-hour texts end with a space, a half-width advance that draws nothing.
    const std::string text = Clock(13, 7, 3, false);
    const float x = OverlayText::GetClockX(int(text.size()), false);
    EXPECT_NEAR(x + (text.size() - 1) * OverlayText::kCharWidth, 0.98125, 1e-6);
}

TEST(OverlayText, FrameRateRoundsUp) {
    EXPECT_STREQ(OverlayText::FormatFrameRate(59.2).GetText(), "60");
    EXPECT_STREQ(OverlayText::FormatFrameRate(60.0).GetText(), "60");
    EXPECT_STREQ(OverlayText::FormatFrameRate(0.0).GetText(), "0");
    EXPECT_STREQ(OverlayText::FormatFrameRate(1e12).GetText(), "2147483647");
}

TEST(FrameTimer, StepsInSeconds) {
    FrameTimer timer;
    timer.Reset(1000);
    EXPECT_DOUBLE_EQ(timer.Step(1016), 0.016);
    EXPECT_DOUBLE_EQ(timer.Step(1016), 0.0);
    // Across the tick count's wrap.
    timer.Reset(0xFFFFFFF0u);
    EXPECT_DOUBLE_EQ(timer.Step(0x10u), 0.032);
}

TEST(FrameRateCounter, RecomputesOncePastASecond) {
    FrameRateCounter counter;
    EXPECT_EQ(counter.GetFramesPerSecond(), 0.0);
    for (int i = 0; i < 58; ++i) counter.Update(0.017);
    EXPECT_EQ(counter.GetFramesPerSecond(), 0.0);  // 0.986 s
    counter.Update(0.017);
    EXPECT_NEAR(counter.GetFramesPerSecond(), 59 / 1.003, 1e-9);
    // The time past the second counts towards the next one.
    for (int i = 0; i < 58; ++i) counter.Update(0.017);
    EXPECT_NEAR(counter.GetFramesPerSecond(), 59 / 1.003, 1e-9);
    counter.Update(0.017);
    EXPECT_NEAR(counter.GetFramesPerSecond(), 59 / 1.006, 1e-9);
}

TEST(FadeLevel, FadesAroundShotChanges) {
    EXPECT_EQ(FadeLevel::Compute(false, 9.5, 0, 10), 0.0f);
    EXPECT_EQ(FadeLevel::Compute(true, 5, 0, 10), 0.0f);
    EXPECT_FLOAT_EQ(FadeLevel::Compute(true, 9.5, 0, 10), 0.5f);
    EXPECT_FLOAT_EQ(FadeLevel::Compute(true, 9.0, 0, 10), 0.0f);
    EXPECT_FLOAT_EQ(FadeLevel::Compute(true, 10.25, 10, 20), 0.75f);
    EXPECT_FLOAT_EQ(FadeLevel::Compute(true, 10.0, 10, 20), 1.0f);
    // A frame past the shot's end stays black rather than beyond opaque.
    EXPECT_FLOAT_EQ(FadeLevel::Compute(true, 10.5, 0, 10), 1.0f);
    // Before the shot's start no negative or overfull level comes out.
    const float early = FadeLevel::Compute(true, 3.0, 5.0, 20.0);
    EXPECT_GE(early, 0.0f);
    EXPECT_LE(early, 1.0f);
}

} // namespace
} // namespace nuv
