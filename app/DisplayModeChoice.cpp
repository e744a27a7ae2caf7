#include "app/DisplayModeChoice.h"

namespace nuv {

const DisplayMode* DisplayModeChoice::Desktop(const DisplayMode* modes, int count, int index) {
    if (!modes || index < 0 || index >= count || !modes[index].fullScreen) return nullptr;
    return &modes[index];
}

const DisplayMode* DisplayModeChoice::Choose(const DisplayMode* modes, int count, const DisplayMode* desktop,
                                             const Settings& settings) {
    if (settings.useDesktopSettings || !modes) return desktop;
    for (int i = 0; i < count; ++i) {
        const DisplayMode& mode = modes[i];
        if (mode.width >= kMinWidth && mode.height >= kMinHeight && mode.fullScreen &&
            mode.width == settings.width && mode.height == settings.height && mode.colorBits == settings.colorDepth)
            return &mode;
    }
    return desktop;
}

} // namespace nuv
