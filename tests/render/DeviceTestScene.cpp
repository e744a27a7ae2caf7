#include "DeviceTestScene.h"

#include "core/ColorBuffer.h"
#include "core/IntBuffer.h"
#include "core/Vector2Buffer.h"
#include "core/Vector3Buffer.h"
#include "media/ModuleManager.h"
#include "media/image/Image.h"
#include "media/image/TgaImageCodec.h"
#include "platform/SystemWindow.h"
#include "render/BaseTexture.h"
#include "render/PixelShader.h"
#include "render/Technique.h"
#include "render/VertexShader.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace nuv {

NUV_IMPLEMENT_OBJECT(QuadPass, GeometryNodeEffectPass)
NUV_IMPLEMENT_OBJECT(QuadEffect, GeometryNodeEffect)

namespace {

struct Always : Technique {
    bool IsSupported() override { return true; }
};

const WindowCalls kWindowCalls{&CreateSystemWindow, &DestroySystemWindow};

} // namespace

int QuadPass::Apply() {
    Renderer& r = *ModuleManager::GetRenderer();
    GeometryNode* g = r.GetCurrentGeometry();
    r.SetWorldMatrix(Matrix4());
    r.SetViewMatrix(Matrix4());
    r.SetProjectionMatrix(Matrix4());
    r.SetTextureMatrix(0, textureMatrix);
    r.BindPositions(g->GetVertices());
    r.BindColors(g->GetColors());
    r.BindNormals(g->GetNormals());
    r.BindTexCoords(g->GetTexCoords(0), 0);
    r.BindIndices(g->GetIndices());
    for (int i = 0; i < 2; ++i) r.SetTexture(textures[i].Get(), i);
    r.SetVertexShader(vertexShader.Get());
    r.SetPixelShader(pixelShader.Get());
    if (!vertexConstants.empty()) r.SetVertexConstants(8, vertexConstants.data(), int(vertexConstants.size() / 4));
    return 0;
}

void QuadPass::Refresh() {
    GeometryNodeEffectPass::Refresh();
    if (shape && GetStateBlock()) shape(*GetStateBlock());
}

QuadEffect::QuadEffect() {
    auto* technique = new Always;
    pass = new QuadPass(this);
    technique->AddPass(pass.Get());
    AddTechnique(technique);
}

namespace test {

Pointer<Triangles> Quad(float x0, float y0, float x1, float y1, float z, const Color& color, bool clockwise) {
    Pointer<Triangles> quad(new Triangles);
    Pointer<Vector3Buffer> positions(new Vector3Buffer(4));
    Vector3* p = positions->GetElements();
    p[0] = Vector3(x0, y0, z);
    p[1] = Vector3(x0, y1, z);
    p[2] = Vector3(x1, y1, z);
    p[3] = Vector3(x1, y0, z);
    Pointer<Vector2Buffer> coords(new Vector2Buffer(4));
    Vector2* t = coords->GetElements();
    t[0] = Vector2(0, 1);
    t[1] = Vector2(0, 0);
    t[2] = Vector2(1, 0);
    t[3] = Vector2(1, 1);
    Pointer<ColorBuffer> colors(new ColorBuffer(4));
    for (int i = 0; i < 4; ++i) colors->GetElements()[i] = color;
    Pointer<Vector3Buffer> normals(new Vector3Buffer(4));
    for (int i = 0; i < 4; ++i) normals->GetElements()[i] = Vector3(0, 0, -1);  // towards the viewer
    const int32_t cw[6] = {0, 1, 2, 0, 2, 3};
    const int32_t ccw[6] = {0, 2, 1, 0, 3, 2};
    Pointer<IntBuffer> indices(new IntBuffer(6));
    for (int i = 0; i < 6; ++i) indices->GetElements()[i] = clockwise ? cw[i] : ccw[i];
    quad->SetVertices(positions.Get());
    quad->SetTexCoords(0, coords.Get());
    quad->SetColors(colors.Get());
    quad->SetNormals(normals.Get());
    quad->SetIndices(indices.Get());
    Pointer<QuadEffect> effect(new QuadEffect);
    quad->SetEffect(effect.Get());
    quad->ComputeModelBound();
    quad->UpdateTree(0, false);
    return quad;
}

QuadEffect& EffectOf(Triangles& quad) {
    return static_cast<QuadEffect&>(*quad.GetEffect());
}

void DeviceScene::SetUp() {
#ifndef _WIN32
    // No display at all: SDL's offscreen driver on Mesa's software rasteriser, with a fixed
    // number of rasteriser threads so frames come out the same on every run.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("LP_NUM_THREADS", "2", 1);
    unsetenv("DISPLAY");
#endif
    name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    Renderer::SetWindowCalls(&kWindowCalls);
    ASSERT_EQ(ModuleManager::CreateRenderer(kModule), 0);
    renderer = ModuleManager::GetRenderer();
    ASSERT_NE(renderer, nullptr);
    int windowed = -1;
    for (int i = 0; i < renderer->GetModeCount() && windowed < 0; ++i)
        if (renderer->GetMode(i)->fullScreen == 0) windowed = i;
    ASSERT_GE(windowed, 0);
    ASSERT_EQ(renderer->Open(windowed, String("Render test"), nullptr, 0, 0, kSize, kSize), 0);
    ASSERT_EQ(renderer->GetViewportWidth(), kSize);
}

void DeviceScene::TearDown() {
    if (!renderer) {
        Renderer::SetWindowCalls(nullptr);
        return;
    }
    EXPECT_EQ(renderer->Close(), 0);
    ModuleManager::DestroyRenderer();
    Renderer::SetWindowCalls(nullptr);
}

void DeviceScene::Begin(const Color& clear) {
    held_ = false;
    ASSERT_EQ(renderer->BeginFrame(), 0);
    renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth | Renderer::kClearStencil, clear, 1.0f, 0);
}

void DeviceScene::Draw(Triangles& quad) {
    renderer->DrawGeometry(&quad);
}

void DeviceScene::Hold() {
    held_ = false;
    At(0, 0);
    held_ = true;
}

Rgb DeviceScene::At(int x, int y) {
    if (!held_) {
        EXPECT_TRUE(renderer->ReadFrame(width_, height_, frame_));
        saved_ = false;
    }
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {-1, -1, -1};
    const uint8_t* p = frame_.data() + (size_t(y) * size_t(width_) + size_t(x)) * 4;
    return {p[0], p[1], p[2]};
}

::testing::AssertionResult DeviceScene::Near(int x, int y, Rgb expected, int tolerance) {
    const Rgb got = At(x, y);
    if (std::abs(got.r - expected.r) <= tolerance && std::abs(got.g - expected.g) <= tolerance &&
        std::abs(got.b - expected.b) <= tolerance)
        return ::testing::AssertionSuccess();
    SaveFrame();
    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is (" << got.r << ", " << got.g << ", "
                                         << got.b << "), expected (" << expected.r << ", " << expected.g << ", "
                                         << expected.b << ") within " << tolerance << "; frame saved as frames/"
                                         << name << ".tga";
}

void DeviceScene::SaveFrame() {
    if (saved_ || frame_.empty()) return;
    saved_ = true;
    std::vector<uint8_t> bytes;
    TgaImageCodec::AppendPicture(frame_.data(), width_, height_, Image::kRgba, bytes);
    std::filesystem::create_directories("frames");
    if (FILE* file = std::fopen(("frames/" + name + ".tga").c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

} // namespace test
} // namespace nuv
