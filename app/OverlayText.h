#pragma once

#include "core/String.h"

namespace nuv {

// The texts of the overlays (drawn one digit picture per character) and where the clock goes.
class OverlayText {
public:
    // Character size of the overlays, in overlay units (the screen is 1 x 1).
    static constexpr float kCharWidth = 0.0375f;
    static constexpr float kCharHeight = 0.075f;

    // The frame rate rounded up: 59.2 gives "60".
    static String FormatFrameRate(double framesPerSecond);
    // "H:MM:SS" in 24-hour mode; in 12-hour mode the hour of the 12-hour clock as the system always
    // showed it (0 stays 0, 12 stays 12) and " am " or " pm " after the seconds.
    static String FormatClock(int hour, int minute, int second, bool hour24);
    // Left edge of a clock text of that many bytes; the visible text ends at 0.98125 either way.
    static float GetClockX(int length, bool hour24);
};

} // namespace nuv
