#include "render/SceneNodeEffect.h"

namespace nuv {

NUV_IMPLEMENT_ABSTRACT_OBJECT(SceneNodeEffect, Effect)

} // namespace nuv
