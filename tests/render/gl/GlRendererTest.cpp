// Frames drawn through the OpenGL module with no display, compared pixel by pixel with what the
// scene must give.
#include "../DeviceTestScene.h"

#include "core/Log.h"
#include "core/IntBuffer.h"
#include "core/Vector3Buffer.h"
#include "media/ModuleManager.h"
#include "media/image/Image.h"
#include "media/image/VolumeImage.h"
#include "render/ColorEffect.h"
#include "render/gl/GlSupport.h"
#include "render/CubeTexture.h"
#include "render/PixelShader.h"
#include "render/Texture.h"
#include "render/VertexShader.h"
#include "render/VolumeTexture.h"
#include "scene/Light.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <cmath>
#include <cstring>

namespace nuv::test {

namespace {

Pointer<Texture> SolidTexture(int width, int height, int format, const uint8_t* pixel) {
    const int bpp = Image::GetBytesPerPixel(format);
    Pointer<Image> image(new Image(String("solid"), width, height, format));
    for (int i = 0; i < width * height; ++i) std::memcpy(image->GetPixels() + i * bpp, pixel, size_t(bpp));
    Pointer<Texture> texture(new Texture);
    texture->SetImage(image.Get());
    return texture;
}

int Channel(float v) {
    return int(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

using GlFrame = DeviceScene;
using GlTexturing = DeviceScene;
using GlStates = DeviceScene;
using GlTargets = DeviceScene;
using GlPrograms = DeviceScene;

} // namespace

TEST_F(GlFrame, ModesDeviceCapabilitiesAndClear) {
    EXPECT_GE(renderer->GetDefaultMode(), 0);
    EXPECT_LT(renderer->GetDefaultMode(), renderer->GetModeCount());
    const DisplayMode* windowed = renderer->GetMode(renderer->GetModeCount() - 1);
    EXPECT_EQ(windowed->depthBits, 24);
    EXPECT_EQ(windowed->stencilBits, 8);
    const RendererCaps& caps = renderer->GetCaps();
    EXPECT_EQ(caps.shadingLanguage, RendererCaps::kLanguageGlsl);
    EXPECT_EQ(caps.vertexLevel, 1);
    EXPECT_EQ(caps.pixelLevel, 1);
    EXPECT_EQ(caps.textureUnits, 8);
    EXPECT_GE(caps.maxLights, 8);
    EXPECT_TRUE(caps.cubeTextures && caps.volumeTextures && caps.occlusionQueries && caps.shadowMaps);

    // The clear colour is kept; a clear of depth alone leaves it.
    Begin(Color(0.2f, 0.4f, 0.6f, 1));
    EXPECT_TRUE(Near(5, 5, {51, 102, 153}));
    renderer->Clear(Renderer::kClearDepth, Color(1, 1, 1, 1), 1.0f, 0);
    EXPECT_TRUE(Near(5, 5, {51, 102, 153}));
    EXPECT_FLOAT_EQ(renderer->GetClearColor().g, 0.4f);
    renderer->EndFrame();

    // Lowered capabilities for the technique fallbacks.
    renderer->LimitCaps(RendererCaps::kLevelNone, 0, 2, false);
    EXPECT_EQ(renderer->GetCaps().vertexLevel, RendererCaps::kLevelNone);
    EXPECT_EQ(renderer->GetCaps().textureUnits, 2);
    EXPECT_EQ(renderer->GetCaps().shadowMaps, 0);
}

TEST_F(GlFrame, ColouredQuadCullingAndItsReverse) {
    Pointer<Triangles> front = Quad(-1, -1, 0, 1, 0.5f, Color(1, 0, 0, 1));
    Pointer<Triangles> back = Quad(0, -1, 1, 1, 0.5f, Color(0, 1, 0, 1), false);
    Begin();
    Draw(*front);
    Draw(*back);
    // Clockwise is the front; the default order culls the counter-clockwise quad.
    EXPECT_TRUE(Near(16, 32, {255, 0, 0}));
    EXPECT_TRUE(Near(48, 32, {0, 0, 0}));

    renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, Color(0, 0, 0, 1), 1, 0);
    renderer->SetReverseCull(true);
    Draw(*front);
    Draw(*back);
    renderer->SetReverseCull(false);
    EXPECT_TRUE(Near(16, 32, {0, 0, 0}));
    EXPECT_TRUE(Near(48, 32, {0, 255, 0}));

    // Culling off draws both windings.
    renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, Color(0, 0, 0, 1), 1, 0);
    Pointer<Triangles> open = Quad(0, -1, 1, 1, 0.5f, Color(0, 0, 1, 1), false);
    EffectOf(*open).cullEnabled = 0;
    Draw(*open);
    EXPECT_TRUE(Near(48, 32, {0, 0, 255}));
    renderer->EndFrame();
}

TEST_F(GlFrame, BlendedQuadsAreDrawnBackToFront) {
    // Given near first; drawn far first, the near one blends over the far one.
    Pointer<Triangles> nearQuad = Quad(-1, -1, 1, 1, 0.2f, Color(0, 0, 1, 0.5f));
    Pointer<Triangles> farQuad = Quad(-1, -1, 1, 1, 0.8f, Color(1, 0, 0, 0.5f));
    for (Triangles* quad : {nearQuad.Get(), farQuad.Get()}) EffectOf(*quad).SetBlendEnabled(true);
    Begin();
    Draw(*nearQuad);
    Draw(*farQuad);
    EXPECT_TRUE(Near(32, 32, {0, 0, 0}));  // nothing yet: both wait for the flush
    renderer->FlushDeferred();
    EXPECT_TRUE(Near(32, 32, {64, 0, 128}));
    renderer->EndFrame();
}

TEST_F(GlFrame, SharedStateIsSetAgainAfterARefreshOrAClear) {
    // Two quads of one effect: the block is set once and kept between them.
    Pointer<Triangles> left = Quad(-1, -1, 0, 1, 0.5f, Color(1, 0, 0, 1), false);
    Pointer<Triangles> right = Quad(0, -1, 1, 1, 0.5f, Color(0, 1, 0, 1), false);
    right->SetEffect(left->GetEffect());
    Begin();
    Draw(*left);
    Draw(*right);
    EXPECT_TRUE(Near(16, 32, {0, 0, 0}));  // both culled
    EXPECT_TRUE(Near(48, 32, {0, 0, 0}));
    // A changed parameter reaches the device once the technique is refreshed.
    EffectOf(*left).cullEnabled = 0;
    EffectOf(*left).RefreshCurrentTechnique();
    Draw(*right);
    EXPECT_TRUE(Near(48, 32, {0, 255, 0}));

    // A pass that writes no depth, drawn again after a clear opened the depth mask.
    Pointer<Triangles> ghost = Quad(-1, -1, 1, 1, 0.5f, Color(0, 0, 1, 1));
    EffectOf(*ghost).depthWrite = 0;
    Pointer<Triangles> behind = Quad(-1, -1, 1, 1, 0.7f, Color(1, 1, 0, 1));
    Draw(*ghost);
    renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, Color(0, 0, 0, 1), 1, 0);
    Draw(*ghost);
    Draw(*behind);
    EXPECT_TRUE(Near(32, 32, {255, 255, 0}));
    renderer->EndFrame();
}

