#include "scene/BoundingVolume.h"

namespace nuv {

NUV_IMPLEMENT_ABSTRACT_OBJECT(BoundingVolume, Object)

} // namespace nuv
