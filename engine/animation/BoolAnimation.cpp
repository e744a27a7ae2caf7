#include "animation/BoolAnimation.h"

#include "animation/BlendStage.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"

#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(BoolAnimation, Animation)

int BoolAnimationKey::Save(Stream& stream) const {
    if (AnimationKey::Save(stream) != 0) {
        LogError("Невозможно сохранить родительские данные кифрейма.");
        return kStatusFailed;
    }
    if (stream.WriteBool(value) != 0) {
        LogError("Невозможно сохранить данные кифрейма.");
        return kStatusFailed;
    }
    return kStatusOk;
}

int BoolAnimationKey::Load(Stream& stream) {
    if (AnimationKey::Load(stream) != 0) {
        LogError("Невозможно загрузить родительские данные кифрейма.");
        return kStatusFailed;
    }
    if (stream.ReadBool(value) != 0) {
        LogError("Невозможно загрузить данные кифрейма.");
        return kStatusFailed;
    }
    return kStatusOk;
}

bool BoolAnimation::ValueAt(const BlendStage& stage, bool fallback) {
    const BoolAnimation* track = DynamicCast<BoolAnimation>(stage.animation.Get());
    const BoolAnimationKey* key = track ? track->GetBoolKey(stage.key0) : nullptr;
    return key ? key->value : fallback;
}

AnimationKey* BoolAnimation::CreateKey() const {
    return new (std::nothrow) BoolAnimationKey();
}

} // namespace nuv
