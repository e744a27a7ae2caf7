#include "platform/SystemWindow.h"

#include "core/Log.h"
#include "core/Status.h"
#include "platform/ForeignWindow.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <cstdlib>
#include <vector>

namespace nuv {

namespace {

// The black windows covering the other displays in full screen, destroyed with the first one.
struct WindowGroup {
    SDL_Window* first = nullptr;
    std::vector<SDL_Window*> others;
    bool switched = false; // the first window changed its display's mode
};
std::vector<WindowGroup> gGroups;

// Each window holds one reference on the video subsystem; SDL counts them.
bool StartVideo() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        LogError("SDL: %s", SDL_GetError());
        return false;
    }
    return true;
}

// The context's buffers are chosen with the window on X11, so they are asked for first.
void AskForGlBuffers(int bits) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    const int channel = bits == 16 ? 5 : 8;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel);
}

// Puts back the desktop mode of a display that a full-screen window switched, at the latest
// when the process ends: an X server keeps a changed mode after its client is gone.
void RestoreDisplayModes() {
    for (WindowGroup& group : gGroups)
        if (group.switched && group.first) SDL_SetWindowFullscreen(group.first, 0);
}

// A full-screen window on the first display in the mode width x height, when that is not the
// desktop's mode and the display can take it; null otherwise (the reason logged).
SDL_Window* SwitchedWindow(const String& title, int width, int height) {
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return nullptr;
    if (desktop.w == width && desktop.h == height) return nullptr;
    SDL_DisplayMode wanted{};
    wanted.w = width;
    wanted.h = height;
    SDL_DisplayMode mode{};
    if (!SDL_GetClosestDisplayMode(0, &wanted, &mode) || mode.w != width || mode.h != height) {
        LogWarning("Дисплей не может переключиться в режим %dx%d; работа в режиме рабочего стола %dx%d.", width, height,
                   desktop.w, desktop.h);
        return nullptr;
    }
    // A screensaver keeps its mode while another window takes the focus.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_Rect bounds{0, 0, width, height};
    SDL_GetDisplayBounds(0, &bounds);
    SDL_Window* window = SDL_CreateWindow(title.GetText(), bounds.x, bounds.y, width, height,
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN | SDL_WINDOW_SHOWN);
    SDL_DisplayMode current{};
    if (!window || SDL_GetCurrentDisplayMode(0, &current) != 0 || current.w != width || current.h != height) {
        LogWarning("Дисплей не может переключиться в режим %dx%d; работа в режиме рабочего стола %dx%d.", width, height,
                   desktop.w, desktop.h);
        if (window) SDL_DestroyWindow(window);
        return nullptr;
    }
    LogInfo("Режим дисплея переключён на %dx%d.", width, height);
    static const bool restoreAtExit = std::atexit(RestoreDisplayModes) == 0;
    (void)restoreAtExit;
    return window;
}

} // namespace

int CreateSystemWindow(void** window, const String& title, void* parentWindow, bool fullScreen, int bits, int x,
                       int y, int width, int height) {
    LogInfo("Создание системного окна [%s].", title.GetText());
    if (!window) {
        LogError("Указатель на окно равен 0.");
        return kStatusNotFound;
    }
    *window = nullptr;
    if (!StartVideo()) return kStatusFailed;
    AskForGlBuffers(bits);

    if (parentWindow) {
        // The parent is a native window id: the context draws straight into it. SDL does not
        // report its resizes; the renderer polls the size.
        SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
        // The parent's owner may destroy it while we draw: that must not end the process.
        ForeignWindow::InstallErrorHandlers();
        SDL_Window* child = SDL_CreateWindowFrom(parentWindow);
        if (!child) {
            LogError("Невозможно создать окно [%s].", title.GetText());
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            return kStatusFailed;
        }
        gGroups.push_back({child, {}});
        *window = child;
        return kStatusOk;
    }

    if (!fullScreen) {
        SDL_Window* created = SDL_CreateWindow(title.GetText(), x, y, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
        if (!created) {
            LogError("Невозможно создать окно [%s].", title.GetText());
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            return kStatusFailed;
        }
        gGroups.push_back({created, {}});
        *window = created;
        return kStatusOk;
    }

    // Full screen. The first display is switched to the requested mode when that differs from
    // the desktop's; where the display cannot switch, the run keeps the desktop mode. Each display
    // then gets a borderless window over its bounds (without a window manager a full-screen window
    // may keep its first size), the first one drawn on.
    WindowGroup group;
    group.first = SwitchedWindow(title, width, height);
    group.switched = group.first != nullptr;
    const int displays = SDL_GetNumVideoDisplays();
    for (int i = group.first ? 1 : 0; i < displays; ++i) {
        SDL_Rect bounds{0, 0, width, height};
        if (SDL_GetDisplayBounds(i, &bounds) != 0) continue;
        SDL_Window* created = SDL_CreateWindow(title.GetText(), bounds.x, bounds.y, bounds.w > 0 ? bounds.w : width,
                                               bounds.h > 0 ? bounds.h : height,
                                               (group.first ? 0u : unsigned(SDL_WINDOW_OPENGL)) |
                                                   SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN);
        if (!created) {
            LogError("Невозможно создать окно [%s].", title.GetText());
            continue;
        }
        if (!group.first) group.first = created;
        else group.others.push_back(created);
    }
    if (!group.first) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return kStatusFailed;
    }
    // The other displays stay black.
    for (SDL_Window* other : group.others) {
        if (SDL_Surface* surface = SDL_GetWindowSurface(other)) {
            SDL_FillRect(surface, nullptr, 0);
            SDL_UpdateWindowSurface(other);
        }
    }
    *window = group.first;
    gGroups.push_back(std::move(group));
    return kStatusOk;
}

int DestroySystemWindow(void* window) {
    if (!window) {
        LogWarning("Указатель на окно равен 0.");
        return kStatusOk;
    }
    for (size_t i = 0; i < gGroups.size(); ++i) {
        if (gGroups[i].first != window) continue;
        WindowGroup group = std::move(gGroups[i]);
        gGroups.erase(gGroups.begin() + std::ptrdiff_t(i));
        for (SDL_Window* other : group.others) SDL_DestroyWindow(other);
        // A foreign window stays; SDL only lets go of it.
        SDL_DestroyWindow(group.first);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return kStatusOk;
    }
    LogError("Невозможно удалить системное окно.");
    return kStatusFailed;
}

int GetSystemWindowSize(void* window, int* width, int* height) {
    auto* sdlWindow = static_cast<SDL_Window*>(window);
    if (!sdlWindow) return kStatusNotFound;
    if (SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_FOREIGN) {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (SDL_GetWindowWMInfo(sdlWindow, &info) && info.subsystem == SDL_SYSWM_X11)
            return ForeignWindow::GetSize(info.info.x11.display, info.info.x11.window, width, height);
    }
    SDL_GetWindowSize(sdlWindow, width, height);
    return kStatusOk;
}

} // namespace nuv
