#include "render/Pass.h"

#include "core/Log.h"
#include "render/RenderStateBlock.h"
#include "render/Renderer.h"

namespace nuv {

NUV_IMPLEMENT_ABSTRACT_OBJECT(Pass, Object)

Pass::Pass() {
    stateBlock_ = new (std::nothrow) RenderStateBlock();
    if (!stateBlock_) LogError("Недостаточно памяти для создания блока состояний прохода.");
}

Pass::~Pass() {
    // Only renderers link themselves into passes.
    if (link_.renderer) static_cast<Renderer&>(*link_.renderer).ReleasePass(*this);
}

} // namespace nuv
