#include "core/Vector3Buffer.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(Vector3Buffer, Buffer)

} // namespace nuv
