// The Direct3D 9 module under Wine: its mode list, the capability lines and levels the device
// gives, the value tables, the index-size rule, every assembly text on the device, the renderer
// without the assembler's DLL, and a reset device drawing again.
#include "../../core/TestSupport.h"
#include "../DeviceTestScene.h"
#include "core/IntBuffer.h"
#include "core/Vector2Buffer.h"
#include "core/Vector3Buffer.h"
#include "media/ModuleManager.h"
#include "media/image/Image.h"
#include "platform/SystemWindow.h"
#include "render/PixelShader.h"
#include "render/Technique.h"
#include "render/Texture.h"
#include "render/TextureEffect.h"
#include "render/VertexShader.h"
#include "render/d3d9/D3d9Renderer.h"
#include "render/d3d9/D3d9StateMapping.h"
#include "render/programs/ShaderPrograms.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace nuv::test {
namespace {

using RS = RenderStateBlock;

D3d9Renderer& Device(Renderer* renderer) {
    return *static_cast<D3d9Renderer*>(renderer);
}

// A texture of one colour, one level.
Pointer<Texture> Picture(uint8_t r, uint8_t g, uint8_t b) {
    Pointer<Image> image(new Image(String("picture"), 2, 2, Image::kRgb));
    for (int i = 0; i < 4; ++i) {
        image->GetPixels()[i * 3] = r;
        image->GetPixels()[i * 3 + 1] = g;
        image->GetPixels()[i * 3 + 2] = b;
    }
    Pointer<Texture> texture(new Texture);
    texture->SetImage(image.Get());
    texture->SetMipmapLevels(1);
    return texture;
}

// A textured rectangle over the middle of the view at depth z, its effect drawing the picture.
Pointer<Triangles> TexturedQuad(TextureEffect* effect, int firstIndex = 0) {
    Pointer<Triangles> mesh(new Triangles);
    const int count = firstIndex + 4;
    Pointer<Vector3Buffer> vertices(new Vector3Buffer(count));
    Pointer<Vector2Buffer> uv(new Vector2Buffer(count));
    Vector3* v = vertices->GetElements() + firstIndex;
    v[0] = {-1, -1, 5}, v[1] = {-1, 1, 5}, v[2] = {1, 1, 5}, v[3] = {1, -1, 5};
    Vector2* t = uv->GetElements() + firstIndex;
    t[0] = {0, 1}, t[1] = {0, 0}, t[2] = {1, 0}, t[3] = {1, 1};
    Pointer<IntBuffer> indices(new IntBuffer(6));
    const int32_t order[6] = {0, 1, 2, 0, 2, 3};
    for (int i = 0; i < 6; ++i) indices->GetElements()[i] = firstIndex + order[i];
    mesh->SetVertices(vertices.Get());
    mesh->SetTexCoords(0, uv.Get());
    mesh->SetIndices(indices.Get());
    mesh->SetEffect(effect);
    mesh->UpdateTree(0.0, false);
    return mesh;
}

class D3d9Frames : public DeviceScene {
protected:
    Rgb DrawnColour(Triangles& mesh) {
        Begin();
        renderer->DrawGeometry(&mesh);
        renderer->FlushDeferred();
        Hold();
        renderer->EndFrame();
        return At(32, 32);
    }
};

TEST(D3d9Levels, ShaderVersionsGiveTheLevelsAndNoPixelLevelMeansNoVertexLevel) {
    struct Case {
        DWORD vs, ps;
        int32_t vertex, pixel;
    } cases[] = {
        {D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 1), 0, 0}, {D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 4), 0, 0},
        {D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), 1, 1}, {D3DVS_VERSION(1, 1), D3DPS_VERSION(2, 0), 0, 1},
        {D3DVS_VERSION(3, 0), D3DPS_VERSION(3, 0), 2, 2}, {D3DVS_VERSION(3, 0), D3DPS_VERSION(1, 0), 4, 4},
        {D3DVS_VERSION(2, 0), 0, 4, 4},                   {D3DVS_VERSION(1, 0), D3DPS_VERSION(2, 0), 4, 1},
    };
    for (const Case& c : cases) {
        int32_t vertex = -1, pixel = -1;
        D3d9Renderer::LevelsFromVersions(c.vs, c.ps, vertex, pixel);
        EXPECT_EQ(vertex, c.vertex) << std::hex << c.vs << " " << c.ps;
        EXPECT_EQ(pixel, c.pixel) << std::hex << c.vs << " " << c.ps;
    }
    EXPECT_FALSE(D3d9Renderer::PointSpritesFrom(8000.0f, true));
    EXPECT_TRUE(D3d9Renderer::PointSpritesFrom(8192.0f, true));
    EXPECT_FALSE(D3d9Renderer::PointSpritesFrom(8192.0f, false));
    EXPECT_FALSE(D3d9Renderer::UsesLongIndices(65535));
    EXPECT_FALSE(D3d9Renderer::UsesLongIndices(65536));
    EXPECT_TRUE(D3d9Renderer::UsesLongIndices(65537));
}

