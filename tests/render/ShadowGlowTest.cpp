// Shadow maps and the post-render glow without a device: the techniques each device gets, the
// light's matrices, the sizes of the capture and glow textures, the letterbox, the order of the
// render-to-texture steps, and the effects' file layout with its damaged forms.
#include "../core/TestSupport.h"
#include "RecordingRenderer.h"
#include "core/IntBuffer.h"
#include "core/Stream.h"
#include "core/Vector3Buffer.h"
#include "media/ModuleManager.h"
#include "media/image/Image.h"
#include "render/ColorEffect.h"
#include "render/CustomGlowPostRenderEffect.h"
#include "render/PostRenderEffect.h"
#include "render/RenderScreenspaceReflectTextureController.h"
#include "render/RenderShadowmapEffectController.h"
#include "render/ShadowmapEffect.h"
#include "render/Technique.h"
#include "render/Texture.h"
#include "scene/Camera.h"
#include "scene/Light.h"
#include "scene/SceneNode.h"
#include "scene/Triangles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace nuv {
namespace {

using Bytes = std::vector<uint8_t>;
using test::Loaded;
using test::LogRecorder;
using test::RecordingRenderer;
using test::Saved;

constexpr int kNone = RendererCaps::kLevelNone;

// A recording renderer made current through a module, with the capabilities a test asks for.
struct Device {
    static inline RendererCaps caps;
    static int Create(Renderer** out) {
        auto* renderer = new RecordingRenderer;
        renderer->SetDeviceCaps(caps);
        *out = renderer;
        return 0;
    }
    Device(int vertexLevel, int pixelLevel, bool shadowMaps) {
        caps = RendererCaps();
        caps.shadingLanguage = RendererCaps::kLanguageGlsl;
        caps.vertexLevel = vertexLevel;
        caps.pixelLevel = pixelLevel;
        caps.textureUnits = 8;
        caps.shadowMaps = shadowMaps ? 1 : 0;
        EXPECT_EQ(test::UseTestRenderer("ShadowGlowRenderer", &Create), 0);
    }
    ~Device() { ModuleManager::DestroyRenderer(); }
    RecordingRenderer& Get() { return *static_cast<RecordingRenderer*>(ModuleManager::GetRenderer()); }
};

// A square of side 2 at height y, facing up, with a colour effect.
Pointer<Triangles> Square(const String& name, float y) {
    Pointer<Triangles> mesh(new Triangles);
    mesh->SetName(name);
    Pointer<Vector3Buffer> vertices(new Vector3Buffer(4));
    Vector3* v = vertices->GetElements();
    v[0] = {-1, y, -1}, v[1] = {-1, y, 1}, v[2] = {1, y, 1}, v[3] = {1, y, -1};
    Pointer<IntBuffer> indices(new IntBuffer(6));
    const int32_t order[6] = {0, 1, 2, 0, 2, 3};
    std::memcpy(indices->GetElements(), order, sizeof order);
    mesh->SetVertices(vertices.Get());
    mesh->SetIndices(indices.Get());
    mesh->ComputeModelBound();
    mesh->SetEffect(Pointer<ColorEffect>(new ColorEffect).Get());
    mesh->UpdateTree(0.0, false);
    return mesh;
}

int Count(const std::string& text, const std::string& word) {
    int count = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + word.size())) ++count;
    return count;
}

// --- Techniques ------------------------------------------------------------------------------

TEST(ShadowGlowTechniques, ShadowsNeedHardwareMapsAndProgramsTheGlowNeedsLevelOne) {
    struct Case {
        int vertex, pixel;
        bool maps;
        int shadow; // index of the chosen technique: 0 hardware, 1 without shadows
        bool glow;
    };
    const Case cases[] = {{1, 1, true, 0, true},  {1, 1, false, 1, true},         {0, 1, true, 0, false},
                          {1, 0, true, 1, false}, {kNone, kNone, true, 1, false}, {2, 2, true, 0, true}};
    for (const Case& c : cases) {
        Device device(c.vertex, c.pixel, c.maps);
        Pointer<ShadowmapEffect> shadow(new ShadowmapEffect);
        EXPECT_EQ(shadow->CurrentTechnique(), shadow->GetTechnique(c.shadow)) << c.vertex << c.pixel << c.maps;
        EXPECT_EQ(shadow->PassCount(), c.shadow == 0 ? 2 : 1);
        Pointer<CustomGlowPostRenderEffect> glow(new CustomGlowPostRenderEffect);
        EXPECT_EQ(glow->PassCount(), c.glow ? 3 : 1) << c.vertex << c.pixel;
    }
}

