#pragma once

#include "core/Pointer.h"
#include "core/String.h"

namespace nuv {

class DynamicModule;
class Module;
class Renderer;

// The process-wide table of modules by name, and the current renderer. Started and stopped
// with the engine; built-in modules register themselves in post-initialisation.
class ModuleManager {
public:
    // The platform's file name ending of a shared-library module.
    static const char* const kLibrarySuffix;

    // The table takes a reference. 0; 3 for null; 1 for a taken name or a failed insertion.
    static int RegisterModule(Module* module);
    // The registered module of that name, or null; never loads anything.
    static Module* FindModule(const String& name);
    // The registered module, or else the shared library name + kLibrarySuffix from the file
    // tree, initialised and registered. out (may be null) receives it; 0 or the failure's status.
    static int LoadModule(const String& name, Module** out);
    // Loads the library file name + kLibrarySuffix found through the file manager into a new
    // module named name. 0; 3 for a null out or no such file; 2 without memory; 1 on failure.
    static int LoadDynamicModule(const String& name, Pointer<Module>* out);
    // 0 (also when nothing is loaded); 3 for null; 1 when the system refuses.
    static int UnloadDynamicModule(DynamicModule* module);

    // Makes the renderer of module name the current one. 0; 3 when the module or its entry is
    // missing; 1 when the entry fails.
    static int CreateRenderer(const String& name);
    // Releases the current renderer; 0.
    static int DestroyRenderer();
    static Renderer* GetRenderer();

    // The engine's start and stop functions (queued by static registration).
    static int Start();
    static int Stop();
};

} // namespace nuv
