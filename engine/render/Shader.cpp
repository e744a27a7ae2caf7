#include "render/Shader.h"

#include <cstring>

namespace nuv {

NUV_IMPLEMENT_ABSTRACT_OBJECT(Shader, Object)

Shader::Shader() = default;

Shader::~Shader() {
    ReleaseDeviceShader();
}

void Shader::ReleaseDeviceShader() {
    // Only renderers link themselves into shaders.
    if (link_.renderer) static_cast<Renderer&>(*link_.renderer).ReleaseShader(*this);
}

void Shader::SetProgramText(const char* text) {
    if (text == text_) return;
    ReleaseDeviceShader();
    text_ = text;
    length_ = text ? int(std::strlen(text)) : 0;
    link_.dirty = 1;
}

void Shader::SetLevelText(int language, int level, const char* text) {
    if (language < 0 || language >= RendererCaps::kLanguageCount || level < 0 || level >= kLevelCount) return;
    levelTexts_[language][level] = text;
}

const char* Shader::GetLevelText(int language, int level) const {
    if (language < 0 || language >= RendererCaps::kLanguageCount || level < 0 || level >= kLevelCount)
        return nullptr;
    return levelTexts_[language][level];
}

bool Shader::SelectLevel(int language, int level) {
    const char* text = GetLevelText(language, level);
    SetProgramText(text);
    return text != nullptr;
}

} // namespace nuv
