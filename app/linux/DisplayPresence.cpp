#include "app/DisplayPresence.h"

#include <SDL.h>

#include <strings.h>

namespace nuv {

namespace {

// SDL's drivers that draw where no one can see.
bool IsHeadlessDriver(const char* name) {
    return strcasecmp(name, "offscreen") == 0 || strcasecmp(name, "dummy") == 0;
}

} // namespace

DisplayPresence::Kind DisplayPresence::Check(const char** driver) {
    if (driver) *driver = "";
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return kNone;
    const char* current = SDL_GetCurrentVideoDriver();
    if (!current) return kNone;
    if (driver) *driver = current;
    if (!IsHeadlessDriver(current)) return kDisplay;
    // The hint falls back to the SDL_VIDEODRIVER variable; it may name a list of drivers.
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (!asked) return kNone;
    for (const char* p = asked; *p;) {
        const char* end = p;
        while (*end && *end != ',') ++end;
        if (size_t(end - p) == SDL_strlen(current) && strncasecmp(p, current, size_t(end - p)) == 0)
            return kHeadlessRequested;
        p = *end ? end + 1 : end;
    }
    return kNone;
}

} // namespace nuv
