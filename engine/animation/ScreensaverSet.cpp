#include "animation/ScreensaverSet.h"

#include "animation/TargetCameraController.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"

#include <cmath>

namespace nuv {

int ScreensaverSet::Save(Stream& stream) const {
    if (stream.WriteObject(camera.Get()) != 0) {
        LogError("Невозможно сохранить камеру сета контроллера скринсейвера.");
        return kStatusFailed;
    }
    stream.WriteDouble(start);
    stream.WriteDouble(duration);
    if (stream.GetError() != 0) {
        LogError("Невозможно сохранить данные сета контроллера скринсейвера.");
        return kStatusFailed;
    }
    return kStatusOk;
}

int ScreensaverSet::Load(Stream& stream) {
    Camera* read = nullptr;
    if (stream.ReadObjectAs(read) != 0) {
        LogError("Невозможно загрузить камеру сета контроллера скринсейвера.");
        return kStatusFailed;
    }
    camera = read;
    FindAnimations();
    stream.ReadDouble(start);
    stream.ReadDouble(duration);
    // A time that is not a number would stop the show for good (no comparison with it holds).
    if (stream.GetError() != 0 || !std::isfinite(start) || !std::isfinite(duration)) {
        LogError("Невозможно загрузить данные сета контроллера скринсейвера.");
        return kStatusFailed;
    }
    return kStatusOk;
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