TEST_F(GlFrame, DirectionalLightLightsTheFacingSide) {
    Pointer<Triangles> quad = Quad(-1, -1, 1, 1, 0.5f, Color(0, 0, 0, 1));
    Pointer<Light> light(new Light);
    light->SetLightType(Light::kDefaultDirectional);  // along +z, into the screen
    light->SetDiffuse(Color(1, 1, 1, 1));
    light->UpdateTree(0, false);
    Begin();
    renderer->SetViewMatrix(Matrix4());
    renderer->AddLight(light.Get());
    Draw(*quad);
    renderer->DisableLights();
    // Material diffuse 0.8 under a white light head on; the vertex colours do not take part.
    EXPECT_TRUE(Near(32, 32, {204, 204, 204}));
    renderer->EndFrame();
}

TEST_F(GlStates, AlphaTestFogAndEqualDepth) {
    Pointer<Triangles> faint = Quad(-1, -1, 0, 1, 0.5f, Color(1, 1, 1, 0.3f));
    Pointer<Triangles> strong = Quad(0, -1, 1, 1, 0.5f, Color(1, 1, 1, 0.8f));
    for (Triangles* quad : {faint.Get(), strong.Get()}) {
        EffectOf(*quad).alphaTest = 1;
        EffectOf(*quad).alphaReference = 128;
    }
    Begin();
    Draw(*faint);
    Draw(*strong);
    EXPECT_TRUE(Near(16, 32, {0, 0, 0}));
    EXPECT_TRUE(Near(48, 32, {255, 255, 255}));

    // Fog of black geometry at view depth 0.5 towards white, in the three modes.
    struct FogCase {
        int mode;
        float start, end, density;
        float factor;  // share of the geometry's own colour
    };
    const FogCase cases[] = {{0, 0, 1, 1, 0.5f}, {1, 0, 1, 1, std::exp(-0.5f)}, {2, 0, 1, 1, std::exp(-0.25f)}};
    for (const FogCase& fog : cases) {
        Pointer<Triangles> quad = Quad(-1, -1, 1, 1, 0.5f, Color(0, 0, 0, 1));
        EffectOf(*quad).pass->shape = [&](RenderStateBlock& b) {
            b.fogEnabled = 1;
            b.fogMode = fog.mode;
            b.fogStart = fog.start;
            b.fogEnd = fog.end;
            b.fogDensity = fog.density;
            b.fogColor = Color(1, 1, 1, 1);
        };
        renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, Color(0, 0, 0, 1), 1, 0);
        Draw(*quad);
        const int grey = Channel(1.0f - fog.factor);
        EXPECT_TRUE(Near(32, 32, {grey, grey, grey}, 4)) << "fog mode " << fog.mode;
    }

    // The equal-depth override: only what lies exactly on the drawn depth passes.
    renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, Color(0, 0, 0, 1), 1, 0);
    Pointer<Triangles> base = Quad(-1, -1, 1, 1, 0.5f, Color(1, 0, 0, 1));
    Pointer<Triangles> same = Quad(-1, -1, 0, 1, 0.5f, Color(0, 1, 0, 1));
    Pointer<Triangles> nearer = Quad(0, -1, 1, 1, 0.3f, Color(0, 0, 1, 1));
    Draw(*base);
    renderer->SetEqualDepth(true);
    Draw(*same);
    Draw(*nearer);
    renderer->SetEqualDepth(false);
    EXPECT_TRUE(Near(16, 32, {0, 255, 0}));
    EXPECT_TRUE(Near(48, 32, {255, 0, 0}));
    renderer->EndFrame();
}