TEST(D3d9Tables, EveryEngineValueMapsToItsDeviceValue) {
    const D3DBLEND blend[] = {D3DBLEND_ZERO,      D3DBLEND_ONE,          D3DBLEND_SRCCOLOR,  D3DBLEND_INVSRCCOLOR,
                              D3DBLEND_SRCALPHA,  D3DBLEND_INVSRCALPHA,  D3DBLEND_DESTCOLOR, D3DBLEND_INVDESTCOLOR,
                              D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA};
    for (int i = 0; i < RS::kBlendFactorCount; ++i) EXPECT_EQ(D3d9StateMapping::BlendFactor(i), blend[i]) << i;
    const D3DCMPFUNC comparison[] = {D3DCMP_NEVER,    D3DCMP_LESS,    D3DCMP_LESSEQUAL,    D3DCMP_EQUAL,
                                     D3DCMP_NOTEQUAL, D3DCMP_GREATER, D3DCMP_GREATEREQUAL, D3DCMP_ALWAYS};
    for (int i = 0; i < RS::kComparisonCount; ++i) EXPECT_EQ(D3d9StateMapping::Comparison(i), comparison[i]) << i;
    EXPECT_EQ(D3d9StateMapping::Cull(true, RS::kClockwise, false), D3DCULL_CW);
    EXPECT_EQ(D3d9StateMapping::Cull(true, RS::kCounterClockwise, false), D3DCULL_CCW);
    EXPECT_EQ(D3d9StateMapping::Cull(true, RS::kCounterClockwise, true), D3DCULL_CW);
    EXPECT_EQ(D3d9StateMapping::Cull(true, RS::kClockwise, true), D3DCULL_CCW);
    EXPECT_EQ(D3d9StateMapping::Cull(false, RS::kClockwise, true), D3DCULL_NONE);
    EXPECT_EQ(D3d9StateMapping::FogMode(RS::kFogExp2), D3DFOG_EXP2);
    EXPECT_EQ(D3d9StateMapping::Shading(RS::kShadeFlat), D3DSHADE_FLAT);
    const D3DSTENCILOP stencil[] = {D3DSTENCILOP_KEEP,   D3DSTENCILOP_ZERO,    D3DSTENCILOP_REPLACE,
                                    D3DSTENCILOP_INVERT, D3DSTENCILOP_INCRSAT, D3DSTENCILOP_DECRSAT};
    for (int i = 0; i < RS::kStencilOperationCount; ++i) EXPECT_EQ(D3d9StateMapping::StencilOperation(i), stencil[i]);
    EXPECT_EQ(D3d9StateMapping::Address(RS::kBorder), D3DTADDRESS_BORDER);
    const D3DTEXTUREFILTERTYPE min[] = {D3DTEXF_POINT, D3DTEXF_LINEAR, D3DTEXF_POINT,
                                        D3DTEXF_POINT, D3DTEXF_LINEAR, D3DTEXF_LINEAR};
    const D3DTEXTUREFILTERTYPE mip[] = {D3DTEXF_NONE,  D3DTEXF_NONE,  D3DTEXF_POINT,
                                        D3DTEXF_LINEAR, D3DTEXF_POINT, D3DTEXF_LINEAR};
    for (int i = 0; i < RS::kMinFilterCount; ++i) {
        D3DTEXTUREFILTERTYPE a = D3DTEXF_NONE, b = D3DTEXF_NONE;
        D3d9StateMapping::MinFilter(i, a, b);
        EXPECT_EQ(a, min[i]) << i;
        EXPECT_EQ(b, mip[i]) << i;
    }
    const D3DTEXTUREOP ops[] = {D3DTOP_SELECTARG1, D3DTOP_MODULATE,  D3DTOP_ADD,
                                D3DTOP_SUBTRACT,   D3DTOP_ADDSIGNED, D3DTOP_LERP};
    const int arguments[] = {1, 2, 2, 2, 2, 3};
    for (int i = 0; i < RS::kCombineOperationCount; ++i) {
        D3DTEXTUREOP op = D3DTOP_DISABLE;
        int count = 0;
        D3d9StateMapping::CombineOperation(i, op, count);
        EXPECT_EQ(op, ops[i]);
        EXPECT_EQ(count, arguments[i]);
    }
    EXPECT_EQ(D3d9StateMapping::Argument(RS::kSourceConstant, RS::kOperandInvAlpha),
              DWORD(D3DTA_TFACTOR | D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE));
    EXPECT_EQ(D3d9StateMapping::Argument(RS::kSourcePrimary, RS::kOperandColor), DWORD(D3DTA_DIFFUSE));
    EXPECT_EQ(D3d9StateMapping::TexCoordGeneration(RS::kTexGenSphere), DWORD(D3DTSS_TCI_SPHEREMAP));
    EXPECT_EQ(D3d9StateMapping::TexCoordGeneration(RS::kTexGenProjected), DWORD(D3DTSS_TCI_PASSTHRU));
    EXPECT_EQ(D3d9StateMapping::Primitive(Renderer::kTriangleStrip), D3DPT_TRIANGLESTRIP);
    // Values beyond an enumeration fall back, never read past a table.
    EXPECT_EQ(D3d9StateMapping::BlendFactor(RS::kBlendFactorCount), D3DBLEND_ONE);
    EXPECT_EQ(D3d9StateMapping::Comparison(-1), D3DCMP_ALWAYS);
    // ARGB: each channel truncated from x 255 and cut to 8 bits, alpha on top.
    EXPECT_EQ(D3d9StateMapping::Argb(Color(1.0f, 0.5f, 0.25f, 1.0f)), D3DCOLOR(0xFFFF7F3Fu));
    EXPECT_EQ(D3d9StateMapping::Argb(Color(1.5f, -0.1f, 0.0f, 0.0f)), D3DCOLOR(0x007EE700u));
}

