#include "core/SceneFile.h"

#include "core/Engine.h"
#include "core/LinkCycleBreaker.h"
#include "core/Status.h"
#include "core/Stream.h"

namespace nuv {

int SceneFile::Write(Stream& stream, Object* root) {
    if (!root) return kStatusFailed;
    const int32_t version[3] = {kEngineVersionMajor, kEngineVersionMinor, kEngineVersionBuild};
    if (stream.WriteInt3(version) != kStatusOk) return kStatusFailed;
    return stream.WriteObject(root) == kStatusOk ? kStatusOk : kStatusFailed;
}

int SceneFile::Read(Stream& stream, Pointer<Object>& root) {
    root.Reset();
    int32_t version[3] = {0, 0, 0};
    if (stream.ReadInt3(version) != kStatusOk) return kStatusFailed;
    // Newer files are accepted; older ones were written by an incompatible engine.
    const int64_t number = int64_t(version[0]) * 10000 + int64_t(version[1]) * 100 + version[2];
    if (number < kOldestVersion) return kStatusFailed;
    Object* object = nullptr;
    const int status = stream.ReadObject(object);
    // A file may link objects in a loop of counted references, which would never be freed; the
    // links that close one go, also after a failed read, whose objects the stream releases.
    LinkCycleBreaker::Run(stream.GetReadObjects());
    if (status != kStatusOk) return kStatusFailed;
    root = object;
    return kStatusOk;
}

} // namespace nuv