TEST_F(GlTexturing, RowsFlippedAndEachTextureFunction) {
    // Image rows run bottom first: the bottom row red, the top row green.
    Pointer<Image> image(new Image(String("rows"), 2, 2, Image::kRgb));
    const uint8_t rows[12] = {255, 0, 0, 255, 0, 0, 0, 255, 0, 0, 255, 0};
    std::memcpy(image->GetPixels(), rows, sizeof rows);
    Pointer<Texture> texture(new Texture);
    texture->SetAllowCompression(false);
    texture->SetImage(image.Get());
    Pointer<Triangles> quad = Quad(-1, -1, 1, 1, 0.5f, Color(1, 1, 1, 1));
    EffectOf(*quad).pass->textures[0] = texture.Get();
    EffectOf(*quad).pass->shape = [](RenderStateBlock& b) { b.stages[0].magFilter = 0; };
    Begin();
    Draw(*quad);
    EXPECT_TRUE(Near(32, 8, {255, 0, 0}));
    EXPECT_TRUE(Near(32, 56, {0, 255, 0}));
    EXPECT_GT(texture->GetMipmapLevels(), 1);  // the device's full chain is written back

    // Texture T against vertex colour P, and the constant K.
    const uint8_t texel[4] = {255, 128, 0, 128};
    const float T[4] = {1.0f, 128 / 255.0f, 0.0f, 128 / 255.0f};
    const float P[4] = {0.2f, 0.4f, 0.6f, 1.0f};
    const float K[4] = {0.0f, 1.0f, 0.0f, 1.0f};
    Pointer<Texture> rgba = SolidTexture(4, 4, Image::kRgba, texel);
    struct FunctionCase {
        const char* what;
        int function;
        std::function<void(RenderStateBlock::TextureStage&)> combine;
        std::function<float(int)> expected;
    };
    const FunctionCase cases[] = {
        {"replace", 0, nullptr, [&](int c) { return T[c]; }},
        {"decal", 1, nullptr, [&](int c) { return P[c] * (1 - T[3]) + T[c] * T[3]; }},
        {"modulate", 2, nullptr, [&](int c) { return T[c] * P[c]; }},
        {"blend", 3, nullptr, [&](int c) { return P[c] * (1 - T[c]) + K[c] * T[c]; }},
        {"add", 4, nullptr, [&](int c) { return T[c] + P[c]; }},
        {"combine subtract", 5,
         [](RenderStateBlock::TextureStage& s) {
             s.combineColorOp = 3;
             s.colorSource[0] = 0;
             s.colorSource[1] = 1;
         },
         [&](int c) { return T[c] - P[c]; }},
        {"combine interpolate by texture alpha", 5,
         [](RenderStateBlock::TextureStage& s) {
             s.combineColorOp = 5;
             s.colorSource[0] = 2;
             s.colorSource[1] = 1;
             s.colorSource[2] = 0;
             s.colorOperand[2] = 2;
         },
         [&](int c) { return K[c] * T[3] + P[c] * (1 - T[3]); }},
        {"combine add signed of inverted primary", 5,
         [](RenderStateBlock::TextureStage& s) {
             s.combineColorOp = 4;
             s.colorSource[0] = 0;
             s.colorSource[1] = 1;
             s.colorOperand[1] = 1;
         },
         [&](int c) { return T[c] + (1 - P[c]) - 0.5f; }},
    };
    for (const FunctionCase& test : cases) {
        Pointer<Triangles> shaded = Quad(-1, -1, 1, 1, 0.5f, Color(P[0], P[1], P[2], P[3]));
        EffectOf(*shaded).pass->textures[0] = rgba.Get();
        EffectOf(*shaded).pass->shape = [&](RenderStateBlock& b) {
            b.stages[0].function = test.function;
            b.stages[0].constantColor = Color(K[0], K[1], K[2], K[3]);
            if (test.combine) test.combine(b.stages[0]);
        };
        renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, Color(0, 0, 0, 1), 1, 0);
        Draw(*shaded);
        EXPECT_TRUE(Near(32, 32, {Channel(test.expected(0)), Channel(test.expected(1)), Channel(test.expected(2))}, 4))
            << test.what;
    }
    renderer->EndFrame();
}

TEST_F(GlTexturing, ASoftwareRasteriserReadsTheNearerMipLevelOnly) {
    const char* device = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const bool software = GlSupport::IsSoftwareRasterizer(device);
    EXPECT_TRUE(GlSupport::IsSoftwareRasterizer("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_FALSE(GlSupport::IsSoftwareRasterizer("AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6)"));
    EXPECT_FALSE(GlSupport::IsSoftwareRasterizer(nullptr));
    const uint8_t texel[3] = {200, 100, 50};
    // The filter the scene asks for, and the one the texture is given here.
    const struct {
        int asked;
        GLint blended, nearer;
    } cases[] = {
        {RenderStateBlock::kMinLinearMipLinear, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR_MIPMAP_NEAREST},
        {RenderStateBlock::kMinNearestMipLinear, GL_NEAREST_MIPMAP_LINEAR, GL_NEAREST_MIPMAP_NEAREST},
        {RenderStateBlock::kMinLinearMipNearest, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR_MIPMAP_NEAREST},
        {RenderStateBlock::kMinLinear, GL_LINEAR, GL_LINEAR},
    };
    for (const auto& c : cases) {
        Pointer<Texture> texture = SolidTexture(8, 8, Image::kRgb, texel);
        Pointer<Triangles> quad = Quad(-1, -1, 1, 1, 0.5f, Color(1, 1, 1, 1));
        EffectOf(*quad).pass->textures[0] = texture.Get();
        const int asked = c.asked;
        EffectOf(*quad).pass->shape = [asked](RenderStateBlock& b) { b.stages[0].minFilter = asked; };
        Begin();
        Draw(*quad);
        EXPECT_TRUE(Near(32, 32, {200, 100, 50}, 8)) << asked;  // drawn, the texture read
        GLint filter = 0;
        glActiveTexture(GL_TEXTURE0);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
        EXPECT_EQ(filter, software ? c.nearer : c.blended) << asked << " on " << device;
    }
}

TEST_F(GlTexturing, TextureMatrixMovesTwoCoordinatesByItsThirdRow) {
    // Left texel red, right texel green, sampled nearest and wrapped.
    Pointer<Image> image(new Image(String("pair"), 2, 1, Image::kRgb));
    const uint8_t texels[6] = {255, 0, 0, 0, 255, 0};
    std::memcpy(image->GetPixels(), texels, sizeof texels);
    Pointer<Texture> texture(new Texture);
    texture->SetImage(image.Get());
    Pointer<Triangles> quad = Quad(-1, -1, 1, 1, 0.5f, Color(1, 1, 1, 1));
    QuadPass& pass = *EffectOf(*quad).pass;
    pass.textures[0] = texture.Get();
    pass.shape = [](RenderStateBlock& b) {
        b.stages[0].magFilter = 0;
        b.stages[0].minFilter = 0;
    };
    Begin();
    Draw(*quad);
    EXPECT_TRUE(Near(8, 32, {255, 0, 0}));
    EXPECT_TRUE(Near(56, 32, {0, 255, 0}));
    // (u, v, 1) times the matrix: half a texture to the right.
    pass.textureMatrix.m[2][0] = 0.5f;
    renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, Color(0, 0, 0, 1), 1, 0);
    Draw(*quad);
    EXPECT_TRUE(Near(8, 32, {0, 255, 0}));
    EXPECT_TRUE(Near(56, 32, {255, 0, 0}));
    renderer->EndFrame();
}

