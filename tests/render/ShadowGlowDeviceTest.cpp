// Shadow maps, the glow and the letterbox drawn headless through the OpenGL module: a caster's
// shadow on the floor, a glow around a bright node and none at intensity 0, the letterbox bars,
// and the scene drawn straight where the glow cannot be.
#include "../core/TestSupport.h"
#include "animation/SkinController.h"
#include "core/IntBuffer.h"
#include "core/Vector3Buffer.h"
#include "core/Vector4Buffer.h"
#include "DeviceTestScene.h"
#include "media/image/Image.h"
#include "render/ColorEffect.h"
#include "render/CustomGlowPostRenderEffect.h"
#include "render/EffectConstants.h"
#include "render/PixelShader.h"
#include "render/PostRenderEffect.h"
#include "render/RenderShadowmapEffectController.h"
#include "render/ShadowmapEffect.h"
#include "render/Texture.h"
#include "render/TextureLightingEffect.h"
#include "media/image/Image.h"
#include "render/Texture.h"
#include "render/VertexShader.h"
#include "scene/Camera.h"
#include "scene/Light.h"
#include "scene/SceneNode.h"
#include "scene/SphereBoundingVolume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace nuv::test {
namespace {

class ShadowGlowFrames : public DeviceScene {
protected:
    // A horizontal rectangle at height y, facing up, in a colour, drawn from both sides.
    Pointer<Triangles> Plate(float x0, float x1, float z0, float z1, float y, const Color& color) {
        Pointer<Triangles> mesh(new Triangles);
        Pointer<Vector3Buffer> vertices(new Vector3Buffer(4));
        Vector3* v = vertices->GetElements();
        v[0] = {x0, y, z0}, v[1] = {x0, y, z1}, v[2] = {x1, y, z1}, v[3] = {x1, y, z0};
        Pointer<IntBuffer> indices(new IntBuffer(6));
        const int32_t order[6] = {0, 1, 2, 0, 2, 3};
        std::memcpy(indices->GetElements(), order, sizeof order);
        mesh->SetVertices(vertices.Get());
        mesh->SetIndices(indices.Get());
        mesh->ComputeModelBound();
        Pointer<ColorEffect> effect(new ColorEffect);
        effect->SetColor(color);
        effect->cullEnabled = 0;
        mesh->SetEffect(effect.Get());
        return mesh;
    }

    // Updates the scene (which lists the render-to-texture steps), begins the frame (which runs
    // them) and draws the scene; the frame stays open for the pixel checks.
    void DrawScene(SceneNode& root) {
        root.UpdateTree(0.0, true);
        Begin();
        root.CullAndRender(*renderer);
        renderer->FlushDeferred();
    }

    std::vector<uint8_t> Frame() {
        std::vector<uint8_t> rgba;
        int w = 0, h = 0;
        EXPECT_TRUE(renderer->ReadFrame(w, h, rgba));
        return rgba;
    }

    static int Differing(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
        if (a.size() != b.size()) return -1;
        int count = 0;
        for (size_t i = 0; i < a.size(); ++i) count += std::abs(int(a[i]) - int(b[i])) > 2 ? 1 : 0;
        return count;
    }

