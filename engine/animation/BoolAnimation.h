#pragma once

#include "animation/Animation.h"

namespace nuv {

struct BlendStage;

// An on/off key: the state from this key's time on.
class BoolAnimationKey : public AnimationKey {
public:
    // Time, then the value as one byte.
    int Save(Stream& stream) const override;
    int Load(Stream& stream) override;

    bool value = true;
};

// A track of on/off keys, found with the same key search as any track and read without
// interpolation: the state at a stage is the value of its key0.
class BoolAnimation : public Animation {
    NUV_DECLARE_OBJECT
public:
    BoolAnimation() = default;
    BoolAnimationKey* GetBoolKey(int index) const { return static_cast<BoolAnimationKey*>(GetKey(index)); }
    // The value of key0 of a stage that plays a track of on/off keys; fallback when the stage
    // plays nothing, another kind of track, or a track without keys.
    static bool ValueAt(const BlendStage& stage, bool fallback);

protected:
    AnimationKey* CreateKey() const override;
};

} // namespace nuv
