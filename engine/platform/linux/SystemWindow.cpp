#include "platform/SystemWindow.h"

#include "core/Log.h"

#include <SDL.h>

#include <vector>

namespace nuv {

namespace {

// The black windows covering the other displays in full screen, destroyed with the first one.
struct WindowGroup {
    SDL_Window* first = nullptr;
    std::vector<SDL_Window*> others;
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

} // namespace

int CreateSystemWindow(void** window, const String& title, void* parentWindow, bool fullScreen, int bits, int x,
                       int y, int width, int height) {
    LogInfo("Создание системного окна [%s].", title.GetText());
    if (!window) {
        LogError("Указатель на окно равен 0.");
        return 3;
    }
    *window = nullptr;
    if (!StartVideo()) return 1;
    AskForGlBuffers(bits);

    if (parentWindow) {
        // The parent is a native window id: the context draws straight into it. SDL does not
        // report its resizes; the renderer polls the size.
        SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
        SDL_Window* child = SDL_CreateWindowFrom(parentWindow);
        if (!child) {
            LogError("Невозможно создать окно [%s].", title.GetText());
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            return 1;
        }
        gGroups.push_back({child, {}});
        *window = child;
        return 0;
    }

    if (!fullScreen) {
        SDL_Window* created = SDL_CreateWindow(title.GetText(), x, y, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
        if (!created) {
            LogError("Невозможно создать окно [%s].", title.GetText());
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            return 1;
        }
        gGroups.push_back({created, {}});
        *window = created;
        return 0;
    }

    // Full screen: a borderless window over each display's bounds (without a window manager a
    // full-screen window may keep its first size), the first at the requested size.
    WindowGroup group;
    const int displays = SDL_GetNumVideoDisplays();
    for (int i = 0; i < displays; ++i) {
        SDL_Rect bounds{0, 0, width, height};
        if (SDL_GetDisplayBounds(i, &bounds) != 0) continue;
        if (!group.first) {
            bounds.w = width;
            bounds.h = height;
        }
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
        return 1;
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
    return 0;
}

int DestroySystemWindow(void* window) {
    if (!window) {
        LogWarning("Указатель на окно равен 0.");
        return 0;
    }
    for (size_t i = 0; i < gGroups.size(); ++i) {
        if (gGroups[i].first != window) continue;
        WindowGroup group = std::move(gGroups[i]);
        gGroups.erase(gGroups.begin() + std::ptrdiff_t(i));
        for (SDL_Window* other : group.others) SDL_DestroyWindow(other);
        // A foreign window stays; SDL only lets go of it.
        SDL_DestroyWindow(group.first);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return 0;
    }
    LogError("Невозможно удалить системное окно.");
    return 1;
}

} // namespace nuv
