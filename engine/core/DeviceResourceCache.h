#pragma once

#include "core/Pointer.h"
#include "core/RefCounted.h"

namespace nuv {

class Buffer;

// What a renderer offers to the engine objects whose device copies it keeps: the buffer
// asks it to drop its copy when the buffer goes. The renderer derives from this.
class DeviceResourceCache : public RefCounted {
public:
    virtual void ReleaseBuffer(Buffer& buffer) = 0;

    // The module whose code this device runs; counted, so the module stays loaded while the
    // device lives. Kept here rather than in Renderer so that the module registry, which
    // creates renderers, needs nothing of the renderer's own code.
    void SetModule(RefCounted* module) { module_ = module; }
    RefCounted* GetModule() const { return module_.Get(); }

private:
    Pointer<RefCounted> module_;
};

} // namespace nuv
