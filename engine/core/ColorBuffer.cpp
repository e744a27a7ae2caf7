#include "core/ColorBuffer.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(ColorBuffer, Buffer)

} // namespace nuv