TEST_F(D3d9Frames, TheModeListHoldsTheDesktopAndWindowedRecords) {
    const int desktopWidth = GetSystemMetrics(SM_CXSCREEN), desktopHeight = GetSystemMetrics(SM_CYSCREEN);
    const int defaultMode = renderer->GetDefaultMode();
    ASSERT_GE(defaultMode, 0);
    const DisplayMode* desktop = renderer->GetMode(defaultMode);
    EXPECT_EQ(desktop->fullScreen, 1);
    EXPECT_EQ(desktop->width, desktopWidth);
    EXPECT_EQ(desktop->height, desktopHeight);
    int windowed = 0;
    for (int i = 0; i < renderer->GetModeCount(); ++i) {
        const DisplayMode* mode = renderer->GetMode(i);
        EXPECT_TRUE(mode->colorBits == 16 || mode->colorBits == 32) << i;
        EXPECT_GE(mode->sampleCount, 1);
        EXPECT_GT(mode->depthBits, 0);
        if (!mode->fullScreen) ++windowed;
        else EXPECT_GT(mode->width * mode->height, 0);
    }
    EXPECT_GT(windowed, 0);
}

TEST_F(D3d9Frames, TheCapabilityLinesComeInOrderWithTheDevicesLevels) {
    const int windowed = [&] {
        for (int i = 0; i < renderer->GetModeCount(); ++i)
            if (!renderer->GetMode(i)->fullScreen) return i;
        return -1;
    }();
    ASSERT_EQ(renderer->Close(), 0);
    LogRecorder log;
    ASSERT_EQ(renderer->Open(windowed, String("Render test"), nullptr, 0, 0, kSize, kSize), 0);
    const char* const expected[] = {
        "VERTEXPROCESSING", "COLOR BPP 32", "Alpha BPP", "Depth BPP", "Stencil BPP", "Samples 1", "Vendor [",
        "Driver [", "Simultaneous Textures [", "Max Active Lights [", "Volume Textures [", "Cube Textures [",
        "Projected Textures [", "VERTEX SHADER ", "PIXEL SHADER ", "Point Sprites [", "Occlusion Query [",
        "Hardware Shadowmaps [", "A16B16G16R16F Textures [", "A8 RenderTarget Textures MipMap Autogen support[",
        "A16B16G16R16 RenderTarget", "R8G8B8 RenderTarget", "R8G8B8A8 RenderTarget", "A8 CubeRenderTarget",
        "A16B16G16R16 CubeRenderTarget", "R8G8B8 CubeRenderTarget", "R8G8B8A8 CubeRenderTarget",
        "DXT1 texture compression support[", "DXT2", "DXT3", "DXT4", "DXT5 texture compression support["};
    size_t at = 0;
    for (const char* part : expected) {
        while (at < log.lines.size() && log.lines[at].find(part) == std::string::npos) ++at;
        ASSERT_LT(at, log.lines.size()) << "no line with '" << part << "' in order";
    }
    // Wine's device on Mesa offers shader model 3.0: levels 2 and 2, as the log says.
    const RendererCaps& caps = renderer->GetCaps();
    EXPECT_EQ(caps.shadingLanguage, RendererCaps::kLanguageAssembly);
    EXPECT_EQ(caps.vertexLevel, 2);
    EXPECT_EQ(caps.pixelLevel, 2);
    EXPECT_TRUE(log.ContainsText("VERTEX SHADER 2"));
    EXPECT_TRUE(log.ContainsText("PIXEL SHADER 2"));
    EXPECT_GE(caps.textureUnits, 4);
    EXPECT_EQ(caps.shadowMaps, 1);
    EXPECT_TRUE(Device(renderer).HasAssembler());
}