TEST(ShadowGlowTechniques, WithoutTheGlowTechniqueTheSceneIsDrawnStraight) {
    Device device(0, 0, true);
    RecordingRenderer& renderer = device.Get();
    Pointer<SceneNode> root(new SceneNode);
    Pointer<CustomGlowPostRenderEffect> glow(new CustomGlowPostRenderEffect);
    root->AddEffect(glow.Get());
    Pointer<Triangles> box = Square(String("Box"), 0.0f);
    root->AttachChild(box.Get());
    Pointer<Camera> camera(new Camera);
    camera->GetLocalTransform().SetTranslation(Vector3(0, 5, -5));
    renderer.SetCamera(camera.Get());
    root->UpdateTree(0.0, true);
    ASSERT_EQ(renderer.BeginFrame(), 0);
    renderer.calls.clear();
    renderer.GetCamera()->SetPlaneMask(0);
    root->CullAndRender(renderer);
    EXPECT_EQ(Count(renderer.calls, "draw:Box"), 1) << renderer.calls;
    EXPECT_EQ(renderer.calls.find("target:"), std::string::npos) << renderer.calls;
}

// --- Shadow map matrices ---------------------------------------------------------------------

TEST(ShadowMatrices, TheBiasMatrixMapsClipSpaceOntoTheMapWithHalfATexel) {
    const Matrix4 bias = ShadowmapEffect::BiasMatrix(512, 256);
    const Vector4 topLeft = Vector4(-1, 1, 0.25f, 1) * bias;
    EXPECT_FLOAT_EQ(topLeft.x, 0.5f / 512);
    EXPECT_FLOAT_EQ(topLeft.y, 0.5f / 256);
    EXPECT_FLOAT_EQ(topLeft.z, 0.25f);
    const Vector4 bottomRight = Vector4(1, -1, 1, 1) * bias;
    EXPECT_FLOAT_EQ(bottomRight.x, 1.0f + 0.5f / 512);
    EXPECT_FLOAT_EQ(bottomRight.y, 1.0f + 0.5f / 256);
    // Projective: a point with w = 2 lands where its divided twin does.
    const Vector4 projective = Vector4(-2, 2, 0.5f, 2) * bias;
    EXPECT_FLOAT_EQ(projective.x / projective.w, topLeft.x);
}

// The eight corners of the focus sphere's box, seen through the light, lie in the unit cube.
::testing::AssertionResult FocusInside(const Matrix4& view, const Matrix4& projection, const Vector3& c, float r) {
    const Matrix4 m = view * projection;
    for (int i = 0; i < 8; ++i) {
        const Vector3 p(c.x + ((i & 1) ? r : -r), c.y + ((i & 2) ? r : -r), c.z + ((i & 4) ? r : -r));
        const Vector4 q = Vector4(p.x, p.y, p.z, 1) * m;
        if (!(q.w > 0)) return ::testing::AssertionFailure() << "corner " << i << " behind the light";
        const float x = q.x / q.w, y = q.y / q.w, z = q.z / q.w;
        const float e = 1e-3f;
        if (std::fabs(x) > 1 + e || std::fabs(y) > 1 + e || z < -e || z > 1 + e)
            return ::testing::AssertionFailure() << "corner " << i << " at " << x << ", " << y << ", " << z;
    }
    return ::testing::AssertionSuccess();
}

