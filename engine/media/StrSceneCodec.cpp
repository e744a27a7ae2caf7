#include "media/StrSceneCodec.h"

#include "core/SceneFile.h"
#include "core/Status.h"
#include "media/CodecModule.h"
#include "media/File.h"

namespace nuv {

namespace {

const detail::CodecModule<StrSceneCodec> gModule;

} // namespace

StrSceneCodec::StrSceneCodec() : Codec(kName) {
    AddExtension("STR");
    AddExtension("str");
    AddExtension("Str");
}

int StrSceneCodec::Load(File* file, Pointer<Object>& out) {
    out.Reset();
    if (!file) return kStatusNotFound;
    if (file->Open(File::kRead) != kStatusOk) return kStatusFailed;
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
    if (file->Open(File::kWrite) != kStatusOk) return kStatusFailed;
    const int written = SceneFile::Write(*file, root);
    const int closed = file->Close();
    return written == 0 && closed == 0 ? kStatusOk : kStatusFailed;
}

} // namespace nuv