TEST_F(D3d9Frames, EveryAssemblyTextBuildsOnTheDevice) {
    std::string messages;
    static std::string* sink = nullptr;
    sink = &messages;
    Renderer::SetMessageFunction([](const char* text) { *sink += text; });
    int built = 0;
    for (int i = 0; i < ShaderPrograms::kProgramCount; ++i)
        for (int level = 0; level < ShaderPrograms::kLevelCount; ++level) {
            const auto program = ShaderPrograms::Program(i);
            const char* text = ShaderPrograms::Text(program, RendererCaps::kLanguageAssembly, level);
            if (!text) continue;
            const int cached = Device(renderer).GetCachedCount();
            if (ShaderPrograms::IsVertex(program)) {
                Pointer<VertexShader> shader(new VertexShader);
                shader->SetProgramText(text);
                renderer->SetVertexShader(shader.Get());
                EXPECT_EQ(std::strncmp(text, level == 0 ? "vs_1_1" : "vs_", 6 - (level != 0) * 3), 0) << i;
            } else {
                Pointer<PixelShader> shader(new PixelShader);
                shader->SetProgramText(text);
                renderer->SetPixelShader(shader.Get());
                EXPECT_EQ(std::strncmp(text, level == 0 ? "ps_1_1" : "ps_", 6 - (level != 0) * 3), 0) << i;
            }
            EXPECT_EQ(Device(renderer).GetCachedCount(), cached) << "the shader's entry goes with it";
            ++built;
        }
    Renderer::SetMessageFunction(nullptr);
    EXPECT_EQ(messages, "");
    EXPECT_GT(built, ShaderPrograms::kProgramCount);
    // A text the assembler refuses reaches the user once, and nothing is bound for it.
    Renderer::SetMessageFunction([](const char* text) { *sink += text; });
    Pointer<VertexShader> broken(new VertexShader);
    broken->SetProgramText("vs_2_0\nmov oPos, q7\n");
    renderer->SetVertexShader(broken.Get());
    renderer->SetVertexShader(broken.Get());
    Renderer::SetMessageFunction(nullptr);
    EXPECT_NE(messages, "");
}

TEST_F(D3d9Frames, IndicesAboveSixteenBitsReachTheirVertices) {
    // The device reads 32-bit indices, so a quad whose vertices sit beyond 65535 draws whole.
    ASSERT_TRUE(D3d9Renderer::UsesLongIndices(Device(renderer).GetDeviceFacts().maxVertexIndex));
    Pointer<TextureEffect> effect(new TextureEffect);
    effect->SetTexture(Picture(0, 0, 255).Get());
    Pointer<Triangles> quad = TexturedQuad(effect.Get(), 70000);
    const Rgb drawn = DrawnColour(*quad);
    EXPECT_TRUE(Near(32, 32, {0, 0, 255})) << drawn.b;
}

