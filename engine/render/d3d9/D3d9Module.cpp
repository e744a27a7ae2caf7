#include "render/d3d9/D3d9Module.h"

#include "core/Engine.h"
#include "media/ModuleManager.h"
#include "media/StaticModule.h"
#include "platform/DynamicLibrary.h"
#include "render/d3d9/D3d9Renderer.h"

#include <new>

namespace nuv {

namespace {

int RegisterModule() {
    Pointer<StaticModule> module = new (std::nothrow) StaticModule(D3d9Module::kName);
    if (!module || !module->AddFunction("Initialize", &D3d9Module::Initialize) ||
        !module->AddFunction("Shutdown", &D3d9Module::Shutdown) ||
        !module->AddFunction("CreateRenderer", &D3d9Module::CreateRenderer))
        return 1;
    return ModuleManager::RegisterModule(module.Get()) == 0 ? 0 : 1;
}

struct Registration {
    Registration() { AddPostInitFunction(&RegisterModule); }
};
const Registration gRegistration;

} // namespace

int D3d9Module::Initialize() {
    return 0;
}

int D3d9Module::Shutdown() {
    return 0;
}

int D3d9Module::CreateRenderer(Renderer** out) {
    if (!out || ModuleManager::GetRenderer()) return 1;
    {
        // Loaded and let go again, as a test that the system has Direct3D 9 at all.
        DynamicLibrary d3d9;
        if (d3d9.Open("d3d9.dll") != 0) return 1;
    }
    *out = new (std::nothrow) D3d9Renderer;
    return *out ? 0 : 2;
}

} // namespace nuv
