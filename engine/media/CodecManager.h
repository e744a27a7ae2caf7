#pragma once

#include "core/Pointer.h"
#include "core/String.h"

namespace nuv {

class Codec;
class File;
class Object;

// The process-wide table of codecs by name. A codec is created on first request by the
// registered module of the same name. Started and stopped with the engine.
class CodecManager {
public:
    // The table takes a reference. 0; 3 for null; 1 for a taken name or a failed insertion.
    static int RegisterCodec(Codec* codec);
    // The registered codec, or else one created by module name's "CreateCodec" and registered.
    // out (may be null) receives it. 0; 3 without the module or its entry; 1 when creation or
    // registration fails. Never loads a library.
    static int GetCodec(const String& name, Codec** out);
    // The first codec, bucket by bucket, that accepts the file's extension; null when none does.
    static Codec* FindCodecForFile(File* file);

    // Loads a scene file with the codec for its extension; out receives the root (counted).
    // 0; 3 for a null file or no codec; 1 when the codec fails.
    static int LoadSceneFile(File* file, Pointer<Object>& out);

    // The engine's start and stop functions (queued by static registration).
    static int Start();
    static int Stop();
};

} // namespace nuv
