#pragma once

#include <cstdint>

namespace nuv {

// A window of another program that we draw into, given by its native id (an X11 window on
// Linux): checked before use, and watched for its size and its end, which the window toolkit
// reports only for windows it made itself.
class ForeignWindow {
public:
    ForeignWindow() = default;
    ~ForeignWindow();
    ForeignWindow(const ForeignWindow&) = delete;
    ForeignWindow& operator=(const ForeignWindow&) = delete;

    // 0 when id names a window of the display; 3 when it names none; 1 without a display.
    static int Check(uint64_t id);
    // The root window of the display's default screen; 0 without a display.
    static uint64_t GetRootWindow();
    // The size of window id asked on an open connection of the window toolkit (display is its
    // native display). 0; 3 when the window is gone (the sizes are left alone).
    static int GetSize(void* display, uint64_t id, int* width, int* height);
    // From now on a protocol error, such as drawing into a window that has just vanished, is
    // logged and survived instead of ending the process; losing the display ends the log first.
    static void InstallErrorHandlers();

    // Starts watching window id on a connection of its own: 0; 3 when there is no such window;
    // 1 without a display.
    int Watch(uint64_t id);
    // Takes the news about the window; false once it has been destroyed.
    bool Poll();
    bool IsGone() const { return gone_; }
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    uint64_t GetId() const { return id_; }
    void Stop();

private:
    void* display_ = nullptr;
    uint64_t id_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool gone_ = false;
};

} // namespace nuv
