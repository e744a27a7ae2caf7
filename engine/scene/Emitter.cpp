#include "scene/Emitter.h"

#include <cstdlib>

namespace nuv {

NUV_IMPLEMENT_ABSTRACT_OBJECT(Emitter, Object)

float Emitter::Vary(float centre, float width) {
    return -width + Unit(Rand()) * (width - -width) + centre;
}

} // namespace nuv
