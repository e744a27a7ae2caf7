#include "core/FloatBuffer.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(FloatBuffer, Buffer)

} // namespace nuv
