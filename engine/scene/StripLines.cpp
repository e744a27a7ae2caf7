#include "scene/StripLines.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(StripLines, GeometryNode)

} // namespace nuv
