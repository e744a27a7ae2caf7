#include "core/Vector2Buffer.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(Vector2Buffer, Buffer)

} // namespace nuv