TEST(ShadowMatrices, ParallelLightAndViewFallBackToTheOrthographicView) {
    const Vector3 center(1, 2, 3);
    const float radius = 4.0f;
    Matrix4 view, projection;
    // Looking along the light: |cos| = 1 is above the limit, so no warp even with warping on.
    EXPECT_FALSE(ShadowmapEffect::LightMatrices(Vector3(0, -1, 0), 20.0f, center, radius, Vector3(1, 30, 3),
                                                Vector3(0, -1, 0), 0.1f, 1000.0f, true, 0.99f, view, projection));
    EXPECT_TRUE(FocusInside(view, projection, center, radius));
    // Orthographic: width 2 r, near 0.1, far = distance + r; w stays 1.
    EXPECT_FLOAT_EQ(projection.m[0][0], 2.0f / (2 * radius));
    EXPECT_FLOAT_EQ(projection.m[2][3], 0.0f);
    const Vector4 centre = Vector4(center.x, center.y, center.z, 1) * (view * projection);
    EXPECT_NEAR(centre.x, 0.0f, 1e-5f);
    EXPECT_NEAR(centre.z, (20.0f - 0.1f) / (24.0f - 0.1f), 1e-4f);

    // The same light across the view warps when asked to, and only then.
    EXPECT_TRUE(ShadowmapEffect::LightMatrices(Vector3(0, -1, 0), 20.0f, center, radius, Vector3(1, 2, -20),
                                               Vector3(0, 0, 1), 0.1f, 1000.0f, true, 0.99f, view, projection));
    EXPECT_TRUE(FocusInside(view, projection, center, radius));
    EXPECT_NE(projection.m[1][3], 0.0f); // perspective along the view
    // The near side of the focus region (towards the viewer) gets more of the map than the far.
    const Matrix4 m = view * projection;
    auto v = [&](float z) {
        const Vector4 q = Vector4(center.x, center.y, z, 1) * m;
        return q.y / q.w;
    };
    EXPECT_GT(std::fabs(v(center.z - radius + 1) - v(center.z - radius)),
              std::fabs(v(center.z + radius) - v(center.z + radius - 1)));
    EXPECT_FALSE(ShadowmapEffect::LightMatrices(Vector3(0, -1, 0), 20.0f, center, radius, Vector3(1, 2, -20),
                                                Vector3(0, 0, 1), 0.1f, 1000.0f, false, 0.99f, view, projection));
    // A focus region behind the viewer cannot be warped.
    EXPECT_FALSE(ShadowmapEffect::LightMatrices(Vector3(0, -1, 0), 20.0f, center, radius, Vector3(1, 2, 40),
                                                Vector3(0, 0, 1), 0.1f, 1000.0f, true, 0.99f, view, projection));
    EXPECT_TRUE(FocusInside(view, projection, center, radius));
}

// --- Shadow map rendering --------------------------------------------------------------------

