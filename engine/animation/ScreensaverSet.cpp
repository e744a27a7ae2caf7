#include "animation/ScreensaverSet.h"

#include "animation/TargetCameraController.h"
#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Status.h"
#include "core/Stream.h"

#include <cmath>

namespace nuv {

int ScreensaverSet::Save(Stream& stream) const {
    FieldWriter out(stream);
    out.Link(camera.Get(), "Невозможно сохранить камеру сета контроллера скринсейвера.")
        .Double(start)
        .Double(duration)
        .Check("Невозможно сохранить данные сета контроллера скринсейвера.");
    return out.GetStatus();
}

int ScreensaverSet::Load(Stream& stream) {
    FieldReader in(stream);
    Camera* read = nullptr;
    if (!in.Link(read, "Невозможно загрузить камеру сета контроллера скринсейвера.")) return in.GetStatus();
    camera = read;
    FindAnimations();
    // A time that is not a number would stop the show for good (no comparison with it holds).
    in.Double(start).Double(duration);
    in.Check("Невозможно загрузить данные сета контроллера скринсейвера.",
             std::isfinite(start) && std::isfinite(duration));
    return in.GetStatus();
}

void ScreensaverSet::FindAnimations() {
    cameraAnimation.Reset();
    targetAnimation.Reset();
    if (!camera) return;
    for (int i = 0; i < camera->GetControllerCount(); ++i) {
        Controller* controller = camera->GetController(i);
        if (auto* aim = DynamicCast<TargetCameraController>(controller); aim && aim->GetTarget()) {
            Node* target = aim->GetTarget();
            for (int j = 0; j < target->GetControllerCount(); ++j) {
                if (auto* animation = DynamicCast<AnimationController>(target->GetController(j))) {
                    targetAnimation = animation;
                    break;
                }
            }
        }
        if (auto* animation = DynamicCast<AnimationController>(controller)) cameraAnimation = animation;
    }
}

} // namespace nuv
