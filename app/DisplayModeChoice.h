#pragma once

#include "app/Settings.h"
#include "render/Renderer.h"

namespace nuv {

// The display mode a full-screen run opens on.
class DisplayModeChoice {
public:
    static constexpr int kMinWidth = 640;
    static constexpr int kMinHeight = 480;

    // With UseDesktopSettings the desktop mode; otherwise the first full-screen mode of at least
    // 640 x 480 with the settings' width, height and colour bits, else the desktop mode. Null when
    // the desktop mode is needed and unknown (desktop null).
    // The renderer's record of the desktop mode: the one at index when it is a full-screen record;
    // null otherwise (a renderer that cannot find the desktop among its modes names its windowed
    // record, which must not stand in for the desktop).
    static const DisplayMode* Desktop(const DisplayMode* modes, int count, int index);
    static const DisplayMode* Choose(const DisplayMode* modes, int count, const DisplayMode* desktop,
                                     const Settings& settings);
};

} // namespace nuv
