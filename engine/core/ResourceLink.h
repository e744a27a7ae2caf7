#pragma once

#include "core/DeviceResourceCache.h"
#include "core/Pointer.h"

#include <cstdint>

namespace nuv {

// Embedded in every engine object whose content a renderer caches on the device.
struct ResourceLink {
    // 1 while the renderer must refresh its device copy; the renderer clears it after copying.
    uint8_t dirty = 1;
    // The renderer that holds the device copy; null until first drawn.
    Pointer<DeviceResourceCache> renderer;
    // Opaque device handle of two words; 0 until the renderer creates the device object.
    uintptr_t handle[2] = {0, 0};
};

} // namespace nuv
