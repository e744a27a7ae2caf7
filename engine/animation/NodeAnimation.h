#pragma once

#include "animation/Animation.h"
#include "core/Quaternion.h"
#include "core/Vector3.h"

namespace nuv {

// A key of a node's local transform.
class NodeAnimationKey : public AnimationKey {
public:
    // Time, translation, rotation (x, y, z, w), scale: 48 bytes.
    int Save(Stream& stream) const override;
    // Values that are not finite numbers are refused as damaged data.
    int Load(Stream& stream) override;

    Vector3 translation{0.0f, 0.0f, 0.0f};
    Quaternion rotation;
    Vector3 scale{1.0f, 1.0f, 1.0f};
};

// A key-framed track of a node's local transform.
class NodeAnimation : public Animation {
    NUV_DECLARE_OBJECT
public:
    NodeAnimation() = default;
    NodeAnimationKey* GetNodeKey(int index) const { return static_cast<NodeAnimationKey*>(GetKey(index)); }

protected:
    AnimationKey* CreateKey() const override;
};

} // namespace nuv
