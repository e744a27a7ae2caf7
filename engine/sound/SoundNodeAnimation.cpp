#include "sound/SoundNodeAnimation.h"

#include "animation/BoolAnimation.h"

#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(SoundNodeAnimation, Animation)

bool SoundNodeAnimation::IsOn(int index, bool fallback) const {
    const auto* key = static_cast<const BoolAnimationKey*>(GetKey(index));
    return key ? key->value : fallback;
}

AnimationKey* SoundNodeAnimation::CreateKey() const {
    // The on/off key: the time, then the "on" byte (on after construction).
    return new (std::nothrow) BoolAnimationKey();
}

} // namespace nuv
