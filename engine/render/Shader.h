#pragma once

#include "core/Object.h"
#include "core/ResourceLink.h"
#include "render/Renderer.h"

namespace nuv {

// A device program. The texts belong to the effect that made the shader (static strings), one
// per shading language and level; the renderer builds the device program from the current text
// when it first binds the shader. Shaders are not persisted.
class Shader : public Object {
    NUV_DECLARE_OBJECT
public:
    // Levels 0..2 have texts; the level "none" has none.
    static constexpr int kLevelCount = 3;

    ~Shader() override;

    // The program the renderer builds; null when none is set.
    const char* GetProgramText() const { return text_; }
    int GetProgramLength() const { return length_; }
    // Replaces the current program; a different text drops the device program first.
    void SetProgramText(const char* text);

    // Keeps a text for a language and level (out of range is ignored).
    void SetLevelText(int language, int level, const char* text);
    const char* GetLevelText(int language, int level) const;
    // Makes the text for this language and level current; false (and no program) when there is
    // none.
    bool SelectLevel(int language, int level);

    ResourceLink& GetResourceLink() { return link_; }

protected:
    Shader();

private:
    void ReleaseDeviceShader();

    ResourceLink link_;
    const char* text_ = nullptr;
    int length_ = 0;
    const char* levelTexts_[RendererCaps::kLanguageCount][kLevelCount] = {};
};

} // namespace nuv