TEST_F(GlTexturing, CubeVolumeAndCompressedTextures) {
    // Six faces of one colour each; a direction along -z reads the last face.
    const uint8_t faceColors[6][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};
    Pointer<VolumeImage> faces(new VolumeImage(String("faces"), 2, 2, Image::kRgb, 6));
    for (int f = 0; f < 6; ++f)
        for (int i = 0; i < 4; ++i) std::memcpy(faces->GetPixels() + (f * 4 + i) * 3, faceColors[f], 3);
    Pointer<CubeTexture> cube(new CubeTexture);
    cube->SetImage(faces.Get());

    auto directed = [](const Vector3& direction, const Color& color) {
        Pointer<Triangles> quad = Quad(-1, -1, 1, 1, 0.5f, color);
        Pointer<Vector3Buffer> coords(new Vector3Buffer(4));
        for (int i = 0; i < 4; ++i) coords->GetElements()[i] = direction;
        quad->SetTexCoords(0, coords.Get());
        return quad;
    };
    Begin();
    for (int f : {0, 5}) {
        const Vector3 direction = f == 0 ? Vector3(1, 0, 0) : Vector3(0, 0, -1);
        Pointer<Triangles> quad = directed(direction, Color(1, 1, 1, 1));
        EffectOf(*quad).pass->textures[0] = cube.Get();
        Draw(*quad);
        EXPECT_TRUE(Near(32, 32, {faceColors[f][0], faceColors[f][1], faceColors[f][2]})) << "face " << f;
    }

    // Four slices of a volume, read at the middle of the first and the last.
    const uint8_t slices[4][3] = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {200, 150, 100}};
    Pointer<VolumeImage> stack(new VolumeImage(String("slices"), 1, 1, Image::kRgb, 4));
    std::memcpy(stack->GetPixels(), slices, sizeof slices);
    Pointer<VolumeTexture> volume(new VolumeTexture);
    volume->SetImage(stack.Get());
    for (int s : {0, 3}) {
        Pointer<Triangles> quad = directed(Vector3(0.5f, 0.5f, (float(s) + 0.5f) / 4.0f), Color(1, 1, 1, 1));
        EffectOf(*quad).pass->textures[0] = volume.Get();
        EffectOf(*quad).pass->shape = [](RenderStateBlock& b) {
            b.stages[0].magFilter = 0;
            b.stages[0].minFilter = 0;
        };
        Draw(*quad);
        EXPECT_TRUE(Near(32, 32, {slices[s][0], slices[s][1], slices[s][2]})) << "slice " << s;
    }
    // A changed slice reaches the device after MarkDirty.
    stack->GetPixels()[9] = 255;
    volume->MarkDirty();
    Pointer<Triangles> again = directed(Vector3(0.5f, 0.5f, 0.875f), Color(1, 1, 1, 1));
    EffectOf(*again).pass->textures[0] = volume.Get();
    EffectOf(*again).pass->shape = [](RenderStateBlock& b) { b.stages[0].magFilter = 0; b.stages[0].minFilter = 0; };
    Draw(*again);
    EXPECT_TRUE(Near(32, 32, {255, 150, 100}));

    // A colour picture without alpha goes up DXT1-compressed when the texture allows it. A
    // software rasteriser keeps the texels the compression gives, at every level, uncompressed.
    const bool software = GlSupport::IsSoftwareRasterizer(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    const int side = 8;
    Pointer<Image> shades(new Image(String("shades"), side, side, Image::kRgb));
    for (int i = 0; i < side * side * 3; ++i) shades->GetPixels()[i] = uint8_t((i * 37 + (i / 3) * 11) % 256);
    Pointer<Texture> packed(new Texture);
    packed->SetImage(shades.Get());
    Pointer<Texture> plain(new Texture);
    plain->SetImage(shades.Get());
    plain->SetAllowCompression(false);
    // What the device makes of the same rows compressed: the texels expected at each level.
    GLuint reference = 0;
    glGenTextures(1, &reference);
    glBindTexture(GL_TEXTURE_2D, reference);
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
    const std::vector<uint8_t> rows = GlSupport::FlippedRows(shades->GetPixels(), side, side, 3);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_COMPRESSED_RGB_S3TC_DXT1_EXT, side, side, 0, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    auto texels = [](GLuint name, int level, int edge) {
        std::vector<uint8_t> out(size_t(edge * edge * 3));
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexImage(GL_TEXTURE_2D, level, GL_RGB, GL_UNSIGNED_BYTE, out.data());
        return out;
    };
    const bool dxt = renderer->GetCaps().dxt[0] != 0;
    for (Texture* texture : {packed.Get(), plain.Get()}) {
        Pointer<Triangles> quad = Quad(-1, -1, 1, 1, 0.5f, Color(1, 1, 1, 1));
        EffectOf(*quad).pass->textures[0] = texture;
        Draw(*quad);
        const GLuint name = GLuint(texture->GetResourceLink().handle[0]);
        GLint compressed = -1;
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED, &compressed);
        const bool packedOne = texture == packed.Get() && dxt;
        EXPECT_EQ(compressed, packedOne && !software ? 1 : 0);
        if (!packedOne) {
            EXPECT_EQ(texels(name, 0, side), rows);
            continue;
        }
        for (int level = 0, edge = side; edge >= 1; ++level, edge /= 2)
            EXPECT_EQ(texels(name, level, edge), texels(reference, level, edge)) << "level " << level;
        EXPECT_NE(texels(name, 0, side), rows) << "the compression changed no texel: nothing is tested";
    }
    glDeleteTextures(1, &reference);
    renderer->EndFrame();
}

