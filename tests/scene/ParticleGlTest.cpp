// Snow, a garland at two moments of its chase, a flare and a window plane over and under
// blending, drawn headless through the OpenGL module.
#include "../render/DeviceTestScene.h"

#include "core/ColorBuffer.h"
#include "core/Vector3Buffer.h"
#include "core/Vector4.h"
#include "render/ColorEffect.h"
#include "render/PixelShader.h"
#include "render/SpriteEffect.h"
#include "render/Texture.h"
#include "render/VertexShader.h"
#include "scene/Camera.h"
#include "scene/Flare.h"
#include "scene/Garland.h"
#include "scene/Lines.h"
#include "scene/SphereVolumeEmitter.h"
#include "scene/SpriteParticleSystem.h"
#include "scene/WindowPlane.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace nuv::test {
namespace {

class GlSprites : public DeviceScene {
protected:
    // The pixel (column, row from the bottom) a world point lands on through the camera.
    void PixelOf(const Vector3& point, int& x, int& y) {
        const Vector4 clip = Vector4(point.x, point.y, point.z, 1.0f) * renderer->GetCamera()->GetViewProjection();
        x = int(std::floor((clip.x / clip.w + 1.0f) * 0.5f * kSize));
        y = int(std::floor((clip.y / clip.w + 1.0f) * 0.5f * kSize));
    }
    bool Lit(int x, int y) {
        const Rgb c = At(x, y);
        return c.r + c.g + c.b > 60;
    }
    // Lit pixels in the row through (x, y), counted outwards from it.
    int Width(int x, int y) {
        if (!Lit(x, y)) return 0;
        int left = x, right = x;
        while (left > 0 && Lit(left - 1, y)) --left;
        while (right < kSize - 1 && Lit(right + 1, y)) ++right;
        return right - left + 1;
    }
    // Twelve still flakes in a ball of 0.6 two units in front of the eye, drawn.
    Pointer<SpriteParticleSystem> DrawSnow(unsigned seed) {
        std::srand(seed);
        Pointer<SpriteParticleSystem> snow(new SpriteParticleSystem);
        Pointer<SphereVolumeEmitter> emitter(new SphereVolumeEmitter);
        emitter->radius = 0.6f;
        snow->SetEmitter(emitter.Get());
        snow->SetMaxParticles(12);
        snow->burstSize = 12;
        snow->emissionPeriod = 100.0f;
        snow->speed = 0.0f;
        snow->startSize = 0.1f;
        snow->endSize = 0.1f;
        snow->endColor = Color(1, 1, 1, 1);
        snow->GetLocalTransform().SetTranslation(Vector3(0.0f, 0.0f, 2.0f));
        snow->UpdateTree(0.01, true);
        snow->CullAndRender(*renderer);
        renderer->FlushDeferred();
        return snow;
    }
    // How many flakes inside the frame light their pixel; every one must.
    int LitFlakes(const SpriteParticleSystem& snow) {
        int lit = 0;
        for (const auto* p = snow.GetLiveParticles(); p; p = p->next) {
            int x = 0, y = 0;
            PixelOf(p->position, x, y);
            if (x < 1 || y < 1 || x >= kSize - 1 || y >= kSize - 1) continue;
            EXPECT_TRUE(Lit(x, y)) << "flake at pixel " << x << ", " << y;
            ++lit;
        }
        return lit;
    }
};

TEST_F(GlSprites, SnowFlakesAreDrawnWhereTheyAre) {
    // A device without point sprites (Wine's Direct3D 9 allows no point above 8000 pixels) draws
    // sprites as quads, which WithoutPointSpritesSnowAndFlaresAreQuads checks on every device.
    if (!renderer->GetCaps().pointSprites) GTEST_SKIP() << "the device has no point sprites";
    Begin();
    Pointer<SpriteParticleSystem> snow = DrawSnow(3);
    EXPECT_GT(LitFlakes(*snow), 6);
    EXPECT_TRUE(Near(0, 0, {0, 0, 0})) << "the corner stays dark";
    renderer->EndFrame();
}

TEST_F(GlSprites, FlareGlowsAtItsPosition) {
    Begin();
    Pointer<Flare> flare(new Flare);
    flare->color = Color(1.0f, 0.5f, 0.0f, 1.0f);
    flare->size = 0.2f;
    flare->GetLocalTransform().SetTranslation(Vector3(0.0f, 0.0f, 1.0f));
    flare->UpdateTree(0.0, true);
    flare->CullAndRender(*renderer);
    renderer->FlushDeferred();
    int x = 0, y = 0;
    PixelOf(Vector3(0.0f, 0.0f, 1.0f), x, y);
    EXPECT_TRUE(Near(x, y, {255, 128, 0}));
    EXPECT_TRUE(Near(2, 2, {0, 0, 0}));
    renderer->EndFrame();
}

TEST_F(GlSprites, GarlandChasesItsDarkGroup) {
    // Three lamps: red, green, blue; the red group starts dark.
    Pointer<Lines> line(new Lines);
    Pointer<Vector3Buffer> points(new Vector3Buffer(3));
    const Vector3 at[3] = {{-0.25f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {0.25f, 0.0f, 1.0f}};
    for (int i = 0; i < 3; ++i) points->GetElements()[i] = at[i];
    line->SetVertices(points.Get());
    // The garland is culled by its line's bound.
    line->RebuildDerived(false, false);
    line->UpdateTree(0.0, true);
    Pointer<Garland> garland(new Garland);
    garland->GetPalette().Append(Color(1, 0, 0, 1));
    garland->GetPalette().Append(Color(0, 1, 0, 1));
    garland->GetPalette().Append(Color(0, 0, 1, 1));
    garland->SetLine(line.Get());
    garland->blinkPeriod = 1.0f;
    garland->lampSize = 0.1f;
    const Rgb colours[3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

    for (int moment = 0; moment < 2; ++moment) {
        Begin();
        garland->UpdateTree(moment == 0 ? 0.0 : 1.5, true);
        garland->CullAndRender(*renderer);
        renderer->FlushDeferred();
        for (int i = 0; i < 3; ++i) {
            int x = 0, y = 0;
            PixelOf(at[i], x, y);
            const bool dark = i == moment;
            EXPECT_TRUE(Near(x, y, dark ? Rgb{0, 0, 0} : colours[i], 6)) << "moment " << moment << ", lamp " << i;
        }
        renderer->EndFrame();
    }
}

TEST_F(GlSprites, EverySpriteHasItsOwnSize) {
    // A device without point sprites (Wine's Direct3D 9 allows no point above 8000 pixels) draws
    // sprites as quads, which WithoutPointSpritesSnowAndFlaresAreQuads checks on every device.
    if (!renderer->GetCaps().pointSprites) GTEST_SKIP() << "the device has no point sprites";
    Begin();
    Pointer<Flare> small(new Flare), large(new Flare);
    small->size = 0.1f;
    large->size = 0.4f;
    small->color = large->color = Color(1, 1, 1, 1);
    small->GetLocalTransform().SetTranslation(Vector3(-0.5f, 0.0f, 2.0f));
    large->GetLocalTransform().SetTranslation(Vector3(0.5f, 0.0f, 2.0f));
    for (Flare* flare : {small.Get(), large.Get()}) {
        flare->UpdateTree(0.0, true);
        flare->CullAndRender(*renderer);
    }
    renderer->FlushDeferred();
    // Size times the viewport height over the distance: 3.1 and 12.4 pixels.
    int x = 0, y = 0;
    PixelOf(Vector3(-0.5f, 0.0f, 2.0f), x, y);
    const int smallWidth = Width(x, y);
    PixelOf(Vector3(0.5f, 0.0f, 2.0f), x, y);
    const int largeWidth = Width(x, y);
    EXPECT_GE(smallWidth, 2);
    EXPECT_LE(smallWidth, 5);
    EXPECT_GE(largeWidth, 10);
    EXPECT_LE(largeWidth, 15);
    renderer->EndFrame();
}

TEST_F(GlSprites, WithoutPointSpritesSnowAndFlaresAreQuads) {
    renderer->LimitPointSprites(false);
    Begin();
    Pointer<SpriteParticleSystem> snow = DrawSnow(5);
    ASSERT_NE(snow->GetVertices(), nullptr);
    EXPECT_EQ(snow->GetVertices()->GetCount(), 12 * 6) << "six corners a flake";
    EXPECT_EQ(snow->GetPointSizes(), nullptr);
    EXPECT_GT(LitFlakes(*snow), 6);
    renderer->EndFrame();

    // A flare quad is the size of the flare in the world: 0.4 at a distance of 2 is 7.7 pixels.
    Begin();
    Pointer<Flare> flare(new Flare);
    flare->size = 0.4f;
    flare->color = Color(1, 1, 1, 1);
    flare->GetLocalTransform().SetTranslation(Vector3(0.0f, 0.0f, 2.0f));
    flare->UpdateTree(0.0, true);
    flare->CullAndRender(*renderer);
    renderer->FlushDeferred();
    int x = 0, y = 0;
    PixelOf(Vector3(0.0f, 0.0f, 2.0f), x, y);
    EXPECT_GE(Width(x, y), 6);
    EXPECT_LE(Width(x, y), 10);
    renderer->EndFrame();
    renderer->LimitPointSprites(true);
}

Pointer<WindowPlane> Plane(const Color& color) {
    Pointer<WindowPlane> plane(new WindowPlane);
    Pointer<ColorBuffer> colors(new ColorBuffer(6));
    for (int i = 0; i < 6; ++i) colors->GetElements()[i] = color;
    plane->SetColors(colors.Get());
    Pointer<SpriteEffect> effect(new SpriteEffect);
    effect->depthTest = 0;
    plane->SetEffect(effect.Get());
    plane->position = Vector2(0.5f, 0.5f);
    plane->size = Vector2(0.5f, 0.5f);
    return plane;
}

TEST_F(GlSprites, WindowPlaneCoversTheTopRightQuarterOverOrUnderTheScene) {
    // Opaque: drawn at once, whatever the camera sees; hidden planes are drawn as well.
    Pointer<WindowPlane> opaque = Plane(Color(1, 0, 0, 1));
    opaque->SetHidden(true);
    Begin();
    opaque->CullAndRender(*renderer);
    EXPECT_TRUE(Near(48, 48, {255, 0, 0}));
    EXPECT_TRUE(Near(16, 16, {0, 0, 0}));
    EXPECT_TRUE(Near(16, 48, {0, 0, 0}));
    EXPECT_TRUE(Near(48, 16, {0, 0, 0}));
    renderer->EndFrame();

    // Blended: kept until the end, so it lies over the green drawn after it.
    Pointer<WindowPlane> glass = Plane(Color(1, 0, 0, 0.5f));
    glass->GetEffect()->SetBlendEnabled(true);
    Pointer<Triangles> green = Quad(-1, -1, 1, 1, 0.5f, Color(0, 1, 0, 1));
    EffectOf(*green).cullEnabled = 0;
    Begin();
    glass->CullAndRender(*renderer);
    Draw(*green);
    EXPECT_TRUE(Near(48, 48, {0, 255, 0}));
    renderer->FlushDeferred();
    EXPECT_TRUE(Near(48, 48, {128, 128, 0}));
    EXPECT_TRUE(Near(16, 16, {0, 255, 0}));
    renderer->EndFrame();
}

TEST_F(GlSprites, WindowPlaneWithAProgramLandsOnItsScreenRectangle) {
    // A colour effect draws through its vertex program, which reads the camera's matrices.
    ASSERT_NE(renderer->GetCaps().vertexLevel, RendererCaps::kLevelNone);
    Pointer<WindowPlane> plane(new WindowPlane);
    Pointer<ColorEffect> effect(new ColorEffect);
    effect->SetColor(Color(0, 0, 1, 1));
    effect->depthTest = 0;
    effect->cullEnabled = 0;
    plane->SetEffect(effect.Get());
    plane->position = Vector2(0.0f, 0.5f);
    plane->size = Vector2(0.5f, 0.5f);
    Begin();
    plane->CullAndRender(*renderer);
    renderer->FlushDeferred();
    EXPECT_TRUE(Near(16, 48, {0, 0, 255}));
    EXPECT_TRUE(Near(48, 48, {0, 0, 0}));
    EXPECT_TRUE(Near(16, 16, {0, 0, 0}));
    EXPECT_TRUE(Near(48, 16, {0, 0, 0}));
    renderer->EndFrame();
}

} // namespace
} // namespace nuv::test
