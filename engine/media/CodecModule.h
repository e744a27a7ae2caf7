#pragma once

#include "core/Engine.h"
#include "core/Status.h"
#include "media/Codec.h"
#include "media/StaticModule.h"

#include <new>

namespace nuv::detail {

// The static module of a built-in codec C, registered after the managers have started:
// "Initialize" and "Shutdown" that always succeed and "CreateCodec" making a C. A codec's source
// holds one as a constant.
template <class C>
struct CodecModule {
    static int Initialize() { return kStatusOk; }
    static int Shutdown() { return kStatusOk; }
    static int CreateCodec(Codec** out) {
        if (!out) return kStatusFailed;
        *out = new (std::nothrow) C;
        return *out ? kStatusOk : kStatusNoMemory;
    }
    static int Register() {
        return StaticModule::Register(C::kName, &Initialize, &Shutdown, "CreateCodec", &CreateCodec);
    }
    CodecModule() { AddPostInitFunction(&Register); }
};

} // namespace nuv::detail
