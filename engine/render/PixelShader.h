#pragma once

#include "render/Shader.h"

namespace nuv {

// A pixel program; nothing but its type sets it apart.
class PixelShader : public Shader {
    NUV_DECLARE_OBJECT
};

} // namespace nuv
