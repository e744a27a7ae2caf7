#pragma once

namespace nuv {

// Whether the windows of a full-screen or preview run can be seen by anyone. Without a display
// SDL quietly falls back to drawing offscreen, which would run the saver invisibly until killed;
// that fallback is a display only when it was asked for by name (SDL_VIDEODRIVER=offscreen or
// dummy), which makes the run a headless one.
class DisplayPresence {
public:
    enum Kind {
        kDisplay,           // a real display: X11, Wayland, the console
        kHeadlessRequested, // no display, and a headless run was asked for
        kNone,              // no display at all
    };

    // Starts the video subsystem when needed. driver, when not null, receives its name ("" when
    // none could start).
    static Kind Check(const char** driver);
};

} // namespace nuv
