#include "media/StrSceneCodec.h"

#include "core/Engine.h"
#include "core/SceneFile.h"
#include "core/Status.h"
#include "media/File.h"
#include "media/ModuleManager.h"
#include "media/StaticModule.h"

#include <new>

namespace nuv {

namespace {

int InitializeModule() {
    return kStatusOk;
}

int ShutdownModule() {
    return kStatusOk;
}

int CreateCodec(Codec** out) {
    if (!out) return kStatusFailed;
    *out = new (std::nothrow) StrSceneCodec;
    return *out ? kStatusOk : kStatusNoMemory;
}

int RegisterModule() {
    Pointer<StaticModule> module = new (std::nothrow) StaticModule(StrSceneCodec::kName);
    if (!module || !module->AddFunction("Initialize", &InitializeModule) ||
        !module->AddFunction("Shutdown", &ShutdownModule) || !module->AddFunction("CreateCodec", &CreateCodec))
        return kStatusFailed;
    return ModuleManager::RegisterModule(module.Get()) == kStatusOk ? kStatusOk : kStatusFailed;
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
    if (!file) return kStatusNotFound;
    if (file->Open(File::kRead) != 0) return kStatusFailed;
    // The root is counted before Close clears the stream's map of the objects it read.
    Pointer<Object> root;
    const int status = SceneFile::Read(*file, root);
    const int closed = file->Close();
    if (status != 0) return kStatusFailed;
    out = root;
    return closed == 0 ? kStatusOk : kStatusFailed;
}

int StrSceneCodec::Save(File* file, Object* root) {
    if (!file || !root) return kStatusFailed;
    if (file->Open(File::kWrite) != 0) return kStatusFailed;
    const int written = SceneFile::Write(*file, root);
    const int closed = file->Close();
    return written == 0 && closed == 0 ? kStatusOk : kStatusFailed;
}

} // namespace nuv