TEST_F(GlTargets, PushPopFlushesIntoTheTargetAndNeverSamplesIt) {
    Pointer<Image> picture(new Image(String("target"), 16, 16, Image::kRgba));
    Pointer<Texture> target(new Texture);
    target->SetImage(picture.Get());
    Begin(Color(0, 0, 1, 1));
    renderer->SetRenderTarget(target.Get());
    EXPECT_EQ(renderer->GetViewportWidth(), 16);
    EXPECT_TRUE(renderer->IsRenderTarget(target.Get()));
    renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, Color(1, 0, 0, 1), 1, 0);
    // Blended geometry given while the target is pushed lands in the target at the pop.
    Pointer<Triangles> veil = Quad(-1, -1, 1, 1, 0.5f, Color(0, 1, 0, 0.5f));
    EffectOf(*veil).SetBlendEnabled(true);
    Draw(*veil);
    // The target itself bound as an input: nothing is bound, the vertex colour shows.
    Pointer<Triangles> probe = Quad(-1, -1, -0.5f, -0.5f, 0.1f, Color(1, 1, 1, 1));
    EffectOf(*probe).pass->textures[0] = target.Get();
    Draw(*probe);
    EXPECT_TRUE(Near(1, 1, {255, 255, 255}));
    renderer->SetRenderTarget(nullptr);
    EXPECT_EQ(renderer->GetDeferredCount(), 0);
    EXPECT_EQ(renderer->GetViewportWidth(), kSize);
    EXPECT_TRUE(Near(32, 32, {0, 0, 255}));  // the back buffer kept its own clear
    // Where the device generates lower levels, they follow what was drawn: level 1 (8 by 8)
    // away from the white corner. A software rasteriser reports no generation and the target
    // has level 0 alone, which the mip-map filters below still read.
    const char* device = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const bool generated = renderer->GetCaps().mipmapGeneration[3] != 0;
    EXPECT_EQ(generated, !GlSupport::IsSoftwareRasterizer(device)) << device;
    glBindTexture(GL_TEXTURE_2D, GLuint(target->GetResourceLink().handle[0]));
    GLint levelOneWidth = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &levelOneWidth);
    EXPECT_EQ(levelOneWidth, generated ? 8 : 0);
    if (generated) {
        std::vector<uint8_t> level(8 * 8 * 4);
        glGetTexImage(GL_TEXTURE_2D, 1, GL_RGBA, GL_UNSIGNED_BYTE, level.data());
        EXPECT_NEAR(level[(4 * 8 + 4) * 4 + 0], 128, 4);
        EXPECT_NEAR(level[(4 * 8 + 4) * 4 + 1], 128, 4);
        EXPECT_NEAR(level[(4 * 8 + 4) * 4 + 2], 0, 4);
    }

    // The texture now shows what was drawn into it.
    Pointer<Triangles> shown = Quad(-1, -1, 1, 1, 0.5f, Color(1, 1, 1, 1));
    EffectOf(*shown).pass->textures[0] = target.Get();
    Draw(*shown);
    EXPECT_TRUE(Near(48, 48, {128, 128, 0}, 4));
    EXPECT_TRUE(Near(2, 2, {255, 255, 255}, 4));
    // Popping an empty stack does nothing.
    renderer->SetRenderTarget(nullptr);
    EXPECT_EQ(renderer->GetViewportWidth(), kSize);
    renderer->EndFrame();
}

