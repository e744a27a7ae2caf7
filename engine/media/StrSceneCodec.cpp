#include "media/StrSceneCodec.h"

#include "core/Engine.h"
#include "core/SceneFile.h"
#include "media/File.h"
#include "media/ModuleManager.h"
#include "media/StaticModule.h"

#include <new>

namespace nuv {

namespace {

int InitializeModule() {
    return 0;
}

int ShutdownModule() {
    return 0;
}

int CreateCodec(Codec** out) {
    if (!out) return 1;
    *out = new (std::nothrow) StrSceneCodec;
    return *out ? 0 : 2;
}

int RegisterModule() {
    Pointer<StaticModule> module = new (std::nothrow) StaticModule(StrSceneCodec::kName);
    if (!module || !module->AddFunction("Initialize", &InitializeModule) ||
        !module->AddFunction("Shutdown", &ShutdownModule) || !module->AddFunction("CreateCodec", &CreateCodec))
        return 1;
    return ModuleManager::RegisterModule(module.Get()) == 0 ? 0 : 1;
}

struct Registration {
    Registration() { AddPostInitFunction(&RegisterModule); }
};
const Registration gRegistration;

} // namespace

StrSceneCodec::StrSceneCodec() : Codec(kName) {
    AddExtension("STR");
    AddExtension("str");
    AddExtension("Str");
}

int StrSceneCodec::Load(File* file, Pointer<Object>& out) {
    out.Reset();
    if (!file) return 3;
    if (file->Open(File::kRead) != 0) return 1;
    // The root is counted before Close clears the stream's map of the objects it read.
    Pointer<Object> root;
    const int status = SceneFile::Read(*file, root);
    const int closed = file->Close();
    if (status != 0) return 1;
    out = root;
    return closed == 0 ? 0 : 1;
}

int StrSceneCodec::Save(File* file, Object* root) {
    if (!file || !root) return 1;
    if (file->Open(File::kWrite) != 0) return 1;
    const int written = SceneFile::Write(*file, root);
    const int closed = file->Close();
    return written == 0 && closed == 0 ? 0 : 1;
}

} // namespace nuv
