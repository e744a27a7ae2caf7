#pragma once

#include "core/Vector3.h"
#include "sound/library/BassApi.h"

#include <cstdint>
#include <memory>

namespace nuv {

class File;

// Copies a media file's bytes into a new buffer for a memory stream.
// 0 (an empty file gives no buffer and size 0); 3 for no file or a failed open or read;
// 2 out of memory.
int ReadSoundFile(File* file, std::unique_ptr<uint8_t[]>& data, int& size);

// A world position relative to the renderer's current camera, where the listener stands
// (the world origin when there is no camera).
Bass3DVector RelativeToListener(const Vector3& world);

} // namespace nuv
