#include "animation/NodeAnimation.h"

#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"

#include <cmath>
#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(NodeAnimation, Animation)

namespace {

bool Finite(const Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

} // namespace

int NodeAnimationKey::Save(Stream& stream) const {
    if (AnimationKey::Save(stream) != 0) {
        LogError("Невозможно сохранить родительские данные кифрейма.");
        return kStatusFailed;
    }
    stream.WriteVector3(translation);
    stream.WriteQuaternion(rotation);
    if (stream.WriteVector3(scale) != 0) {
        LogError("Невозможно сохранить данные кифрейма.");
        return kStatusFailed;
    }
    return kStatusOk;
}

int NodeAnimationKey::Load(Stream& stream) {
    if (AnimationKey::Load(stream) != 0) {
        LogError("Невозможно загрузить родительские данные кифрейма.");
        return kStatusFailed;
    }
    stream.ReadVector3(translation);
    stream.ReadQuaternion(rotation);
    const bool finiteRotation = std::isfinite(rotation.x) && std::isfinite(rotation.y) &&
                                std::isfinite(rotation.z) && std::isfinite(rotation.w);
    if (stream.ReadVector3(scale) != 0 || !Finite(translation) || !finiteRotation || !Finite(scale)) {
        LogError("Невозможно загрузить данные кифрейма.");
        return kStatusFailed;
    }
    return kStatusOk;
}

AnimationKey* NodeAnimation::CreateKey() const {
    return new (std::nothrow) NodeAnimationKey();
}

} // namespace nuv
