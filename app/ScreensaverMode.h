#pragma once

namespace nuv {

// What the system asked the screensaver to do; fixed for the process. Saver and Test behave alike.
enum ScreensaverMode : int {
    kModePreview = 0,
    kModeSaver = 1,
    kModeTest = 2,
    kModeConfigure = 3,
    kModePassword = 4,
};

} // namespace nuv
