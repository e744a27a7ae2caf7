#pragma once

#include "core/String.h"

namespace nuv {

// The engine window the renderer presents on. Without a parent: one window per display in full
// screen (the first is returned, the others stay black), or one window at (x, y, width,
// height); with a parent (a native window id), a window inside it. The window is made for an
// OpenGL context where the platform draws through one.
// 0 success, 1 failure, 3 null output pointer.
int CreateSystemWindow(void** window, const String& title, void* parentWindow, bool fullScreen, int bits, int x,
                       int y, int width, int height);
// Destroys a window made by CreateSystemWindow with every window made with it. 0, or 1 on failure.
int DestroySystemWindow(void* window);
// The size of the window's drawing area as the window system has it now: a window inside a
// parent follows the parent, whose resizes nothing reports. 0; 3 for a null or vanished window.
int GetSystemWindowSize(void* window, int* width, int* height);

} // namespace nuv
