#pragma once

#include "render/Shader.h"

namespace nuv {

// A vertex program; nothing but its type sets it apart.
class VertexShader : public Shader {
    NUV_DECLARE_OBJECT
};

} // namespace nuv
