#pragma once

#include "core/Object.h"

namespace nuv {

class SceneNode;
class Technique;

// An effect over a whole subtree (shadow maps, glow): the scene node that carries it draws its
// children once for each pass of the effect's current technique.
class SceneNodeEffect : public Object {
    NUV_DECLARE_OBJECT
public:
    // A disabled effect draws nothing, and neither does its scene node through it.
    virtual bool IsEnabled() const = 0;
    // The technique whose passes are drawn (chosen on first use); null when none is supported.
    virtual Technique* GetCurrentTechnique() = 0;
    // Passes of the current technique; 0 without one.
    virtual int GetPassCount() = 0;

    // The scene node whose list holds this effect; a plain back pointer.
    SceneNode* GetOwner() const { return owner_; }
    void SetOwner(SceneNode* owner) { owner_ = owner; }

protected:
    SceneNodeEffect() = default;

private:
    SceneNode* owner_ = nullptr;
};

} // namespace nuv
