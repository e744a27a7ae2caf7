#include "core/IntBuffer.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(IntBuffer, Buffer)

} // namespace nuv
