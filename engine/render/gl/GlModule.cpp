#include "render/gl/GlModule.h"

#include "core/Engine.h"
#include "media/ModuleManager.h"
#include "media/StaticModule.h"
#include "render/gl/GlRenderer.h"

#include <SDL.h>

#include <new>

namespace nuv {

namespace {

int RegisterModule() {
    Pointer<StaticModule> module = new (std::nothrow) StaticModule(GlModule::kName);
    if (!module || !module->AddFunction("Initialize", &GlModule::Initialize) ||
        !module->AddFunction("Shutdown", &GlModule::Shutdown) ||
        !module->AddFunction("CreateRenderer", &GlModule::CreateRenderer))
        return 1;
    return ModuleManager::RegisterModule(module.Get()) == 0 ? 0 : 1;
}

struct Registration {
    Registration() { AddPostInitFunction(&RegisterModule); }
};
const Registration gRegistration;

} // namespace

int GlModule::Initialize() {
    return 0;
}

int GlModule::Shutdown() {
    return 0;
}

int GlModule::CreateRenderer(Renderer** out) {
    if (!out || ModuleManager::GetRenderer()) return 1;
    // Tried once and let go, as a test that a display can be opened at all.
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return 1;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    *out = new (std::nothrow) GlRenderer;
    return *out ? 0 : 2;
}

} // namespace nuv
