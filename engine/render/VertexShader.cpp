#include "render/VertexShader.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(VertexShader, Shader)

} // namespace nuv
