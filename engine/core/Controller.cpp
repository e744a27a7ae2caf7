#include "core/Controller.h"

#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"

namespace nuv {

NUV_IMPLEMENT_ABSTRACT_OBJECT(Controller, Object)

int Controller::Save(Stream& stream) {
    if (Object::Save(stream) != 0) {
        LogError("Невозможно сохранить родительские данные. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    if (stream.WriteBool(active_) != 0) {
        LogError("Невозможно сохранить флаг активности контроллера. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    return kStatusOk;
}

int Controller::Load(Stream& stream) {
    if (Object::Load(stream) != 0) {
        LogError("Невозможно загрузить родительские данные. ID[%d]", GetId());
        return kStatusFailed;
    }
    if (stream.ReadBool(active_) != 0) {
        LogError("Невозможно загрузить флаг активности контроллера. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return kStatusFailed;
    }
    return kStatusOk;
}

void Controller::Apply(double) {}

void Controller::Reset() {}

} // namespace nuv
