#include "scene/Lines.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(Lines, GeometryNode)

} // namespace nuv
