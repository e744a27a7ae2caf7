#pragma once

namespace nuv {

// What the host does differently on each platform (app/linux, app/win32): the renderer module,
// the way window input reaches the input manager, the cursor and whether there is a display.
class HostPlatform {
public:
    // The renderer module the host loads: "OpenGL" on Linux, "DirectX9" on Windows.
    static const char* GetRendererModule();
    // Full-screen runs: the engine windows' input goes to the input manager's queue (and on
    // Linux a termination signal ends the run like a window close).
    static void StartInput();
    // The mouse cursor over the host's windows.
    static void SetCursorVisible(bool visible);
    // Whether a full-screen or preview run can be seen: 0, or 1 after saying why not (logged,
    // and on standard error where there is one).
    static int CheckDisplay();
};

} // namespace nuv
