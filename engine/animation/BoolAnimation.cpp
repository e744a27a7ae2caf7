#include "animation/BoolAnimation.h"

#include "animation/BlendStage.h"
#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Status.h"
#include "core/Stream.h"

#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(BoolAnimation, Animation)

int BoolAnimationKey::Save(Stream& stream) const {
    FieldWriter out(stream);
    out.Parent(AnimationKey::Save(stream), "Невозможно сохранить родительские данные кифрейма.")
        .Bool(value, "Невозможно сохранить данные кифрейма.");
    return out.GetStatus();
}

int BoolAnimationKey::Load(Stream& stream) {
    FieldReader in(stream);
    in.Parent(AnimationKey::Load(stream), "Невозможно загрузить родительские данные кифрейма.")
        .Bool(value, "Невозможно загрузить данные кифрейма.");
    return in.GetStatus();
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