TEST_F(D3d9Frames, AResetDeviceReleasesItsTargetsAndDrawsAgain) {
    Pointer<TextureEffect> effect(new TextureEffect);
    effect->SetTexture(Picture(255, 0, 0).Get());
    Pointer<Triangles> quad = TexturedQuad(effect.Get());
    // A render target is a default-pool object: the reset lets it go, the managed ones stay.
    Pointer<Texture> target(new Texture);
    target->SetImage(new Image(String("target"), 16, 16, Image::kRgb));
    Begin();
    renderer->SetRenderTarget(target.Get());
    renderer->Clear(Renderer::kClearColor, Color(0, 1, 0, 1), 1, 0);
    renderer->SetRenderTarget(nullptr);
    renderer->EndFrame();
    EXPECT_EQ(DrawnColour(*quad).r, 255);
    const int before = Device(renderer).GetCachedCount();
    EXPECT_GE(Device(renderer).GetDefaultPoolCount(), 2);  // the target and the pass's recorded state
    ASSERT_TRUE(Device(renderer).ResetDevice());
    EXPECT_EQ(Device(renderer).GetDefaultPoolCount(), 0);
    EXPECT_EQ(Device(renderer).GetCachedCount(), before - 2);
    // Everything released is made again on its next use.
    EXPECT_EQ(DrawnColour(*quad).r, 255);
    EXPECT_TRUE(Near(32, 32, {255, 0, 0}));
    EXPECT_GE(Device(renderer).GetDefaultPoolCount(), 1);
}

TEST_F(D3d9Frames, BuffersRewrittenEveryDrawFollowTheirContentAcrossAReset) {
    // The fixed-function pass fills the geometry's colours at every draw: from the second on, the
    // colour buffer is a dynamic one in the default pool.
    renderer->LimitCaps(RendererCaps::kLevelNone, RendererCaps::kLevelNone, -1, true);
    Pointer<TextureEffect> effect(new TextureEffect);
    effect->SetTexture(Picture(255, 255, 255).Get());
    effect->SetColor(Color(1, 0, 0, 1));
    Pointer<Triangles> quad = TexturedQuad(effect.Get());
    EXPECT_EQ(DrawnColour(*quad).r, 255);
    EXPECT_EQ(DrawnColour(*quad).r, 255);
    const int pooled = Device(renderer).GetDefaultPoolCount();
    effect->SetColor(Color(0, 0, 1, 1));
    DrawnColour(*quad);
    EXPECT_TRUE(Near(32, 32, {0, 0, 255}));
    EXPECT_EQ(Device(renderer).GetDefaultPoolCount(), pooled);
    ASSERT_TRUE(Device(renderer).ResetDevice());
    EXPECT_EQ(Device(renderer).GetDefaultPoolCount(), 0);
    effect->SetColor(Color(0, 1, 0, 1));
    DrawnColour(*quad);
    EXPECT_TRUE(Near(32, 32, {0, 255, 0}));
    DrawnColour(*quad);
    EXPECT_TRUE(Near(32, 32, {0, 255, 0}));
}

TEST_F(D3d9Frames, WithoutTheAssemblersDllTheFixedTechniquesDraw) {
    EXPECT_EQ(renderer->Close(), 0);
    ModuleManager::DestroyRenderer();
    LogRecorder log;
    D3d9Renderer::SetAssemblerLibrary("nuv_no_such_d3dx9.dll");
    const int made = ModuleManager::CreateRenderer(kModule);
    D3d9Renderer::SetAssemblerLibrary(nullptr);
    ASSERT_EQ(made, 0);
    renderer = ModuleManager::GetRenderer();
    int windowed = 0;
    while (renderer->GetMode(windowed)->fullScreen) ++windowed;
    ASSERT_EQ(renderer->Open(windowed, String("Render test"), nullptr, 0, 0, kSize, kSize), 0);
    EXPECT_FALSE(Device(renderer).HasAssembler());
    EXPECT_EQ(renderer->GetCaps().vertexLevel, RendererCaps::kLevelNone);
    EXPECT_EQ(renderer->GetCaps().pixelLevel, RendererCaps::kLevelNone);
    int said = 0;
    for (const std::string& line : log.lines) said += line.find("nuv_no_such_d3dx9.dll") != std::string::npos;
    EXPECT_EQ(said, 1);
    Pointer<TextureEffect> effect(new TextureEffect);
    effect->SetTexture(Picture(0, 255, 0).Get());
    Pointer<Triangles> quad = TexturedQuad(effect.Get());
    DrawnColour(*quad);
    EXPECT_EQ(effect->CurrentTechnique(), effect->GetTechnique(1));
    EXPECT_TRUE(Near(32, 32, {0, 255, 0}));
}

} // namespace
} // namespace nuv::test
