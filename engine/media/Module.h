#pragma once

#include "core/Named.h"
#include "core/RefCounted.h"
#include "core/Status.h"
#include "core/String.h"

namespace nuv {

class Codec;
class Renderer;

// Any entry point of a module; callers cast it to the entry's own signature below.
using ModuleSymbol = void (*)();
// "Initialize" and "Shutdown": 0 on success.
using ModuleInitializeFunction = int (*)();
using ModuleShutdownFunction = int (*)();
// "CreateCodec" and "CreateRenderer": out receives a new, not yet counted object; 0 on success.
using CreateCodecFunction = int (*)(Codec** out);
using CreateRendererFunction = int (*)(Renderer** out);

// A named table of entry points: built into the program (StaticModule) or a shared library
// (DynamicModule). Every module is expected to export "Initialize" and "Shutdown".
class Module : public RefCounted, public Named {
public:
    explicit Module(const String& name) : Named(name) {}

    // 0 with out set; 3 for a null out; 1 when the module has no such entry point.
    virtual int GetSymbol(ModuleSymbol* out, const String& symbol) = 0;

    // GetSymbol with the entry's own function type.
    template <class F>
    int GetFunction(F* out, const String& symbol) {
        ModuleSymbol found = nullptr;
        const int status = GetSymbol(out ? &found : nullptr, symbol);
        if (out) *out = status == kStatusOk ? reinterpret_cast<F>(found) : nullptr;
        return status;
    }

protected:
    // Calls "Shutdown" as a module does when it goes. Derived destructors call it while the
    // symbol table (or the library) is still there.
    void RunShutdown();
};

} // namespace nuv
