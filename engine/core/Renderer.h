#pragma once

#include "core/DeviceResourceCache.h"
#include "core/Pointer.h"
#include "core/RefCounted.h"

namespace nuv {

// The drawing device behind the scene. The concrete renderer lives in a module, and the
// renderer keeps that module alive: the module's code must outlive every call into it.
class Renderer : public DeviceResourceCache {
public:
    ~Renderer() override = default;

    // The module that created this renderer (counted; any RefCounted to keep core free of media).
    void SetModule(RefCounted* module) { module_ = module; }
    RefCounted* GetModule() const { return module_.Get(); }

private:
    Pointer<RefCounted> module_;
};

} // namespace nuv
