#include "animation/TargetLightController.h"

#include "animation/TargetAim.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "scene/Light.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(TargetLightController, Controller)

int TargetLightController::Save(Stream& stream) {
    if (Controller::Save(stream) != 0) {
        LogError("Невозможно сохранить родительские данные. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    if (stream.WriteObject(target_.Get()) != 0) {
        LogError("Невозможно сохранить цель источника света. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    return kStatusOk;
}

int TargetLightController::Load(Stream& stream) {
    if (Controller::Load(stream) != 0) {
        LogError("Невозможно загрузить родительские данные. ID[%d]", GetId());
        return kStatusFailed;
    }
    Node* target = nullptr;
    if (stream.ReadObjectAs(target) != 0) {
        LogError("Невозможно загрузить цель источника света. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return kStatusFailed;
    }
    target_ = target;
    return kStatusOk;
}

void TargetLightController::Apply(double) {
    if (!IsActive() || !target_) return;
    Light* owner = DynamicCast<Light>(GetOwner());
    if (!owner) return;
    AimAtTarget(*owner, *target_, true);
}

} // namespace nuv
