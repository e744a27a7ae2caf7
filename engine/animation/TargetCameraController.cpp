#include "animation/TargetCameraController.h"

#include "animation/TargetAim.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "scene/Camera.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(TargetCameraController, Controller)

int TargetCameraController::Save(Stream& stream) {
    if (Controller::Save(stream) != 0) {
        LogError("Невозможно сохранить родительские данные. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    if (stream.WriteObject(target_.Get()) != 0) {
        LogError("Невозможно сохранить цель камеры. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    return kStatusOk;
}

int TargetCameraController::Load(Stream& stream) {
    if (Controller::Load(stream) != 0) {
        LogError("Невозможно загрузить родительские данные. ID[%d]", GetId());
        return kStatusFailed;
    }
    Node* target = nullptr;
    if (stream.ReadObjectAs(target) != 0) {
        LogError("Невозможно загрузить цель камеры. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return kStatusFailed;
    }
    target_ = target;
    return kStatusOk;
}

void TargetCameraController::Apply(double) {
    if (!IsActive() || !target_) return;
    Camera* owner = DynamicCast<Camera>(GetOwner());
    if (!owner) return;
    AimAtTarget(*owner, *target_, false);
}

} // namespace nuv
