#include "render/d3d9/D3d9Module.h"

#include "core/Engine.h"
#include "core/Status.h"
#include "media/ModuleManager.h"
#include "media/StaticModule.h"
#include "platform/DynamicLibrary.h"
#include "render/d3d9/D3d9Renderer.h"

#include <new>

namespace nuv {

namespace {

int RegisterModule() {
    return StaticModule::Register(D3d9Module::kName, &D3d9Module::Initialize, &D3d9Module::Shutdown, "CreateRenderer",
                                  &D3d9Module::CreateRenderer);
}

struct Registration {
    Registration() { AddPostInitFunction(&RegisterModule); }
};
const Registration gRegistration;

} // namespace

int D3d9Module::Initialize() {
    return kStatusOk;
}

int D3d9Module::Shutdown() {
    return kStatusOk;
}

int D3d9Module::CreateRenderer(Renderer** out) {
    if (!out || ModuleManager::GetRenderer()) return kStatusFailed;
    {
        // Loaded and let go again, as a test that the system has Direct3D 9 at all.
        DynamicLibrary d3d9;
        if (d3d9.Open("d3d9.dll") != kStatusOk) return kStatusFailed;
    }
    *out = new (std::nothrow) D3d9Renderer;
    return *out ? 0 : 2;
}

} // namespace nuv
