#pragma once

#include "animation/Animation.h"

namespace nuv {

// A track of on/off keys (time, then an "on" byte) that switches a sound node.
class SoundNodeAnimation : public Animation {
    NUV_DECLARE_OBJECT
public:
    SoundNodeAnimation() = default;
    // The "on" byte of a key, or fallback for an index without a key.
    bool IsOn(int index, bool fallback) const;

protected:
    AnimationKey* CreateKey() const override;
};

} // namespace nuv
