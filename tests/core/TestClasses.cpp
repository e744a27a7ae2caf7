#include "TestClasses.h"

#include "core/Stream.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(TestController, Controller)
NUV_IMPLEMENT_OBJECT(TestThing, Object)

int TestController::Save(Stream& stream) {
    if (Controller::Save(stream)) return 1;
    return stream.WriteObject(target) ? 1 : 0;
}

int TestController::Load(Stream& stream) {
    if (Controller::Load(stream)) return 1;
    return stream.ReadObject(target) ? 1 : 0;
}

int TestThing::Save(Stream& stream) {
    if (Object::Save(stream)) return 1;
    stream.WriteObject(partner.Get());
    return stream.WriteInt(value) ? 1 : 0;
}

int TestThing::Load(Stream& stream) {
    if (Object::Load(stream)) return 1;
    Object* linked = nullptr;
    if (stream.ReadObject(linked)) return 1;
    partner = linked;
    return stream.ReadInt(value) ? 1 : 0;
}

} // namespace nuv
