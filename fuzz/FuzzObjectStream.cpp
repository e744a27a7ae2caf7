// Reads arbitrary bytes as a scene file: the version header and an object graph with buffers,
// controller lists and links. Nothing may crash, hang, leak or allocate by a forged count.
#include "core/Controller.h"
#include "core/Engine.h"
#include "core/SceneFile.h"
#include "core/Stream.h"

#include <cstddef>
#include <cstdint>

namespace nuv {

// A concrete controller with a plain link, so that links to any object, forward, backward
// and to itself, are exercised as real classes use them.
class FuzzController : public Controller {
    NUV_DECLARE_OBJECT
public:
    int Save(Stream& stream) override { return Controller::Save(stream) || stream.WriteObject(target) ? 1 : 0; }
    int Load(Stream& stream) override { return Controller::Load(stream) || stream.ReadObject(target) ? 1 : 0; }
    Object* target = nullptr;
};

NUV_IMPLEMENT_OBJECT(FuzzController, Controller)

} // namespace nuv

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return nuv::InitializeEngine();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24)) return 0;
    nuv::Stream stream(0, 1024);
    stream.Assign(data, int(size));
    nuv::Pointer<nuv::Object> root;
    if (nuv::SceneFile::Read(stream, root) == 0 && root) {
        // Whatever loads must save again and be found by name and type without trouble.
        root->FindByName("x");
        nuv::Array<nuv::Object*> found;
        root->CollectByType(nuv::Object::TYPE, found);
        nuv::Stream out(0, 1024);
        nuv::SceneFile::Write(out, root.Get());
    }
    return 0;
}
