#pragma once

#include "core/Object.h"
#include "core/Pointer.h"
#include "core/ResourceLink.h"

namespace nuv {

class RenderStateBlock;

// One draw of an effect: a complete fixed-function state (its render state block) and what
// Apply sets through the renderer (streams, textures, shaders, constants). Only the Object
// fields are persisted.
class Pass : public Object {
    NUV_DECLARE_OBJECT
public:
    ~Pass() override;

    // What Apply answers: kDraw, the caller draws its geometry with the state this pass set;
    // kNoDraw, the pass drew by itself, or nothing is to be drawn.
    enum ApplyResult : int { kDraw = 0, kNoDraw = 1 };

    virtual int Apply() = 0;
    // The pass's data changed: the renderer records its state anew at the next use.
    virtual void Refresh() { link_.dirty = 1; }

    ResourceLink& GetResourceLink() { return link_; }
    bool IsDirty() const { return link_.dirty != 0; }
    RenderStateBlock* GetStateBlock() const { return stateBlock_.Get(); }

protected:
    Pass();

private:
    ResourceLink link_;
    Pointer<RenderStateBlock> stateBlock_;
};

} // namespace nuv
