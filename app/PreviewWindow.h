#pragma once

#include "core/Pointer.h"
#include "platform/ForeignWindow.h"

#include <cstdint>

struct SDL_Window;

namespace nuv {

class Image;

// The preview inside the control panel's window (an X11 window given by its id), or in a
// small window of its own when there is none: it shows "preview.bmp" of the interface
// pictures, stretched to the window, and repaints it whenever the window is exposed or its
// size changes (SDL does not report a foreign window's resizes, so the size is polled).
class PreviewWindow {
public:
    PreviewWindow();
    ~PreviewWindow();
    PreviewWindow(const PreviewWindow&) = delete;
    PreviewWindow& operator=(const PreviewWindow&) = delete;

    // Opens the video subsystem and the window: inside parent when it is not 0, else a 50 x 50
    // window at (100, 100) titled title. 0; 1 with an error line (and a message on standard
    // error when parent is no window) when no window can be made.
    int Create(uint64_t parent, const char* title);
    // Decodes "preview.bmp" from the file tree. A missing or unreadable picture is logged and
    // the window is painted black instead.
    void LoadPicture();
    // Handles pending window events and repaints where needed. False once the window or its
    // parent is closed or a termination signal came.
    bool ProcessEvents();
    // Paints the picture stretched to the window's client area now.
    void Paint();
    void Destroy();

    bool HasPicture() const { return picture_.Get() != nullptr; }

private:
    SDL_Window* window_ = nullptr;
    // The platform's own window state where SDL does not serve (Windows).
    struct Native;
    Native* native_ = nullptr;
    // The parent, which only the window system can tell has gone.
    ForeignWindow parent_;
    Pointer<Image> picture_;
    int paintedWidth_ = -1;
    int paintedHeight_ = -1;
};

} // namespace nuv