TEST_F(GlTargets, ATargetReadsBackTopRowFirstAndCopiesOverTheViewportTheRightWayUp) {
    // Red over the top half, green below, drawn into a target of the back buffer's size.
    Pointer<Image> picture(new Image(String("target"), kSize, kSize, Image::kRgba));
    Pointer<Texture> target(new Texture);
    target->SetImage(picture.Get());
    Begin(Color(0, 0, 1, 1));
    renderer->SetRenderTarget(target.Get());
    renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, Color(0, 1, 0, 1), 1, 0);
    Pointer<Triangles> top = Quad(-1, 0, 1, 1, 0.5f, Color(1, 0, 0, 1));
    Draw(*top);
    renderer->SetRenderTarget(nullptr);

    const char* device = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    // Only where the pixels are in memory already: a card would stall for them.
    ASSERT_EQ(renderer->ReadTarget(target.Get(), width, height, rgba), GlSupport::IsSoftwareRasterizer(device));
    if (!rgba.empty()) {
        ASSERT_EQ(width, kSize);
        ASSERT_EQ(height, kSize);
        EXPECT_EQ(rgba[(2 * size_t(kSize) + 5) * 4 + 0], 255);                  // row 2 from the top
        EXPECT_EQ(rgba[((size_t(kSize) - 3) * size_t(kSize) + 5) * 4 + 1], 255);  // row 2 from the bottom
        EXPECT_EQ(rgba[((size_t(kSize) - 3) * size_t(kSize) + 5) * 4 + 0], 0);
    }
    // A texture that was never a target, and nothing at all, are refused.
    Pointer<Texture> plain = SolidTexture(4, 4, Image::kRgba, std::array<uint8_t, 4>{1, 2, 3, 4}.data());
    Pointer<Triangles> user = Quad(-1, -1, -0.9f, -0.9f, 0.5f, Color(1, 1, 1, 1));
    EffectOf(*user).pass->textures[0] = plain.Get();
    Draw(*user);
    EXPECT_FALSE(renderer->ReadTarget(plain.Get(), width, height, rgba));
    EXPECT_FALSE(renderer->CopyTarget(plain.Get()));
    EXPECT_FALSE(renderer->CopyTarget(nullptr));

    // Copied onto the back buffer: red stays on top (At counts rows from the bottom).
    ASSERT_TRUE(renderer->CopyTarget(target.Get()));
    EXPECT_TRUE(Near(5, kSize - 3, {255, 0, 0}));
    EXPECT_TRUE(Near(5, 2, {0, 255, 0}));
    renderer->EndFrame();

    // A viewport of another size gets nothing: the copy is texel for pixel.
    Begin(Color(0, 0, 1, 1));
    renderer->SetViewport(Vector2(0, 0), Vector2(kSize / 2, kSize / 2));
    EXPECT_FALSE(renderer->CopyTarget(target.Get()));
    renderer->SetViewport(Vector2(0, 0), Vector2(kSize, kSize));
    EXPECT_TRUE(Near(5, 5, {0, 0, 255}));
    renderer->EndFrame();
}