TEST(ShadowRendering, TheMapIsDrawnBeforeTheSceneAndTheReceiversAfterIt) {
    Device device(1, 1, true);
    RecordingRenderer& renderer = device.Get();
    Pointer<SceneNode> root(new SceneNode);
    Pointer<ShadowmapEffect> shadow(new ShadowmapEffect);
    Pointer<RenderShadowmapEffectController> controller(new RenderShadowmapEffectController);
    shadow->AddController(controller.Get());
    root->AddEffect(shadow.Get());
    Pointer<Triangles> floor = Square(String("Floor"), -1.0f), caster = Square(String("Caster"), 0.0f);
    root->AttachChild(floor.Get());
    root->AttachChild(caster.Get());
    shadow->AddNode(floor.Get());
    shadow->AddNode(caster.Get());
    const String mapName = shadow->GetShadowmap()->GetName();
    EXPECT_EQ(mapName, String(("Shadowmap " + std::to_string(shadow->GetShadowmap()->GetId())).c_str()));
    EXPECT_EQ(shadow->GetShadowmap()->GetImage()->GetWidth(), 512);
    EXPECT_EQ(shadow->GetShadowmap()->GetImage()->GetFormat(), 4);
    ASSERT_NE(shadow->GetColorTarget(), nullptr);
    EXPECT_EQ(shadow->GetColorTarget()->GetImage()->GetHeight(), 512);
    EXPECT_EQ(shadow->GetColorTarget()->GetFlags(), 0);

    // No light: the controller draws nothing, the receivers still draw.
    root->UpdateTree(0.0, true);
    ASSERT_EQ(renderer.BeginFrame(), 0);
    EXPECT_EQ(renderer.calls.find("target:" + std::string(mapName.GetText())), std::string::npos);

    Pointer<Light> light(new Light);
    light->SetLightType(Light::kPoint);
    light->GetLocalTransform().SetTranslation(Vector3(0, 10, 0));
    light->UpdateTree(0.0, false);
    shadow->SetShadowLight(light.Get());
    shadow->SetDepthBias(16);
    root->UpdateTree(0.0, true);
    renderer.calls.clear();
    ASSERT_EQ(renderer.BeginFrame(), 0);
    const std::string& calls = renderer.calls;
    const size_t map = calls.find("target:" + std::string(mapName.GetText()));
    ASSERT_NE(map, std::string::npos) << calls;
    EXPECT_LT(calls.find("target:"), map); // the colour target first
    EXPECT_LT(map, calls.find("clear", map));
    EXPECT_LT(map, calls.find("draw:Floor", map));
    EXPECT_LT(map, calls.find("draw:Caster", map));
    EXPECT_EQ(renderer.GetRenderTargetDepth(), 0);
    EXPECT_EQ(renderer.GetCamera()->GetName(), String()); // the renderer's own camera is back
    EXPECT_FALSE(shadow->GetLastWarped());
    // Straight down onto the focus centre: the floor's middle lands in the map's middle.
    const Vector4 centre = Vector4(0, -1, 0, 1) * shadow->GetShadowTextureMatrix();
    EXPECT_NEAR(centre.x / centre.w, 0.5f + 0.5f / 512, 1e-4f);
    EXPECT_NEAR(centre.y / centre.w, 0.5f + 0.5f / 512, 1e-4f);

    renderer.calls.clear();
    renderer.GetCamera()->SetPlaneMask(0);
    root->CullAndRender(renderer);
    // The scene once, then both receivers drawn by the receiver pass itself.
    EXPECT_EQ(Count(calls, "draw:Floor"), 1) << calls;
    EXPECT_EQ(Count(calls, "drawBuffers"), 2) << calls;
    EXPECT_NE(calls.find("tex0:" + std::string(mapName.GetText())), std::string::npos) << calls;
}

// The receiver pass sends only receivers the camera can see: one behind the eye or far beside
// it has no pixel to darken.
TEST(ShadowRendering, ReceiversOutOfViewAreNotDrawnAgain) {
    Device device(1, 1, true);
    RecordingRenderer& renderer = device.Get();
    Pointer<SceneNode> root(new SceneNode);
    Pointer<ShadowmapEffect> shadow(new ShadowmapEffect);
    root->AddEffect(shadow.Get());
    Pointer<Light> light(new Light);
    light->SetLightType(Light::kDirectional);
    light->UpdateTree(0.0, false);
    shadow->SetShadowLight(light.Get());
    struct Case {
        const char* name;
        Vector3 at;
        bool drawn;
    };
    const Case cases[] = {
        {"Ahead", {0, -1, 30}, true}, {"Behind", {0, -1, -30}, false}, {"Aside", {400, -1, 30}, false}};
    std::vector<Pointer<Triangles>> meshes;
    for (const Case& c : cases) {
        Pointer<Triangles> mesh = Square(String(c.name), 0.0f);
        mesh->GetLocalTransform().SetTranslation(c.at);
        root->AttachChild(mesh.Get());
        shadow->AddNode(mesh.Get());
        meshes.push_back(mesh);
    }
    root->UpdateTree(0.0, true);
    ASSERT_EQ(renderer.BeginFrame(), 0);
    renderer.calls.clear();
    renderer.GetCamera()->SetPlaneMask(Camera::kAllPlanes);
    root->CullAndRender(renderer);
    // The scene pass culls as always; the receiver pass draws again only what is in view.
    int drawn = 0;
    for (const Case& c : cases) drawn += c.drawn;
    EXPECT_EQ(Count(renderer.calls, "drawBuffers"), drawn) << renderer.calls;
    EXPECT_EQ(Count(renderer.calls, "draw:Ahead"), 1) << renderer.calls;
}

