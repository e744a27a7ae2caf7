#include "render/gl/GlModule.h"

#include "core/Engine.h"
#include "core/Status.h"
#include "media/ModuleManager.h"
#include "media/StaticModule.h"
#include "render/gl/GlRenderer.h"

#include <SDL.h>

#include <new>

namespace nuv {

namespace {

int RegisterModule() {
    return StaticModule::Register(GlModule::kName, &GlModule::Initialize, &GlModule::Shutdown, "CreateRenderer",
                                  &GlModule::CreateRenderer);
}

struct Registration {
    Registration() { AddPostInitFunction(&RegisterModule); }
};
const Registration gRegistration;

} // namespace

int GlModule::Initialize() {
    return kStatusOk;
}

int GlModule::Shutdown() {
    return kStatusOk;
}

int GlModule::CreateRenderer(Renderer** out) {
    if (!out || ModuleManager::GetRenderer()) return kStatusFailed;
    // Tried once and let go, as a test that a display can be opened at all.
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return kStatusFailed;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    *out = new (std::nothrow) GlRenderer;
    return *out ? 0 : 2;
}

} // namespace nuv
