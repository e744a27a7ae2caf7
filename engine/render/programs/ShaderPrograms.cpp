#include "render/programs/ShaderPrograms.h"

#include "render/Renderer.h"
#include "render/programs/AssemblyPrograms.h"
#include "render/programs/GlslPrograms.h"

namespace nuv {

bool ShaderPrograms::IsVertex(Program program) {
    switch (program) {
    case kPlainVertex:
    case kSwayVertex:
    case kSkinnedVertex:
    case kWaterVertex:
    case kIceVertex:
    case kSnowVertex:
    case kLitPlainVertex:
    case kLitSwayVertex:
    case kLitSkinnedVertex:
    case kShadowVertex:
    case kShadowSwayVertex:
    case kShadowSkinnedVertex:
    case kScreenQuadVertex: return true;
    default: return false;
    }
}

const char* ShaderPrograms::Text(Program program, int language, int level) {
    if (program < 0 || program >= kProgramCount || level < 0 || level >= kLevelCount) return nullptr;
    switch (language) {
    // One GLSL text serves every level: the OpenGL device runs them all alike.
    case RendererCaps::kLanguageGlsl: return GlslPrograms::Text(program);
    case RendererCaps::kLanguageAssembly: return AssemblyPrograms::Text(program, level);
    default: return nullptr;
    }
}

} // namespace nuv
