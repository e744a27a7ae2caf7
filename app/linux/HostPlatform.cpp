#include "app/HostPlatform.h"

#include "app/DisplayPresence.h"
#include "app/InputManager.h"
#include "app/SdlInput.h"
#include "core/Log.h"
#include "core/Status.h"

#include <SDL.h>

#include <cstdio>

namespace nuv {

const char* HostPlatform::GetRendererModule() {
    return "OpenGL";
}

void HostPlatform::StartInput() {
    // A termination signal comes through the pump as a window close.
    InputManager::SetMessagePump(&SdlInput::Pump);
}

void HostPlatform::SetCursorVisible(bool visible) {
    // Only a video subsystem that is up has a cursor.
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

int HostPlatform::CheckDisplay() {
    // Without a display SDL would draw offscreen, unseen.
    const char* driver = "";
    switch (DisplayPresence::Check(&driver)) {
    case DisplayPresence::kDisplay:
        return kStatusOk;
    case DisplayPresence::kHeadlessRequested:
        LogWarning("Дисплея нет: запуск без вывода на экран, видеодрайвер [%s].", driver);
        std::fprintf(stderr, "halvane: headless run (SDL video driver '%s'): nothing is shown on a screen\n", driver);
        return kStatusOk;
    case DisplayPresence::kNone:
    default:
        LogError("Нет дисплея: полноэкранному режиму и предпросмотру нужен дисплей X11 или Wayland.");
        std::fprintf(stderr, "halvane: no display: a full-screen or preview run needs an X11 or Wayland display "
                             "(DISPLAY or WAYLAND_DISPLAY); SDL_VIDEODRIVER=offscreen asks for a headless run\n");
        return kStatusFailed;
    }
}

} // namespace nuv
