#pragma once

#include "core/Object.h"
#include "core/Pointer.h"

namespace nuv {

class Stream;

// The scene file layout: the engine version (three int32) and the root object as a link.
// Files open and close the stream around these; both return 0 or 1.
class SceneFile {
public:
    // The oldest version still read, as major * 10000 + minor * 100 + build.
    static constexpr int kOldestVersion = 102;

    static int Write(Stream& stream, Object* root);
    // root receives the loaded root (counted), or stays empty on failure. Links that close a
    // loop of counted references among the objects read are dropped and logged.
    static int Read(Stream& stream, Pointer<Object>& root);
};

} // namespace nuv