TEST(ShadowRendering, AForgedMapSizeAllocatesNothing) {
    Pointer<ShadowmapEffect> shadow(new ShadowmapEffect);
    Pointer<Image> huge(new Image);
    huge->AdoptPixels(40000, 40000, 4, nullptr);
    Pointer<Texture> map(new Texture);
    map->SetImage(huge.Get());
    shadow->SetShadowmap(map.Get());
    ASSERT_NE(shadow->GetColorTarget(), nullptr);
    EXPECT_EQ(shadow->GetColorTarget()->GetImage()->GetWidth(), 40000);
    EXPECT_FALSE(shadow->GetColorTarget()->GetImage()->HasPixels());
    shadow->SetShadowmap(nullptr);
    EXPECT_EQ(shadow->GetColorTarget(), nullptr);
}

// --- Capture, glow textures and letterbox ----------------------------------------------------

TEST(GlowTextures, SizesFollowTheViewportAndTheScale) {
    Device device(1, 1, true);
    RecordingRenderer& renderer = device.Get();
    Pointer<CustomGlowPostRenderEffect> glow(new CustomGlowPostRenderEffect);
    glow->BeginCapture(renderer);
    renderer.SetRenderTarget(nullptr);
    Texture* screen = glow->GetScreenTexture();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->GetName(), String("Screen Texture"));
    EXPECT_EQ(screen->GetImage()->GetName(), String("Screen Image"));
    EXPECT_EQ(screen->GetImage()->GetWidth(), 800);
    EXPECT_EQ(screen->GetImage()->GetHeight(), 600);
    glow->SetScale(0.25f);
    ASSERT_NE(glow->GetDownsampleTexture(), nullptr);
    EXPECT_EQ(glow->GetDownsampleTexture()->GetImage()->GetWidth(), 200);
    EXPECT_EQ(glow->GetDownsampleTexture()->GetImage()->GetHeight(), 150);
    EXPECT_EQ(glow->GetBlurTexture()->GetImage()->GetWidth(), 200);
    EXPECT_EQ(glow->GetScreenGlowTexture()->GetImage()->GetHeight(), 600);
    EXPECT_EQ(glow->GetDownsampleTexture()->GetName(), String("Downsample Custom Glow Texture"));
    EXPECT_EQ(glow->GetBlurTexture()->GetImage()->GetName(), String("Blur Custom Glow Image"));
    EXPECT_EQ(glow->GetScreenGlowTexture()->GetFlags(), 0);
    const Texture* small = glow->GetDownsampleTexture();
    glow->SetScale(0.25f);
    EXPECT_EQ(glow->GetDownsampleTexture(), small); // same size, kept

    // A new window size gives new textures at the next capture.
    renderer.backWidth = 640;
    renderer.backHeight = 480;
    renderer.SetViewport(Vector2(0, 0), Vector2(640, 480));
    glow->BeginCapture(renderer);
    renderer.SetRenderTarget(nullptr);
    EXPECT_NE(glow->GetScreenTexture(), screen);
    EXPECT_EQ(glow->GetScreenTexture()->GetImage()->GetWidth(), 640);
    glow->SetScale(0.5f);
    EXPECT_EQ(glow->GetDownsampleTexture()->GetImage()->GetWidth(), 320);
    EXPECT_EQ(glow->GetScreenGlowTexture()->GetImage()->GetWidth(), 640);

    // A scale that truncates to nothing keeps one texel; a forged one never outgrows the screen.
    glow->SetScale(0.001f);
    EXPECT_EQ(glow->GetDownsampleTexture()->GetImage()->GetWidth(), 1);
    EXPECT_EQ(glow->GetDownsampleTexture()->GetImage()->GetHeight(), 1);
    EXPECT_EQ(CustomGlowPostRenderEffect::GlowSize(640, 1e30f), 640);
    EXPECT_EQ(CustomGlowPostRenderEffect::GlowSize(640, -2.0f), 1);
    EXPECT_EQ(CustomGlowPostRenderEffect::GlowSize(640, std::numeric_limits<float>::quiet_NaN()), 1);
    EXPECT_EQ(CustomGlowPostRenderEffect::GlowSize(801, 0.25f), 200);
}

