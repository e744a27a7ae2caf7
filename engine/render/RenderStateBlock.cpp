#include "render/RenderStateBlock.h"

#include "render/Renderer.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(RenderStateBlock, Object)

RenderStateBlock::RenderStateBlock() = default;

RenderStateBlock::~RenderStateBlock() {
    // Only renderers link themselves into state blocks.
    if (link_.renderer) static_cast<Renderer&>(*link_.renderer).ReleaseResource(*this);
}

} // namespace nuv
