#include "app/OverlayText.h"

#include <cmath>
#include <cstdio>

namespace nuv {

String OverlayText::FormatFrameRate(double framesPerSecond) {
    const double rounded = std::ceil(framesPerSecond);
    // A rate beyond any int (a zero-length second) shows as the largest one.
    const int value = rounded >= 2147483647.0 ? 2147483647 : rounded <= 0.0 ? 0 : int(rounded);
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return String(text);
}

String OverlayText::FormatClock(int hour, int minute, int second, bool hour24) {
    char hours[16];
    const char* suffix = "";
    if (hour24) {
        std::snprintf(hours, sizeof hours, "%d", hour);
    } else {
        std::snprintf(hours, sizeof hours, "%d", hour >= 13 ? hour - 12 : hour);
        suffix = hour < 12 ? " am " : " pm ";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%s:%s%d:%s%d%s", hours, minute < 10 ? "0" : "", minute,
                  second < 10 ? "0" : "", second, suffix);
    return String(text);
}

float OverlayText::GetClockX(int length, bool hour24) {
    return 1.0f - float(length) * kCharWidth + (hour24 ? -0.01875f : 0.01875f);
}

} // namespace nuv
