#pragma once

#include "render/Effect.h"

namespace nuv {

class SceneNode;

// An effect over a whole subtree (shadow maps, glow): the scene node that carries it draws its
// children once for each pass of the effect's current technique. Only the Object fields are
// persisted.
class SceneNodeEffect : public Effect {
    NUV_DECLARE_OBJECT
public:
    // The scene node whose list holds this effect; a plain back pointer.
    SceneNode* GetOwner() const { return owner_; }
    void SetOwner(SceneNode* owner) { owner_ = owner; }

protected:
    SceneNodeEffect() = default;

private:
    SceneNode* owner_ = nullptr;
};

} // namespace nuv
