#include "animation/TargetLightController.h"

#include "animation/TargetAim.h"
#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "scene/Light.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(TargetLightController, Controller)

int TargetLightController::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Parent(Controller::Save(stream))
        .Link(target_.Get(), "Невозможно сохранить цель источника света. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int TargetLightController::Load(Stream& stream) {
    FieldReader in(stream, *this);
    in.Parent(Controller::Load(stream)).Link(target_, "Невозможно загрузить цель источника света. ID[%d] Имя[%s]");
    return in.GetStatus();
}

void TargetLightController::Apply(double) {
    if (!IsActive() || !target_) return;
    Light* owner = DynamicCast<Light>(GetOwner());
    if (!owner) return;
    AimAtTarget(*owner, *target_, true);
}

void TargetLightController::VisitLinks(LinkVisitor& visitor) {
    Controller::VisitLinks(visitor);
    if (visitor.Refuses(*this, target_)) SetTarget(nullptr);
}

} // namespace nuv
