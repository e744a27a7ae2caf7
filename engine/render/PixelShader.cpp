#include "render/PixelShader.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(PixelShader, Shader)

} // namespace nuv
