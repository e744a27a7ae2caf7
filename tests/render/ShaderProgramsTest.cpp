// The program table: every program has its texts in the slots of its name, of its kind, at the
// levels it is drawn at; an effect's shader takes the text of the renderer's language and level.
#include "../core/TestSupport.h"
#include "RecordingRenderer.h"
#include "render/EffectConstants.h"
#include "render/PixelShader.h"
#include "render/VertexShader.h"
#include "render/programs/GlslPrograms.h"
#include "render/programs/ShaderPrograms.h"

#include <gtest/gtest.h>

#include <cstring>

namespace nuv::test {
namespace {

using P = ShaderPrograms;

TEST(ShaderPrograms, EveryGlslTextIsOfItsProgramsKindAtEveryLevel) {
    for (int i = 0; i < P::kProgramCount; ++i) {
        const auto program = P::Program(i);
        for (int level = 0; level < P::kLevelCount; ++level) {
            const char* text = P::Text(program, RendererCaps::kLanguageGlsl, level);
            ASSERT_NE(text, nullptr) << "program " << i << " level " << level;
            // Only vertex programs write a position; only pixel programs write a colour.
            EXPECT_EQ(std::strstr(text, "gl_Position") != nullptr, P::IsVertex(program)) << "program " << i;
            EXPECT_EQ(std::strstr(text, "gl_FragColor") != nullptr, !P::IsVertex(program)) << "program " << i;
        }
        EXPECT_EQ(P::Text(program, RendererCaps::kLanguageGlsl, RendererCaps::kLevelNone), nullptr);
    }
    EXPECT_EQ(P::Text(P::kProgramCount, RendererCaps::kLanguageGlsl, 0), nullptr);
    EXPECT_EQ(P::Text(P::kPlainVertex, RendererCaps::kLanguageCount, 0), nullptr);
}

TEST(ShaderPrograms, ShadersTakeTheTextOfTheRenderersLanguageAndOfTheirKindsLevel) {
    Pointer<RecordingRenderer> renderer(new RecordingRenderer);
    RendererCaps caps;
    caps.shadingLanguage = RendererCaps::kLanguageGlsl;
    caps.vertexLevel = 1;
    caps.pixelLevel = 1;
    renderer->SetDeviceCaps(caps);
    Pointer<VertexShader> vertex(new VertexShader);
    Pointer<PixelShader> pixel(new PixelShader);
    EffectConstants::SelectText(vertex.Get(), renderer.Get(), P::kSkinnedVertex);
    EffectConstants::SelectText(pixel.Get(), renderer.Get(), P::kTexturePixel);
    EXPECT_EQ(vertex->GetProgramText(), GlslPrograms::kSkinnedVertex);
    EXPECT_EQ(pixel->GetProgramText(), GlslPrograms::kTexturePixel);
    // Every level's text is kept for a renderer that asks again.
    EXPECT_EQ(pixel->GetLevelText(RendererCaps::kLanguageGlsl, 0), GlslPrograms::kTexturePixel);
    // Another language with no text for the program: the shader has no program, binds nothing.
    caps.shadingLanguage = RendererCaps::kLanguageAssembly;
    renderer->SetDeviceCaps(caps);
    EffectConstants::SelectText(pixel.Get(), renderer.Get(), P::kTexturePixel);
    EXPECT_EQ(pixel->GetProgramText(), P::Text(P::kTexturePixel, RendererCaps::kLanguageAssembly, 1));
    // Levels "none": no text.
    renderer->LimitCaps(RendererCaps::kLevelNone, RendererCaps::kLevelNone, 8, true);
    EffectConstants::SelectText(vertex.Get(), renderer.Get(), P::kPlainVertex);
    EXPECT_EQ(vertex->GetProgramText(), nullptr);
    EffectConstants::SelectText(vertex.Get(), nullptr, P::kPlainVertex);
    EXPECT_EQ(vertex->GetProgramText(), nullptr);
}

} // namespace
} // namespace nuv::test
