#include "core/Controller.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Status.h"
#include "core/Stream.h"

namespace nuv {

NUV_IMPLEMENT_ABSTRACT_OBJECT(Controller, Object)

int Controller::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Parent(Object::Save(stream)).Bool(active_, "Невозможно сохранить флаг активности контроллера. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int Controller::Load(Stream& stream) {
    FieldReader in(stream, *this);
    in.Parent(Object::Load(stream)).Bool(active_, "Невозможно загрузить флаг активности контроллера. ID[%d] Имя[%s]");
    return in.GetStatus();
}

void Controller::Apply(double) {}

void Controller::Reset() {}

} // namespace nuv