TEST_F(GlTargets, NestedTargetsRestoreTheOuterSizeAndShadowMapsTakeDepth) {
    Pointer<Image> big(new Image(String("outer"), 32, 32, Image::kRgb));
    Pointer<Image> small(new Image(String("inner"), 8, 8, Image::kRgb));
    Pointer<Texture> outer(new Texture), inner(new Texture);
    outer->SetImage(big.Get());
    inner->SetImage(small.Get());
    Begin();
    renderer->SetRenderTarget(outer.Get());
    renderer->SetRenderTarget(inner.Get());
    EXPECT_EQ(renderer->GetViewportWidth(), 8);
    renderer->SetRenderTarget(nullptr);
    EXPECT_EQ(renderer->GetViewportWidth(), 32);
    EXPECT_EQ(renderer->GetViewportHeight(), 32);
    renderer->SetRenderTarget(nullptr);
    EXPECT_EQ(renderer->GetViewportWidth(), kSize);

    // A shadow map without a picture takes the viewport's size and keeps the depth drawn into it.
    Pointer<Texture> shadow(new Texture);
    renderer->SetShadowmapTarget(shadow.Get(), 0, 0.0f);
    ASSERT_EQ(renderer->GetRenderTargetDepth(), 1);
    renderer->Clear(Renderer::kClearDepth, Color(), 1.0f, 0);
    Pointer<Triangles> caster = Quad(-1, -1, 0, 1, 0.25f, Color(1, 1, 1, 1));
    Draw(*caster);
    renderer->SetShadowmapTarget(nullptr, 0, 0.0f);
    EXPECT_EQ(renderer->GetRenderTargetDepth(), 0);
    std::vector<float> depth(size_t(kSize) * kSize);
    glBindTexture(GL_TEXTURE_2D, GLuint(shadow->GetResourceLink().handle[0]));
    glGetTexImage(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    EXPECT_NEAR(depth[32 * kSize + 16], 0.25f, 1e-3f);
    EXPECT_NEAR(depth[32 * kSize + 48], 1.0f, 1e-6f);

    // Taken as the target again (the next frame's map), it is the same texture with the depth
    // still in it, not a new one made at every use.
    renderer->SetShadowmapTarget(shadow.Get(), 0, 0.0f);
    renderer->SetShadowmapTarget(nullptr, 0, 0.0f);
    std::fill(depth.begin(), depth.end(), -1.0f);
    glBindTexture(GL_TEXTURE_2D, GLuint(shadow->GetResourceLink().handle[0]));
    glGetTexImage(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    EXPECT_NEAR(depth[32 * kSize + 16], 0.25f, 1e-3f);
    renderer->EndFrame();
}

TEST_F(GlTargets, OcclusionQueryCountsVisibleSamples) {
    Object* query = new Texture;  // any object serves as a query's key
    Pointer<Object> hold(query);
    Pointer<Triangles> wall = Quad(-1, -1, 1, 1, 0.3f, Color(1, 1, 1, 1));
    // 10 by 10 pixels: the edges lie on pixel boundaries of the 64-pixel frame.
    const float edge = -1.0f + 10.0f / 32.0f;
    Pointer<Triangles> hidden = Quad(-1, -1, edge, edge, 0.6f, Color(1, 0, 0, 1));
    Pointer<Triangles> seen = Quad(-1, -1, edge, edge, 0.1f, Color(0, 1, 0, 1));
    Begin();
    Draw(*wall);
    EXPECT_EQ(renderer->GetQueryResult(query), -1);
    renderer->BeginQuery(query);
    Draw(*hidden);
    renderer->EndQuery(query);
    EXPECT_EQ(renderer->GetQueryResult(query), 0);
    renderer->BeginQuery(query);
    Draw(*seen);
    renderer->EndQuery(query);
    EXPECT_EQ(renderer->GetQueryResult(query), 100);
    renderer->EndFrame();
}

TEST_F(GlPrograms, ProgramPairReadsTheConstantsAndACompileErrorIsShown) {
    static const char* const kVertex =
        "#version 120\n"
        "uniform vec4 vc[256];\n"
        "void main() { gl_Position = gl_Vertex; gl_FrontColor = vc[8]; }\n";
    static const char* const kPixel =
        "#version 120\n"
        "uniform vec4 pc[32];\n"
        "void main() { gl_FragColor = gl_Color; }\n";
    static const char* const kBroken = "#version 120\nvoid main() { gl_FragColor = nothing; }\n";
    Pointer<VertexShader> vertex(new VertexShader);
    vertex->SetProgramText(kVertex);
    Pointer<PixelShader> pixel(new PixelShader);
    pixel->SetProgramText(kPixel);
    Pointer<Triangles> quad = Quad(-1, -1, 1, 1, 0.5f, Color(1, 0, 0, 1));
    EffectOf(*quad).pass->vertexShader = vertex.Get();
    EffectOf(*quad).pass->pixelShader = pixel.Get();
    EffectOf(*quad).pass->vertexConstants = {0, 1, 0, 1};
    Begin();
    Draw(*quad);
    EXPECT_TRUE(Near(32, 32, {0, 255, 0}));

    static std::string shown;
    Renderer::SetMessageFunction([](const char* text) { shown = text; });
    Pointer<PixelShader> broken(new PixelShader);
    broken->SetProgramText(kBroken);
    EffectOf(*quad).pass->pixelShader = broken.Get();
    renderer->Clear(Renderer::kClearColor, Color(0, 0, 0, 1), 1, 0);
    Draw(*quad);
    EXPECT_NE(shown.find("nothing"), std::string::npos) << shown;
    // Told once: the next draws of the same text stay silent.
    shown.clear();
    Draw(*quad);
    Renderer::SetMessageFunction(nullptr);
    EXPECT_EQ(shown, "");
    // Nothing of the pair is bound: the fixed-function pipeline draws the vertex colour.
    EXPECT_TRUE(Near(32, 32, {255, 0, 0}));
    EXPECT_EQ(broken->GetResourceLink().handle[0], 0u);
    renderer->EndFrame();
}

TEST_F(GlFrame, GammaFallsBackToTheFinishedFrame) {
    EXPECT_EQ(Renderer::PrimitiveCount(Renderer::kTriangleStrip, 6), 4);
    // No window system ramp offscreen: the presented frame itself goes through the ramp.
    renderer->SetGamma(100);
    Begin(Color(100 / 255.0f, 0, 200 / 255.0f, 1));
    renderer->EndFrame();
    glReadBuffer(GL_FRONT);
    uint8_t pixel[4] = {};
    glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    uint16_t ramp[256];
    Renderer::GammaRamp(100, ramp);
    EXPECT_NEAR(pixel[0], ramp[100] / 257.0, 1.5);
    EXPECT_NEAR(pixel[1], ramp[0] / 257.0, 1.5);
    EXPECT_NEAR(pixel[2], ramp[200] / 257.0, 1.5);
}

TEST_F(GlFrame, ReleasedAndDestroyedResourcesLetGoOfTheirLinks) {
    const uint8_t white[3] = {255, 255, 255};
    Pointer<Texture> texture = SolidTexture(2, 2, Image::kRgb, white);
    Pointer<Triangles> quad = Quad(-1, -1, 1, 1, 0.5f, Color(1, 1, 1, 1));
    EffectOf(*quad).pass->textures[0] = texture.Get();
    Begin();
    Draw(*quad);
    renderer->EndFrame();
    EXPECT_NE(texture->GetResourceLink().handle[0], 0u);
    EXPECT_NE(quad->GetVertices()->GetResourceLink().handle[0], 0u);
    // A new picture drops the device texture; closing drops the rest.
    const uint8_t black[3] = {0, 0, 0};
    Pointer<Texture> other = SolidTexture(2, 2, Image::kRgb, black);
    texture->SetImage(other->GetImage());
    EXPECT_EQ(texture->GetResourceLink().handle[0], 0u);
    EXPECT_EQ(texture->GetResourceLink().renderer.Get(), nullptr);
    EXPECT_EQ(renderer->DestroyDevice(), 0);
    EXPECT_EQ(quad->GetVertices()->GetResourceLink().handle[0], 0u);
    EXPECT_EQ(quad->GetVertices()->GetResourceLink().renderer.Get(), nullptr);
}

} // namespace nuv::test

namespace nuv::test {

TEST_F(GlPrograms, ColourEffectDrawsAlikeWithProgramsAndFixedFunctionAndUprightInTargets) {
    for (const bool programs : {true, false}) {
        // The technique is chosen at first use, so each path gets an effect of its own.
        if (!programs) renderer->LimitCaps(RendererCaps::kLevelNone, RendererCaps::kLevelNone, 8, true);
        // The upper half of what the default camera sees, five units ahead.
        Pointer<Triangles> quad = Quad(-3, 0, 3, 3, 5, Color(1, 1, 1, 1));
        Pointer<ColorEffect> effect(new ColorEffect);
        effect->SetColor(Color(0.25f, 0.5f, 1, 1));
        quad->SetEffect(effect.Get());
        quad->UpdateTree(0, false);
        static std::string compilerText;
        Renderer::SetMessageFunction([](const char* text) { compilerText += text; });
        Begin();
        Draw(*quad);
        Renderer::SetMessageFunction(nullptr);
        EXPECT_EQ(compilerText, "");
        GLint program = -1;
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        EXPECT_EQ(program != 0, programs);
        EXPECT_TRUE(Near(32, 48, {64, 128, 255})) << (programs ? "programs" : "fixed function");
        EXPECT_TRUE(Near(32, 16, {0, 0, 0})) << (programs ? "programs" : "fixed function");

        Pointer<Image> picture(new Image(String("target"), kSize, kSize, Image::kRgb));
        Pointer<Texture> target(new Texture);
        target->SetImage(picture.Get());
        renderer->SetRenderTarget(target.Get());
        renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, Color(0, 0, 0, 1), 1, 0);
        Draw(*quad);
        EXPECT_TRUE(Near(32, 48, {64, 128, 255})) << (programs ? "programs" : "fixed function") << " in a target";
        EXPECT_TRUE(Near(32, 16, {0, 0, 0})) << (programs ? "programs" : "fixed function") << " in a target";
        renderer->SetRenderTarget(nullptr);
        renderer->EndFrame();
    }
}

} // namespace nuv::test