TEST(GlowTextures, TheLetterboxTakesTheMiddleThreeQuartersAndWidensTheProjection) {
    Device device(1, 1, true);
    RecordingRenderer& renderer = device.Get();
    Pointer<Camera> camera(new Camera);
    camera->UpdateMatrices();
    const float fullScale = camera->GetProjection().m[0][0];
    renderer.SetCamera(camera.Get());
    Pointer<CustomGlowPostRenderEffect> glow(new CustomGlowPostRenderEffect);
    glow->SetFilm(true);
    glow->BeginCapture(renderer);
    EXPECT_EQ(glow->GetScreenTexture()->GetImage()->GetWidth(), 800);
    EXPECT_EQ(glow->GetScreenTexture()->GetImage()->GetHeight(), 450);
    EXPECT_FLOAT_EQ(camera->GetProjection().m[0][0], fullScale * 0.75f);
    EXPECT_TRUE(PostRenderEffect::IsLetterboxActive());
    renderer.SetRenderTarget(nullptr);
    glow->EndCapture(renderer);
    EXPECT_EQ(renderer.GetViewportHeight(), 450);
    glow->RestoreViewport();
    EXPECT_EQ(renderer.GetViewportWidth(), 800);
    EXPECT_EQ(renderer.GetViewportHeight(), 600);
    EXPECT_FLOAT_EQ(camera->GetProjection().m[0][0], fullScale);

    // Without the film flag nothing narrows.
    Pointer<PostRenderEffect> plain(new PostRenderEffect);
    plain->SetLetterbox();
    EXPECT_EQ(renderer.GetViewportHeight(), 600);
    EXPECT_FALSE(PostRenderEffect::IsLetterboxActive());
}

TEST(GlowTextures, TheReflectionIsSeenThroughTheLetterboxInFilmMode) {
    Device device(1, 1, true);
    RecordingRenderer& renderer = device.Get();
    Pointer<Camera> camera(new Camera);
    camera->UpdateMatrices();
    const Matrix4 projection = camera->GetProjection();
    renderer.SetCamera(camera.Get());
    Pointer<Texture> mirror(new Texture);
    Pointer<RenderScreenspaceReflectTextureController> reflection(new RenderScreenspaceReflectTextureController);
    mirror->AddController(reflection.Get());
    Pointer<CustomGlowPostRenderEffect> glow(new CustomGlowPostRenderEffect);
    glow->SetFilm(true);
    glow->SetLetterbox(); // a film frame was drawn
    glow->RestoreViewport();
    reflection->PostUpdate();
    // Half the letterbox: 800 x 450 halved.
    EXPECT_EQ(mirror->GetImage()->GetWidth(), 400);
    EXPECT_EQ(mirror->GetImage()->GetHeight(), 225);
    EXPECT_EQ(renderer.GetViewportHeight(), 600);
    EXPECT_TRUE(camera->GetProjection() == projection);

    glow->SetFilm(false);
    glow->SetLetterbox();
    reflection->PostUpdate();
    EXPECT_EQ(mirror->GetImage()->GetHeight(), 300);
}

