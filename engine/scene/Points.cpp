#include "scene/Points.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(Points, GeometryNode)

} // namespace nuv
