#pragma once

#include "media/Module.h"
#include "platform/DynamicLibrary.h"

namespace nuv {

class File;

// A module in a shared library. The library file comes from the file tree, so its image is
// handed to the system loader from memory.
class DynamicModule : public Module {
public:
    explicit DynamicModule(const String& name) : Module(name) {}
    // Runs "Shutdown", then unloads the library.
    ~DynamicModule() override;

    // Loads the library held by file (any File: it is read whole). 0; 3 for null; 1 on failure.
    int Load(File* file);
    // 0 (also when nothing is loaded); 1 when the system refuses to unload it.
    int Unload();
    bool IsLoaded() const { return library_.IsOpen(); }
    // The system loader's reason for the last failure.
    const char* GetError() const { return library_.GetError().c_str(); }

    int GetSymbol(ModuleSymbol* out, const String& symbol) override;

private:
    DynamicLibrary library_;
};

} // namespace nuv
