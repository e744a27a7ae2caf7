#include "core/Vector4Buffer.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(Vector4Buffer, Buffer)

} // namespace nuv
