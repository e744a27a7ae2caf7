#include "animation/NodeAnimation.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
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
    FieldWriter out(stream);
    out.Parent(AnimationKey::Save(stream), "Невозможно сохранить родительские данные кифрейма.")
        .Vector3(translation)
        .Quaternion(rotation)
        .Vector3(scale, "Невозможно сохранить данные кифрейма.");
    return out.GetStatus();
}

int NodeAnimationKey::Load(Stream& stream) {
    FieldReader in(stream);
    in.Parent(AnimationKey::Load(stream), "Невозможно загрузить родительские данные кифрейма.")
        .Vector3(translation)
        .Quaternion(rotation)
        .Vector3(scale);
    const bool finiteRotation = std::isfinite(rotation.x) && std::isfinite(rotation.y) && std::isfinite(rotation.z) &&
                                std::isfinite(rotation.w);
    in.Check("Невозможно загрузить данные кифрейма.", Finite(translation) && finiteRotation && Finite(scale));
    return in.GetStatus();
}

AnimationKey* NodeAnimation::CreateKey() const {
    return new (std::nothrow) NodeAnimationKey();
}

} // namespace nuv