    // A floor seen from the eye at the origin, and a plate one unit above it, edge-on to the eye.
    struct ShadowScene {
        Pointer<SceneNode> root{new SceneNode};
        Pointer<Triangles> floor, caster;
        Pointer<Light> light{new Light};
    };
    ShadowScene MakeShadowScene() {
        ShadowScene scene;
        scene.floor = Plate(-3, 3, 2, 12, -1, Color(1, 1, 1, 1));
        scene.caster = Plate(-0.5f, 0.5f, 5, 7, 0, Color(1, 0, 0, 1));
        scene.root->AttachChild(scene.floor.Get());
        scene.root->AttachChild(scene.caster.Get());
        // Above the middle of the floor.
        scene.light->SetLightType(Light::kPoint);
        scene.light->GetLocalTransform().SetTranslation(Vector3(0, 10, 6));
        scene.light->UpdateTree(0.0, false);
        return scene;
    }
    Pointer<ShadowmapEffect> AddShadows(ShadowScene& scene) {
        Pointer<ShadowmapEffect> shadow(new ShadowmapEffect);
        shadow->SetShadowLight(scene.light.Get());
        shadow->AddNode(scene.floor.Get());
        shadow->AddNode(scene.caster.Get());
        shadow->SetDepthBias(2000);
        shadow->AddController(Pointer<RenderShadowmapEffectController>(new RenderShadowmapEffectController).Get());
        scene.root->AddEffect(shadow.Get());
        return shadow;
    }
};

// Floor points: (0, -1, 6) lies under the plate at pixel (32, 19); (2, -1, 6) at (52, 19) and
// (0, -1, 9.7) at (32, 24) are in the light.
TEST_F(ShadowGlowFrames, ACasterDarkensTheFloorBelowItWithTheShadowColour) {
    ShadowScene plain = MakeShadowScene();
    DrawScene(*plain.root);
    EXPECT_TRUE(Near(32, 19, {255, 255, 255}));
    renderer->EndFrame();

    ShadowScene scene = MakeShadowScene();
    Pointer<ShadowmapEffect> shadow = AddShadows(scene);
    ASSERT_EQ(shadow->CurrentTechnique(), shadow->GetTechnique(0));
    DrawScene(*scene.root);
    EXPECT_TRUE(Near(32, 19, {128, 128, 128}, 4));
    EXPECT_TRUE(Near(52, 19, {255, 255, 255}));
    EXPECT_TRUE(Near(32, 24, {255, 255, 255}));
    EXPECT_TRUE(Near(32, 10, {255, 255, 255}));
    renderer->EndFrame();

    // A full-alpha colour paints the shadow in it; the five-sample lookup agrees inside.
    shadow->SetShadowColor(Color(0, 0, 1, 1));
    shadow->SetFiltering(true);
    DrawScene(*scene.root);
    EXPECT_TRUE(Near(32, 19, {0, 0, 255}, 4));
    EXPECT_TRUE(Near(52, 19, {255, 255, 255}));
    renderer->EndFrame();

    // The light-space perspective warp puts the same shadow in the same place.
    shadow->SetShadowColor(Color(0, 0, 0, 0.5f));
    shadow->SetFiltering(false);
    shadow->SetPerspectiveWarping(true);
    DrawScene(*scene.root);
    EXPECT_TRUE(shadow->GetLastWarped());
    EXPECT_TRUE(Near(32, 19, {128, 128, 128}, 4));
    EXPECT_TRUE(Near(30, 20, {128, 128, 128}, 4));
    EXPECT_TRUE(Near(52, 19, {255, 255, 255}));
    EXPECT_TRUE(Near(32, 24, {255, 255, 255}));
    renderer->EndFrame();

    // A shadow colour alpha of 0 leaves no shadow.
    shadow->SetShadowColor(Color(0, 0, 0, 0));
    DrawScene(*scene.root);
    EXPECT_TRUE(Near(32, 19, {255, 255, 255}));
    renderer->EndFrame();
}

TEST_F(ShadowGlowFrames, AFixedFunctionFloorIsDarkenedAllOver) {
    // The fixed pipeline and the shadow program each compute the floor's depth in their own
    // way; the darkening pass must still cover every pixel of the shadow, not a scatter of them.
    ShadowScene scene = MakeShadowScene();
    Pointer<Image> white(new Image(String("white"), 1, 1, Image::kRgb));
    std::memset(white->GetPixels(), 255, 3);
    Pointer<Texture> texture(new Texture);
    texture->SetImage(white.Get());
    Pointer<Light> sky(new Light);
    sky->SetLightType(Light::kDirectional);
    sky->SetAmbient(Color(1, 1, 1, 1));
    sky->UpdateTree(0.0, false);
    Pointer<TextureLightingEffect> lit(new TextureLightingEffect);
    lit->SetTexture(texture.Get());
    lit->AddLight(sky.Get());
    lit->cullEnabled = 0;
    scene.floor->SetEffect(lit.Get());
    scene.floor->GetLocalTransform().SetTranslation(Vector3(0.37f, 0.0f, 0.53f));
    AddShadows(scene);
    DrawScene(*scene.root);
    const Rgb bright = At(52, 19);
    int dark = 0, total = 0;
    std::string map;
    for (int y = 18; y <= 20; ++y)
        for (int x = 28; x <= 35; ++x, ++total) {
            const bool isDark = 4 * int(At(x, y).r) < 3 * int(bright.r);
            dark += isDark ? 1 : 0;
            map += isDark ? '#' : '.';
        }
#ifdef _WIN32
    // Direct3D 9 rasterises with pixel centres on whole coordinates, half a texel from GL's, so
    // the map's edge moves by half a texel: the corner pixel of the window may fall outside.
    EXPECT_GE(dark, total - 1) << "lit floor red " << int(bright.r) << ", shadow rows 18-20: " << map;
#else
    EXPECT_EQ(dark, total) << "lit floor red " << int(bright.r) << ", shadow rows 18-20: " << map;
#endif
    renderer->EndFrame();
}

TEST_F(ShadowGlowFrames, ASkinnedFloorIsDarkenedThroughTheSkinnedProgram) {
    SkinController::InstallEffectHooks();
    ShadowScene scene = MakeShadowScene();
    // One bone, lifted by half a unit: the floor is drawn (and darkened) at y = -0.5.
    Pointer<Node> bone(new Node);
    bone->GetLocalTransform().SetTranslation(Vector3(0, 0.5f, 0));
    bone->UpdateTree(0.0, false);
    Pointer<Vector3Buffer> bind(new Vector3Buffer(4));
    std::memcpy(bind->GetElements(), static_cast<Vector3Buffer*>(scene.floor->GetVertices())->GetElements(),
                4 * sizeof(Vector3));
    Pointer<Vector4Buffer> weights(new Vector4Buffer(4)), indices(new Vector4Buffer(4));
    for (int i = 0; i < 4; ++i) {
        weights->GetElements()[i] = Vector4(1, 0, 0, 0);
        indices->GetElements()[i] = Vector4(0, 0, 0, 0);
    }
    Pointer<SkinController> skin(new SkinController);
    skin->AddBone(bone.Get(), Transform());
    skin->SetBindVertices(bind.Get());
    skin->SetWeights(weights.Get());
    skin->SetBoneIndices(indices.Get());
    scene.floor->AddController(skin.Get());
    scene.floor->GetEffect()->SetSkinController(skin.Get());
    Pointer<ShadowmapEffect> shadow = AddShadows(scene);
    DrawScene(*scene.root);
    EffectConstants::SetSkinDataSource(nullptr);
    GeometryNodeEffect::SetCpuSkinningSwitch(nullptr);
    EXPECT_FALSE(skin->IsActive());
    // (0, -0.5, 6) under the plate now lands on row 25; (2, -0.5, 6) on column 52 is lit. The
    // floor's unbounded sphere stays out of the focus region, which the plate alone sets.
    EXPECT_LT(shadow->GetFocusBound()->GetRadius(), 2.0f);
    EXPECT_TRUE(Near(32, 25, {128, 128, 128}, 4));
    EXPECT_TRUE(Near(52, 25, {255, 255, 255}));
    renderer->EndFrame();
}

TEST_F(ShadowGlowFrames, AMapTheDeviceRefusesLeavesTheTargetsAndTheSceneAlone) {
    ShadowScene scene = MakeShadowScene();
    Pointer<ShadowmapEffect> shadow = AddShadows(scene);
    Pointer<Image> huge(new Image);
    huge->AdoptPixels(1 << 20, 1 << 20, 4, nullptr);
    Pointer<Texture> map(new Texture);
    map->SetImage(huge.Get());
    shadow->SetShadowmap(map.Get());
    LogRecorder log;
    DrawScene(*scene.root);
    EXPECT_EQ(renderer->GetRenderTargetDepth(), 0);
    EXPECT_TRUE(log.ContainsText("Невозможно создать цель рендеринга"));
    // The scene is drawn; the receivers still darken with the map they have (none).
    EXPECT_GT(At(52, 19).r, 100);
    EXPECT_TRUE(Near(32, 40, {0, 0, 0}));
    renderer->EndFrame();
}

TEST_F(ShadowGlowFrames, WithoutHardwareShadowMapsTheSceneIsDrawnWithoutShadows) {
    renderer->LimitCaps(-1, -1, -1, false);
    ShadowScene scene = MakeShadowScene();
    Pointer<ShadowmapEffect> shadow = AddShadows(scene);
    EXPECT_EQ(shadow->CurrentTechnique(), shadow->GetTechnique(1));
    DrawScene(*scene.root);
    EXPECT_TRUE(Near(32, 19, {255, 255, 255}));
    EXPECT_TRUE(Near(52, 19, {255, 255, 255}));
    renderer->EndFrame();
}

// A grey background and a white lamp in the middle (pixels 24..39), in clip space.
struct GlowScene {
    Pointer<SceneNode> root{new SceneNode};
    Pointer<Triangles> background = Quad(-1, -1, 1, 1, 0.9f, Color(0.25f, 0.25f, 0.25f, 1));
    Pointer<Triangles> lamp = Quad(-0.25f, -0.25f, 0.25f, 0.25f, 0.5f, Color(1, 1, 1, 1));
    GlowScene() {
        root->AttachChild(background.Get());
        root->AttachChild(lamp.Get());
    }
};

TEST_F(ShadowGlowFrames, TheGlowBrightensAroundTheLampAndIntensityZeroLeavesTheCapture) {
    GlowScene plain;
    DrawScene(*plain.root);
    const std::vector<uint8_t> straight = Frame();
    EXPECT_TRUE(Near(2, 2, {64, 64, 64}));
    EXPECT_TRUE(Near(32, 32, {255, 255, 255}));
    renderer->EndFrame();

    GlowScene scene;
    Pointer<CustomGlowPostRenderEffect> glow(new CustomGlowPostRenderEffect);
    glow->AddNode(scene.lamp.Get());
    glow->SetIntensity(0.0f);
    scene.root->AddEffect(glow.Get());
    DrawScene(*scene.root);
    ASSERT_EQ(glow->PassCount(), 3);
    EXPECT_EQ(Differing(Frame(), straight), 0);
    EXPECT_EQ(glow->GetDownsampleTexture()->GetImage()->GetWidth(), kSize / 4);
    renderer->EndFrame();

    glow->SetIntensity(1.0f);
    DrawScene(*scene.root);
    const Rgb beside = At(42, 32), above = At(32, 42), corner = At(2, 2);
    EXPECT_GT(beside.r, 64 + 20);
    EXPECT_GT(above.g, 64 + 20);
    EXPECT_TRUE(Near(2, 2, {64, 64, 64})) << corner.r;
    EXPECT_TRUE(Near(32, 32, {255, 255, 255}));
    renderer->EndFrame();
}

TEST_F(ShadowGlowFrames, OnlyTheVisiblePartOfAGlowNodeGlows) {
    // A black plate in front hides the right half of the lamp: only the left half glows.
    GlowScene scene;
    Pointer<Triangles> screen = Quad(0, -1, 1, 1, 0.2f, Color(0, 0, 0, 1));
    scene.root->AttachChild(screen.Get());
    Pointer<CustomGlowPostRenderEffect> glow(new CustomGlowPostRenderEffect);
    glow->AddNode(scene.lamp.Get());
    glow->SetIntensity(1.0f);
    scene.root->AddEffect(glow.Get());
    DrawScene(*scene.root);
    // Four pixels off the lamp's edge on either side: the hidden half adds only what the blur
    // carries over from the visible one.
    EXPECT_GT(At(19, 32).r, 64 + 20);
    EXPECT_LT(At(44, 32).r, 30);
    renderer->EndFrame();
}

TEST_F(ShadowGlowFrames, TheGlowReachesEveryPixelItsTexelsCoverAndLeavesTheRestAsCaptured) {
    // A lamp in the top left quarter and a strong glow, shrunk to half the screen's size: every
    // pixel whose bilinear read of the final glow texture meets light brightens, and every pixel
    // whose read meets only black texels is the capture's own, however the device spreads the
    // composite over the screen.
    GlowScene plain;
    plain.lamp = Quad(-0.75f, 0.25f, -0.25f, 0.75f, 0.5f, Color(1, 1, 1, 1));
    plain.root = new SceneNode;
    plain.root->AttachChild(plain.background.Get());
    plain.root->AttachChild(plain.lamp.Get());
    DrawScene(*plain.root);
    const std::vector<uint8_t> straight = Frame();
    renderer->EndFrame();

    Pointer<CustomGlowPostRenderEffect> glow(new CustomGlowPostRenderEffect);
    glow->AddNode(plain.lamp.Get());
    glow->SetIntensity(50.0f);
    glow->SetBlurWidth(0.5f);
    glow->SetScale(0.5f);
    plain.root->AddEffect(glow.Get());
    DrawScene(*plain.root);
    const std::vector<uint8_t> frame = Frame();
    int gw = 0, gh = 0;
    std::vector<uint8_t> texels;
    if (!renderer->ReadTarget(glow->GetDownsampleTexture(), gw, gh, texels))
        GTEST_SKIP() << "the device does not read its targets back";
    ASSERT_EQ(gw, kSize / 2);
    ASSERT_EQ(gh, kSize / 2);
    renderer->EndFrame();

    auto texel = [&](int x, int y) {
        x = std::clamp(x, 0, gw - 1), y = std::clamp(y, 0, gh - 1);
        return &texels[(size_t(y) * size_t(gw) + size_t(x)) * 4];
    };
    int dark = 0, lit = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            // The pixel's centre in glow texels; rows of the texture run from the top.
            const float tx = (float(x) + 0.5f) / 2.0f - 0.5f, ty = (float(kSize - 1 - y) + 0.5f) / 2.0f - 0.5f;
            const int x0 = int(std::floor(tx)), y0 = int(std::floor(ty));
            const float fx = tx - float(x0), fy = ty - float(y0);
            float red = 0.0f;
            bool any = false;
            for (int j = 0; j < 2; ++j)
                for (int i = 0; i < 2; ++i) {
                    const uint8_t* t = texel(x0 + i, y0 + j);
                    any = any || (t[0] | t[1] | t[2]) != 0;
                    red += float(t[0]) * (i ? fx : 1 - fx) * (j ? fy : 1 - fy);
                }
            const size_t at = (size_t(y) * size_t(kSize) + size_t(x)) * 4;
            const int captured = straight[at], shown = frame[at];
            if (!any) {
                ++dark;
                ASSERT_NEAR(shown, captured, 1) << "pixel " << x << ", " << y << " has no glow to add";
            } else if (red >= 1.5f) {
                // A read worth a level at least (the device may filter in eight bits), times the
                // intensity.
                ++lit;
                ASSERT_GE(shown, std::min(255, captured + 25)) << "pixel " << x << ", " << y << " lost its glow";
            }
        }
    // Both kinds are there in numbers: the check cannot pass on an empty screen or a full one.
    EXPECT_GT(dark, kSize * kSize / 4);
    EXPECT_GT(lit, 100);
}

