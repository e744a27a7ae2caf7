#include "sound/SoundFile.h"

#include "core/Status.h"
#include "media/File.h"
#include "media/ModuleManager.h"
#include "render/Renderer.h"
#include "scene/Camera.h"

#include <new>

namespace nuv {

int ReadSoundFile(File* file, std::unique_ptr<uint8_t[]>& data, int& size) {
    data.reset();
    size = 0;
    if (!file || file->Open(File::kRead) != kStatusOk) return kStatusNotFound;
    const int length = file->GetSize();
    if (length <= 0) {
        // An empty file is left to the library, which refuses it like any undecodable one.
        file->Close();
        return kStatusOk;
    }
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size_t(length)]);
    if (!bytes) {
        file->Close();
        return kStatusNoMemory;
    }
    const int status = file->Read(bytes.get(), length);
    file->Close();
    if (status != kStatusOk) return kStatusNotFound;
    data = std::move(bytes);
    size = length;
    return kStatusOk;
}

Bass3DVector RelativeToListener(const Vector3& world) {
    Vector3 relative = world;
    if (const Renderer* renderer = ModuleManager::GetRenderer())
        if (const Camera* camera = renderer->GetCamera()) relative = world - camera->GetPosition();
    return Bass3DVector{relative.x, relative.y, relative.z};
}

} // namespace nuv