namespace nuv::test {

TEST_F(GlStates, TwoSidedStencilKeepsTheFrontAndBackOperationsApart) {
    // Left: a front (clockwise) face replaces with 2; right: a back face increments to 1.
    Pointer<Triangles> front = Quad(-1, -1, 0, 1, 0.5f, Color(0, 0, 0, 1));
    Pointer<Triangles> back = Quad(0, -1, 1, 1, 0.5f, Color(0, 0, 0, 1), false);
    for (Triangles* quad : {front.Get(), back.Get()}) {
        EffectOf(*quad).cullEnabled = 0;
        EffectOf(*quad).pass->shape = [](RenderStateBlock& b) {
            b.stencilEnabled = 1;
            b.stencilReference = 2;
            b.stencilPass = RenderStateBlock::kReplace;
            b.twoSidedStencil = 1;
            b.backStencilPass = RenderStateBlock::kIncrement;
        };
    }
    // Full-frame quads drawn only where the stencil holds their reference.
    auto where = [](int reference, const Color& color) {
        Pointer<Triangles> quad = Quad(-1, -1, 1, 1, 0.2f, color);
        EffectOf(*quad).pass->shape = [reference](RenderStateBlock& b) {
            b.stencilEnabled = 1;
            b.stencilComparison = RenderStateBlock::kEqual;
            b.stencilReference = reference;
        };
        return quad;
    };
    Pointer<Triangles> two = where(2, Color(1, 0, 0, 1));
    Pointer<Triangles> one = where(1, Color(0, 1, 0, 1));
    Begin();
    Draw(*front);
    Draw(*back);
    Draw(*two);
    Draw(*one);
    EXPECT_TRUE(Near(16, 32, {255, 0, 0}));
    EXPECT_TRUE(Near(48, 32, {0, 255, 0}));
    renderer->EndFrame();
}

} // namespace nuv::test

namespace nuv::test {

TEST_F(GlFrame, ExplicitBuffersDrawAndIndicesPastTheVerticesDrawNothing) {
    Pointer<Triangles> quad = Quad(-1, -1, 0, 1, 0.5f, Color(1, 0, 0, 1));
    Begin();
    Draw(*quad);  // the pass state and the current geometry for the explicit draw
    Pointer<Vector3Buffer> positions(new Vector3Buffer(3));
    positions->GetElements()[0] = Vector3(0, -1, 0.5f);
    positions->GetElements()[1] = Vector3(0, 1, 0.5f);
    positions->GetElements()[2] = Vector3(1, -1, 0.5f);
    Pointer<IntBuffer> indices(new IntBuffer(3));
    for (int i = 0; i < 3; ++i) indices->GetElements()[i] = i;
    renderer->DrawBuffers(positions.Get(), indices.Get(), nullptr, nullptr, nullptr);
    EXPECT_TRUE(Near(40, 16, {255, 0, 0}));

    // One index past the vertices: neither path draws.
    renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, Color(0, 0, 0, 1), 1, 0);
    indices->GetElements()[2] = 3;
    indices->MarkDirty();
    renderer->DrawBuffers(positions.Get(), indices.Get(), nullptr, nullptr, nullptr);
    Pointer<Triangles> forged = Quad(-1, -1, 1, 1, 0.5f, Color(0, 1, 0, 1));
    forged->GetIndices()->GetElements()[5] = 99;
    forged->GetIndices()->MarkDirty();
    forged->SetIndices(forged->GetIndices());
    Draw(*forged);
    EXPECT_TRUE(Near(40, 16, {0, 0, 0}));
    EXPECT_TRUE(Near(16, 48, {0, 0, 0}));
    renderer->EndFrame();
}

} // namespace nuv::test

namespace nuv::test {

TEST_F(GlFrame, ARendererLetGoWhileOpenClosesItsWindow) {
    Begin();
    renderer->EndFrame();
    ModuleManager::DestroyRenderer();
    renderer = nullptr;
    // The window and the renderer each held the video subsystem; both let go.
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
}

} // namespace nuv::test