TEST(GlowTextures, AGlowFrameCapturesDrawsTheSourcesOverTheDepthBlursAndComposites) {
    Device device(1, 1, true);
    RecordingRenderer& renderer = device.Get();
    Pointer<SceneNode> root(new SceneNode);
    Pointer<CustomGlowPostRenderEffect> glow(new CustomGlowPostRenderEffect);
    root->AddEffect(glow.Get());
    Pointer<Triangles> lamp = Square(String("Lamp"), 0.0f), ground = Square(String("Ground"), -1.0f);
    root->AttachChild(lamp.Get());
    root->AttachChild(ground.Get());
    glow->AddNode(lamp.Get());
    root->UpdateTree(0.0, true);
    ASSERT_EQ(renderer.BeginFrame(), 0);
    renderer.calls.clear();
    renderer.GetCamera()->SetPlaneMask(0);
    root->CullAndRender(renderer);
    const std::string& calls = renderer.calls;
    const size_t capture = calls.find("target:Screen Texture");
    const size_t source = calls.find("target:Screen Glow Texture");
    ASSERT_NE(capture, std::string::npos) << calls;
    ASSERT_NE(source, std::string::npos) << calls;
    EXPECT_LT(capture, calls.find("draw:Ground"));
    EXPECT_LT(calls.find("draw:Ground"), source);
    // The lamp twice (scene and glow source), the ground once.
    EXPECT_EQ(Count(calls, "draw:Lamp"), 2) << calls;
    EXPECT_EQ(Count(calls, "draw:Ground"), 1) << calls;
    EXPECT_EQ(Count(calls, "target:Downsample Custom Glow Texture"), 2) << calls;
    EXPECT_EQ(Count(calls, "target:Blur Custom Glow Texture"), 1) << calls;
    EXPECT_LT(calls.find("pop:Screen Texture"), calls.find("target:Downsample"));
    // The composite reads the capture and the shrunk glow onto the back buffer.
    const size_t composite = calls.rfind("tex0:Screen Texture");
    ASSERT_NE(composite, std::string::npos) << calls;
    EXPECT_LT(calls.rfind("pop:"), composite);
    EXPECT_NE(calls.find("tex1:Downsample Custom Glow Texture", composite), std::string::npos) << calls;
    EXPECT_EQ(renderer.GetRenderTargetDepth(), 0);
    EXPECT_FALSE(renderer.GetEqualDepth());
}

// --- Files -----------------------------------------------------------------------------------

TEST(ShadowGlowFiles, EffectsStoreTheirFieldsAndReadThemBack) {
    Pointer<SceneNode> root(new SceneNode);
    Pointer<ShadowmapEffect> shadow(new ShadowmapEffect);
    Pointer<Light> light(new Light);
    light->SetName(String("Sun"));
    root->AttachChild(light.Get());
    Pointer<Triangles> floor = Square(String("Floor"), 0.0f);
    root->AttachChild(floor.Get());
    shadow->SetShadowLight(light.Get());
    shadow->AddNode(floor.Get());
    shadow->SetShadowColor(Color(0.1f, 0.2f, 0.3f, 0.75f));
    shadow->SetFiltering(true);
    shadow->SetDepthBias(-40);
    shadow->SetSlopeScaledBias(1.5f);
    shadow->SetViewAngleLimit(0.5f);
    shadow->AddController(Pointer<RenderShadowmapEffectController>(new RenderShadowmapEffectController).Get());
    root->AddEffect(shadow.Get());
    Pointer<CustomGlowPostRenderEffect> glow(new CustomGlowPostRenderEffect);
    glow->SetFilm(true);
    glow->SetIntensity(0.8f);
    glow->SetBlurWidth(2.5f);
    glow->SetScale(0.125f);
    glow->AddNode(floor.Get());
    root->AddEffect(glow.Get());

    LogRecorder log;
    Pointer<Object> loaded = Loaded(Saved(root.Get()));
    auto* back = DynamicCast<SceneNode>(loaded.Get());
    ASSERT_NE(back, nullptr) << (log.lines.empty() ? "" : log.lines.back());
    Array<Object*> found;
    back->CollectByType(ShadowmapEffect::TYPE, found);
    ASSERT_EQ(found.GetCount(), 1);
    auto* s = static_cast<ShadowmapEffect*>(found[0]);
    ASSERT_NE(s->GetShadowLight(), nullptr);
    EXPECT_EQ(s->GetShadowLight()->GetName(), String("Sun"));
    ASSERT_EQ(s->GetNodeCount(), 1);
    EXPECT_EQ(s->GetNode(0)->GetName(), String("Floor"));
    EXPECT_EQ(s->GetNode(0)->GetParent(), back); // the scene's node, not a copy
    EXPECT_EQ(s->GetShadowColor().a, 0.75f);
    EXPECT_TRUE(s->GetFiltering());
    EXPECT_FALSE(s->GetPerspectiveWarping());
    EXPECT_EQ(s->GetDepthBias(), -40);
    EXPECT_EQ(s->GetSlopeScaledBias(), 1.5f);
    EXPECT_EQ(s->GetViewAngleLimit(), 0.5f);
    ASSERT_NE(s->GetShadowmap(), nullptr);
    EXPECT_EQ(s->GetShadowmap()->GetName(), shadow->GetShadowmap()->GetName());
    ASSERT_NE(s->GetColorTarget(), nullptr); // made again for the stored map
    EXPECT_EQ(s->GetColorTarget()->GetImage()->GetWidth(), 512);
    ASSERT_EQ(s->GetControllerCount(), 1);
    // The map is found among the scene's textures.
    Array<Object*> textures;
    back->CollectByType(Texture::TYPE, textures);
    EXPECT_EQ(textures.GetCount(), 1);

    Array<Object*> glows;
    back->CollectByType(CustomGlowPostRenderEffect::TYPE, glows);
    ASSERT_EQ(glows.GetCount(), 1);
    auto* g = static_cast<CustomGlowPostRenderEffect*>(glows[0]);
    EXPECT_TRUE(g->GetFilm());
    EXPECT_EQ(g->GetIntensity(), 0.8f);
    EXPECT_EQ(g->GetBlurWidth(), 2.5f);
    EXPECT_EQ(g->GetScale(), 0.125f);
    ASSERT_EQ(g->GetNodeCount(), 1);
    EXPECT_EQ(g->GetNode(0)->GetName(), String("Floor"));

    // The glow's own bytes: film flag, then blur width, intensity and scale as float bits.
    const Bytes bytes = Saved(Pointer<CustomGlowPostRenderEffect>(new CustomGlowPostRenderEffect).Get());
    float fields[3];
    std::memcpy(fields, bytes.data() + bytes.size() - 16, 12);
    EXPECT_EQ(fields[0], 1.5f);
    EXPECT_EQ(fields[1], 0.5f);
    EXPECT_EQ(fields[2], 0.25f);
    EXPECT_EQ(bytes[bytes.size() - 17], 0); // film off
}

