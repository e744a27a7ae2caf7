#pragma once

#include "media/Codec.h"

namespace nuv {

// "STRSceneCodec": scene files, the engine version followed by the root object in the object
// stream format. Built into the program as the static module of the same name.
class StrSceneCodec : public Codec {
public:
    static constexpr const char* kName = "STRSceneCodec";

    StrSceneCodec();

    int GetKind() const override { return kScene; }
    using Codec::Load;
    using Codec::Save;
    // out receives the root. 0; 3 for null; 1 when the file cannot be opened or read, or was
    // written by an older engine.
    int Load(File* file, Pointer<Object>& out) override;
    // Writes root to the file. 0; 1 for null or when opening, writing or closing fails.
    int Save(File* file, Object* root) override;
};

} // namespace nuv