TEST_F(ShadowGlowFrames, UnderLevelZeroTheGlowIsAbsentAndTheSceneDrawnStraight) {
    GlowScene plain;
    DrawScene(*plain.root);
    const std::vector<uint8_t> straight = Frame();
    renderer->EndFrame();

    renderer->LimitCaps(0, 0, -1, true);
    GlowScene scene;
    Pointer<CustomGlowPostRenderEffect> glow(new CustomGlowPostRenderEffect);
    glow->AddNode(scene.lamp.Get());
    glow->SetIntensity(1.0f);
    scene.root->AddEffect(glow.Get());
    DrawScene(*scene.root);
    EXPECT_EQ(glow->PassCount(), 1);
    EXPECT_EQ(Differing(Frame(), straight), 0);
    EXPECT_EQ(glow->GetScreenTexture(), nullptr);
    renderer->EndFrame();
}

TEST_F(ShadowGlowFrames, TheLetterboxLeavesBarsOfAnEighthAboveAndBelow) {
    for (bool withGlow : {false, true}) {
        Pointer<SceneNode> root(new SceneNode);
        Pointer<Triangles> white = Quad(-1, -1, 1, 1, 0.5f, Color(1, 1, 1, 1));
        root->AttachChild(white.Get());
        Pointer<PostRenderEffect> effect(withGlow ? new CustomGlowPostRenderEffect : new PostRenderEffect);
        effect->SetFilm(true);
        root->AddEffect(effect.Get());
        DrawScene(*root);
        // 64 rows: 8 black, 48 white, 8 black.
        for (int y : {0, 7, 56, 63}) EXPECT_TRUE(Near(32, y, {0, 0, 0})) << "row " << y << " glow " << withGlow;
        for (int y : {8, 32, 55}) EXPECT_TRUE(Near(32, y, {255, 255, 255})) << "row " << y << " glow " << withGlow;
        EXPECT_EQ(renderer->GetViewportHeight(), kSize);
        renderer->EndFrame();
    }
}

} // namespace
} // namespace nuv::test
