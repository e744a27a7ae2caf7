#pragma once

// Small scenes drawn through the platform's renderer module: quads in clip space, an effect of one
// pass whose state block the test shapes, and a read-back of the frame that is saved as a TGA
// picture beside the failing test.
#include "animation/SkinController.h"
#include "core/Color.h"
#include "core/Pointer.h"
#include "render/EffectConstants.h"
#include "render/GeometryNodeEffect.h"
#include "render/GeometryNodeEffectPass.h"
#include "render/RenderStateBlock.h"
#include "render/Renderer.h"
#include "scene/Triangles.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace nuv {

class BaseTexture;
class VertexShader;
class PixelShader;

// Binds the current geometry's streams, its textures and shaders, and clip-space matrices.
class QuadPass : public GeometryNodeEffectPass {
    NUV_DECLARE_OBJECT
public:
    explicit QuadPass(GeometryNodeEffect* effect = nullptr) : GeometryNodeEffectPass(effect) {}
    int Apply() override;
    // The effect's parameters first, then what the test asks of the block.
    void Refresh() override;

    std::function<void(RenderStateBlock&)> shape;
    Pointer<BaseTexture> textures[2];
    Pointer<VertexShader> vertexShader;
    Pointer<PixelShader> pixelShader;
    std::vector<float> vertexConstants;  // from register 8
    Matrix4 textureMatrix;
};

class QuadEffect : public GeometryNodeEffect {
    NUV_DECLARE_OBJECT
public:
    QuadEffect();
    Pointer<QuadPass> pass;
};

namespace test {


// A rectangle in clip space (x, y in -1..1, depth z in 0..1), wound clockwise (the front) unless
// asked otherwise, with one colour and texture coordinates (0, 0) at its top left.
Pointer<Triangles> Quad(float x0, float y0, float x1, float y1, float z, const Color& color,
                        bool clockwise = true);
// The quad's effect, to shape before the first draw.
QuadEffect& EffectOf(Triangles& quad);

struct Rgb {
    int r, g, b;
};

// A renderer from the platform's module ("OpenGL", "DirectX9") on a small window: the same scenes,
// probes and tolerances for both.
class DeviceScene : public ::testing::Test {
protected:
#ifdef _WIN32
    static constexpr const char* kModule = "DirectX9";
#else
    static constexpr const char* kModule = "OpenGL";
#endif
    static constexpr int kSize = 64;

    void SetUp() override;
    void TearDown() override;

    // Clears to black with depth 1 and begins the frame.
    void Begin(const Color& clear = Color(0, 0, 0, 1));
    void Draw(Triangles& quad);
    // Reads the current target; the pixel at column x and row y counted from the bottom.
    Rgb At(int x, int y);
    // Keeps the current frame for the probes until the next Begin: after EndFrame presents it,
    // a back buffer's content is the device's to discard.
    void Hold();
    // Within tolerance of each channel; on failure the frame is saved as name.tga.
    ::testing::AssertionResult Near(int x, int y, Rgb expected, int tolerance = 3);

    Renderer* renderer = nullptr;
    std::string name;

private:
    void SaveFrame();
    std::vector<uint8_t> frame_;
    int width_ = 0;
    int height_ = 0;
    bool saved_ = false;
    bool held_ = false;
};

} // namespace test
} // namespace nuv
