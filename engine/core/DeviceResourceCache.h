#pragma once

#include "core/RefCounted.h"

namespace nuv {

class Buffer;

// What a renderer offers to the engine objects whose device copies it keeps: the buffer
// asks it to drop its copy when the buffer goes. The renderer derives from this.
class DeviceResourceCache : public RefCounted {
public:
    virtual void ReleaseBuffer(Buffer& buffer) = 0;
};

} // namespace nuv
