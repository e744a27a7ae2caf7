#include "animation/TargetCameraController.h"

#include "animation/TargetAim.h"
#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "scene/Camera.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(TargetCameraController, Controller)

int TargetCameraController::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Parent(Controller::Save(stream)).Link(target_.Get(), "Невозможно сохранить цель камеры. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int TargetCameraController::Load(Stream& stream) {
    FieldReader in(stream, *this);
    in.Parent(Controller::Load(stream)).Link(target_, "Невозможно загрузить цель камеры. ID[%d] Имя[%s]");
    return in.GetStatus();
}

void TargetCameraController::Apply(double) {
    if (!IsActive() || !target_) return;
    Camera* owner = DynamicCast<Camera>(GetOwner());
    if (!owner) return;
    AimAtTarget(*owner, *target_, false);
}

void TargetCameraController::VisitLinks(LinkVisitor& visitor) {
    Controller::VisitLinks(visitor);
    if (visitor.Refuses(*this, target_)) SetTarget(nullptr);
}

} // namespace nuv