TEST(ShadowGlowFiles, DamagedFilesFailWithTheEffectsMessages) {
    Pointer<ShadowmapEffect> shadow(new ShadowmapEffect);
    const Bytes shadowBytes = Saved(shadow.Get());
    Pointer<CustomGlowPostRenderEffect> glow(new CustomGlowPostRenderEffect);
    const Bytes glowBytes = Saved(glow.Get());
    struct Case {
        const Bytes* bytes;
        size_t cut; // bytes cut off the end
        const char* message;
    };
    const Case cases[] = {
        {&shadowBytes, 2, "Невозможно загрузить количество объектов."},
        {&shadowBytes, 6, "Невозможно загрузить цвет тени."},
        {&shadowBytes, 20, "Невозможно загрузить цвет тени."},
        {&glowBytes, 2, "Невозможно загрузить узлы свечения."},
        {&glowBytes, 6, "Невозможно загрузить данные свечения."},
        {&glowBytes, 17, "Невозможно загрузить флаг фильма."},
    };
    for (const Case& c : cases) {
        Bytes bytes = *c.bytes;
        bytes.resize(bytes.size() - c.cut);
        LogRecorder log;
        int status = 0;
        EXPECT_EQ(Loaded(bytes, &status), nullptr) << c.message;
        EXPECT_NE(status, 0);
        EXPECT_TRUE(log.ContainsText(c.message))
            << c.message << " after cutting " << c.cut << ": " << (log.lines.empty() ? "" : log.lines.front());
    }

    // Forged node counts run into the end of the file, not into an allocation.
    for (const Bytes* original : {&shadowBytes, &glowBytes}) {
        Bytes bytes = *original;
        const int32_t forged = 0x7FFFFFFF;
        std::memcpy(bytes.data() + bytes.size() - 4, &forged, 4);
        LogRecorder log;
        EXPECT_EQ(Loaded(bytes), nullptr);
        EXPECT_TRUE(log.ContainsText(original == &shadowBytes ? "Невозможно загрузить узлы."
                                                              : "Невозможно загрузить узлы свечения."));
    }
}

} // namespace
} // namespace nuv
