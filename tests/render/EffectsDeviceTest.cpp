// The geometry effects drawn headless through the OpenGL module: every program builds, the
// program and fixed-function techniques draw alike, and the edge cases of sway, ripples, weak
// devices and per-pixel lights show in the frames.
#include "../core/TestSupport.h"
#include "DeviceTestScene.h"
#include "animation/SkinController.h"
#include "core/IntBuffer.h"
#include "core/Vector4Buffer.h"
#include "core/Quaternion.h"
#include "core/Vector2Buffer.h"
#include "core/Vector3Buffer.h"
#include "media/image/Image.h"
#include "render/ColorEffect.h"
#include "render/EffectConstants.h"
#include "render/PixelShader.h"
#include "render/VertexShader.h"
#include "render/LightmapTextureEffect.h"
#include "render/ReflectiveQuietFlatWaterEffect.h"
#include "render/RenderScreenspaceReflectTextureController.h"
#include "render/SnowEffect.h"
#include "render/SnowIceEffect.h"
#include "render/Technique.h"
#include "render/TexturePixelLightingEffect.h"
#include "scene/Light.h"
#include "scene/Triangles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace nuv::test {
namespace {

// A picture of one colour, or of two alternating ones (a checker of 1-pixel squares).
Pointer<Texture> Picture(int size, uint8_t r, uint8_t g, uint8_t b, bool checker = false) {
    Pointer<Image> image(new Image(String("picture"), size, size, Image::kRgba));
    uint8_t* p = image->GetPixels();
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x, p += 4) {
            const bool dark = checker && (x + y) % 2 == 1;
            p[0] = dark ? 0 : r;
            p[1] = dark ? 0 : g;
            p[2] = dark ? 0 : b;
            p[3] = 255;
        }
    Pointer<Texture> texture(new Texture);
    texture->SetImage(image.Get());
    texture->SetMipmapLevels(1);
    return texture;
}

class EffectFrames : public DeviceScene {
protected:
    // A rectangle facing the camera at depth z (x, y in -1..1), or a floor at height y (x in
    // -3..3, z in 2..12) whose own y is 0: both with coordinates 0..1 on sets 0 and 1.
    Pointer<Triangles> Mesh(GeometryNodeEffect* effect, bool floor = false, float at = 5.0f) {
        Pointer<Triangles> mesh(new Triangles);
        Pointer<Vector3Buffer> vertices(new Vector3Buffer(4));
        Vector3* v = vertices->GetElements();
        if (floor) {
            v[0] = {-3, 0, 2}, v[1] = {-3, 0, 12}, v[2] = {3, 0, 12}, v[3] = {3, 0, 2};
            mesh->GetLocalTransform().SetTranslation(Vector3(0, at, 0));
        } else {
            v[0] = {-1, -1, at}, v[1] = {-1, 1, at}, v[2] = {1, 1, at}, v[3] = {1, -1, at};
        }
        Pointer<Vector2Buffer> uv(new Vector2Buffer(4));
        Vector2* t = uv->GetElements();
        t[0] = {0, 1}, t[1] = {0, 0}, t[2] = {1, 0}, t[3] = {1, 1};
        Pointer<Vector3Buffer> normals(new Vector3Buffer(4));
        for (int i = 0; i < 4; ++i) normals->GetElements()[i] = floor ? Vector3(0, 1, 0) : Vector3(0, 0, -1);
        Pointer<IntBuffer> indices(new IntBuffer(6));
        const int32_t order[6] = {0, 1, 2, 0, 2, 3};
        std::memcpy(indices->GetElements(), order, sizeof order);
        mesh->SetVertices(vertices.Get());
        mesh->SetTexCoords(0, uv.Get());
        mesh->SetTexCoords(1, uv.Get());
        mesh->SetNormals(normals.Get());
        mesh->SetIndices(indices.Get());
        mesh->SetEffect(effect);
        mesh->UpdateTree(0.0, false);
        return mesh;
    }

    // The whole frame after drawing the meshes on black.
    std::vector<uint8_t> Frame(std::initializer_list<Triangles*> meshes) {
        Begin();
        for (Triangles* mesh : meshes) renderer->DrawGeometry(mesh);
        renderer->FlushDeferred();
        std::vector<uint8_t> rgba;
        int w = 0, h = 0;
        EXPECT_TRUE(renderer->ReadFrame(w, h, rgba));
        Hold();
        renderer->EndFrame();
        return rgba;
    }

    static int Differing(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
        if (a.size() != b.size()) return -1;
        int count = 0;
        for (size_t i = 0; i < a.size(); ++i) count += std::abs(int(a[i]) - int(b[i])) > 2 ? 1 : 0;
        return count;
    }
};

TEST_F(EffectFrames, EveryProgramBuildsAndTheProgramAndFixedTechniquesDrawAlike) {
    LogRecorder log;
    Pointer<TextureEffect> texture(new TextureEffect);
    texture->SetTexture(Picture(2, 0, 255, 0).Get());
    texture->SetColor(Color(1.0f, 0.5f, 1.0f, 1.0f));
    Pointer<Triangles> mesh = Mesh(texture.Get());
    Frame({mesh.Get()});
    EXPECT_EQ(texture->CurrentTechnique(), texture->GetTechnique(0));
    EXPECT_TRUE(Near(32, 32, {0, 128, 0}));

    // The members' programs, each drawn once.
    Pointer<ColorEffect> color(new ColorEffect);
    Pointer<TextureEffect> sway(new TextureEffect);
    sway->swayEnabled = 1;
    Pointer<LightmapTextureEffect> lightmap(new LightmapTextureEffect);
    Pointer<ReflectiveQuietFlatWaterEffect> water(new ReflectiveQuietFlatWaterEffect);
    Pointer<SnowIceEffect> ice(new SnowIceEffect);
    Pointer<SnowEffect> snow(new SnowEffect);
    snow->Update(0.0);
    Pointer<TexturePixelLightingEffect> lit(new TexturePixelLightingEffect);
    Pointer<Light> point(new Light), sun(new Light);
    point->SetLightType(Light::kPoint);
    sun->SetLightType(Light::kDirectional);
    lit->AddLight(point.Get());
    lit->AddLight(sun.Get());
    GeometryNodeEffect* all[] = {color.Get(), sway.Get(), lightmap.Get(), water.Get(), ice.Get(), snow.Get(), lit.Get()};
    for (GeometryNodeEffect* effect : all) {
        Pointer<Triangles> m = Mesh(effect);
        Frame({m.Get()});
        EXPECT_EQ(effect->CurrentTechnique(), effect->GetTechnique(0)) << effect->GetType().GetName().GetText();
    }
    EXPECT_FALSE(log.ContainsText("error")) << "a program did not build";

    // Without programs the texture draws fixed-function, to the same colour.
    renderer->LimitCaps(RendererCaps::kLevelNone, RendererCaps::kLevelNone, -1, true);
    Pointer<TextureEffect> fixed(new TextureEffect);
    fixed->SetTexture(texture->GetTexture());
    fixed->SetColor(texture->GetColor());
    Pointer<Triangles> fixedMesh = Mesh(fixed.Get());
    Frame({fixedMesh.Get()});
    EXPECT_EQ(fixed->CurrentTechnique(), fixed->GetTechnique(1));
    EXPECT_TRUE(Near(32, 32, {0, 128, 0}));
}

TEST_F(EffectFrames, WithoutProgramsWaterAndSnowDrawNothing) {
    renderer->LimitCaps(RendererCaps::kLevelNone, RendererCaps::kLevelNone, -1, true);
    Pointer<ReflectiveQuietFlatWaterEffect> water(new ReflectiveQuietFlatWaterEffect);
    water->SetTexture(Picture(2, 255, 255, 255).Get());
    Pointer<SnowEffect> snow(new SnowEffect);
    snow->SetTexture(Picture(2, 255, 255, 255).Get());
    Pointer<Triangles> a = Mesh(water.Get(), false, 5.0f), b = Mesh(snow.Get(), false, 6.0f);
    Frame({a.Get(), b.Get()});
    EXPECT_TRUE(Near(32, 32, {0, 0, 0}));
}

// Every member drawn on a device that refuses its first techniques: what it falls back to still
// shows its picture (the light map and per-pixel lighting on fewer texture units, at level 0 and
// without programs).
TEST_F(EffectFrames, EveryMemberStillDrawsThroughItsFallbacksUnderLimitedCaps) {
    Pointer<Texture> green = Picture(2, 0, 255, 0);
    Pointer<Texture> white = Picture(2, 255, 255, 255);
    Pointer<Light> sun(new Light);
    sun->SetLightType(Light::kDirectional);  // along +z, onto the quad's front
    sun->SetDiffuse(Color(1, 1, 1, 1));
    sun->UpdateTree(0.0, false);
    struct Case {
        const char* name;
        int vertex, pixel, units;
    } const cases[] = {{"no programs", RendererCaps::kLevelNone, RendererCaps::kLevelNone, -1},
                       {"one texture unit", -1, -1, 1},
                       {"level 0", 0, 0, -1},
                       {"no programs, one texture unit", RendererCaps::kLevelNone, RendererCaps::kLevelNone, 1}};
    for (const Case& c : cases) {
        renderer->LimitCaps(c.vertex, c.pixel, c.units, true);
        Pointer<LightmapTextureEffect> lightmap(new LightmapTextureEffect);
        lightmap->SetTexture(green.Get());
        lightmap->SetLightmap(white.Get());
        lightmap->SetColor(Color(1, 1, 1, 1));
        Pointer<Triangles> mapped = Mesh(lightmap.Get());
        Frame({mapped.Get()});
        EXPECT_NE(lightmap->CurrentTechnique(), nullptr) << c.name;
        EXPECT_TRUE(Near(32, 32, {0, 255, 0}, 4)) << c.name << ": the white light map leaves the picture";

        Pointer<TexturePixelLightingEffect> lit(new TexturePixelLightingEffect);
        lit->SetTexture(green.Get());
        lit->AddLight(sun.Get());
        Pointer<Triangles> lighted = Mesh(lit.Get());
        Frame({lighted.Get()});
        EXPECT_NE(lit->CurrentTechnique(), nullptr) << c.name;
        const Rgb got = At(32, 32);
        EXPECT_GT(got.g, 60) << c.name << ": the lit picture shows";
        EXPECT_LT(got.r + got.b, 20) << c.name << ": in its own colour";
    }
}

TEST_F(EffectFrames, SwayMovesNothingWithoutAmplitudeNorAtHeightZero) {
    auto frameWith = [&](bool floor, bool on, float amplitude) {
        Pointer<TextureEffect> effect(new TextureEffect);
        effect->SetTexture(Picture(8, 255, 255, 255, true).Get());
        effect->swayEnabled = on ? 1 : 0;
        effect->swayAmplitude = amplitude;
        effect->swayTime = 1.3f;
        Pointer<Triangles> mesh = Mesh(effect.Get(), floor, floor ? -1.0f : 5.0f);
        return Frame({mesh.Get()});
    };
    const std::vector<uint8_t> wall = frameWith(false, false, 0.0f);
    EXPECT_EQ(Differing(frameWith(false, true, 0.0f), wall), 0);
    EXPECT_GT(Differing(frameWith(false, true, 0.5f), wall), 20) << "sway moves the upper wall";
    // Every vertex of the floor has y = 0 in its own space.
    EXPECT_EQ(Differing(frameWith(true, true, 3.0f), frameWith(true, false, 0.0f)), 0);
}

TEST_F(EffectFrames, RipplesOfRadiusZeroLeaveTheReflectionUndistorted) {
    Pointer<Texture> normals = Picture(16, 0, 0, 0);
    // A normal map with structure, so two shifted layers differ.
    uint8_t* p = normals->GetImage()->GetPixels();
    for (int i = 0; i < 16 * 16; ++i, p += 4) p[0] = p[1] = p[2] = uint8_t((i * 37) & 0xFF);
    Pointer<Texture> reflection = Picture(16, 255, 128, 0, true);
    auto frameWith = [&](float radius, float distortion) {
        Pointer<ReflectiveQuietFlatWaterEffect> water(new ReflectiveQuietFlatWaterEffect);
        water->SetNormalmap(normals.Get());
        water->SetReflectionMap(reflection.Get());
        water->rippleRadius = radius;
        water->distortion = distortion;
        water->swayTime = 0.7f;
        Pointer<Triangles> mesh = Mesh(water.Get(), true, -1.0f);
        return Frame({mesh.Get()});
    };
    const std::vector<uint8_t> still = frameWith(0.0f, 0.0f);
    EXPECT_GT(Differing(still, std::vector<uint8_t>(still.size(), 0)), 100) << "the water is drawn";
    EXPECT_EQ(Differing(frameWith(0.0f, 0.3f), still), 0);
    EXPECT_GT(Differing(frameWith(0.2f, 0.3f), still), 20);
}

TEST_F(EffectFrames, PixelLightingAddsOnePassPerLight) {
    auto frameWith = [&](std::initializer_list<Light*> lights) {
        Pointer<TexturePixelLightingEffect> effect(new TexturePixelLightingEffect);
        effect->SetTexture(Picture(2, 255, 255, 255).Get());
        effect->ambient = Color(0, 0, 0, 1);
        for (Light* light : lights) effect->AddLight(light);
        Pointer<Triangles> mesh = Mesh(effect.Get());
        Frame({mesh.Get()});
        return At(32, 32);
    };
    Pointer<Light> sun(new Light), away(new Light), lamp(new Light);
    for (Light* light : {sun.Get(), away.Get(), lamp.Get()}) {
        light->SetDiffuse(Color(0.5f, 0.5f, 0.5f, 1));
        light->SetAmbient(Color(0, 0, 0, 1));
        light->SetSpecular(Color(0, 0, 0, 1));
    }
    sun->SetLightType(Light::kDirectional);  // along +z, onto the quad's front
    away->SetLightType(Light::kDirectional);
    away->GetLocalTransform().SetRotation(Quaternion(0, 1, 0, 0));
    lamp->SetLightType(Light::kPoint);
    lamp->GetLocalTransform().SetTranslation(Vector3(0, 0, 4));
    for (Light* light : {sun.Get(), away.Get(), lamp.Get()}) light->UpdateTree(0.0, false);

    const Rgb one = frameWith({sun.Get()});
    EXPECT_NEAR(one.r, 102, 3);  // diffuse 0.8 x 0.5
    EXPECT_NEAR(frameWith({away.Get()}).r, 0, 2);
    // The second light adds to the first.
    EXPECT_NEAR(frameWith({sun.Get(), sun.Get()}).r, 204, 4);
    // A point light one unit in front: bright in the middle, dimmer towards the corners.
    frameWith({lamp.Get()});
    const Rgb middle = At(32, 32), corner = At(34 + 20, 32);
    EXPECT_GT(middle.r, corner.r + 10);
}

TEST_F(EffectFrames, WaterShowsWhatItsControllerDrewIntoTheReflection) {
    Pointer<ColorEffect> red(new ColorEffect);
    red->SetColor(Color(1, 0, 0, 1));
    Pointer<Triangles> quad = Mesh(red.Get());
    // Above the eye at the far end of the water, in the upper half of the view; its mirror
    // image about the water (y = -1) lies 2.5 to 4 below the eye, rows 4 to 14 of the frame.
    auto* v = static_cast<Vector3Buffer*>(quad->GetVertices())->GetElements();
    v[0].y = v[3].y = 0.5f;
    v[1].y = v[2].y = 2.0f;
    for (int i = 0; i < 4; ++i) v[i].z = 11.0f;
    quad->GetVertices()->MarkDirty();
    // The mirror culls its list: the quad's bound must be where the quad now is.
    quad->ComputeModelBound();
    quad->UpdateTree(0.0, false);

    auto frameWith = [&](bool reflected) {
        Pointer<ReflectiveQuietFlatWaterEffect> water(new ReflectiveQuietFlatWaterEffect);
        water->SetNormalmap(Picture(2, 128, 128, 128).Get());
        Pointer<Triangles> floor = Mesh(water.Get(), true, -1.0f);
        auto* controller = static_cast<RenderScreenspaceReflectTextureController*>(
            water->GetReflectionMap()->GetController(0));
        controller->SetReferenceNode(floor.Get());
        if (reflected) controller->AddNode(quad.Get());
        water->Update(0.016);
        EXPECT_EQ(renderer->GetPreRenderCount(), 1);
        Frame({floor.Get(), quad.Get()});
        EXPECT_FALSE(renderer->GetReverseCull());
        // The reflection follows the viewport at half its size.
        EXPECT_EQ(water->GetReflectionMap()->GetImage()->GetWidth(), kSize / 2);
        return At(32, 9);
    };
    const Rgb empty = frameWith(false);
    EXPECT_LT(empty.r, 20);
    const Rgb mirrored = frameWith(true);
    EXPECT_GT(mirrored.r, 150);
    EXPECT_LT(mirrored.g, 60);
    // Not the view turned upside down about its middle: that would put the quad at rows 18 to 28.
    EXPECT_LT(At(32, 22).r, 60);
}

// True when every pixel that differs has an equal one (within 3 per channel) at most one pixel
// away in the other frame: the same shape, at most an edge pixel off.
bool WithinAPixel(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int size) {
    auto same = [&](int x, int y, int u, int v) {
        if (u < 0 || v < 0 || u >= size || v >= size) return false;
        for (int c = 0; c < 3; ++c)
            if (std::abs(int(a[size_t((y * size + x) * 4 + c)]) - int(b[size_t((v * size + u) * 4 + c)])) > 3)
                return false;
        return true;
    };
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; ++dy)
                for (int dx = -1; dx <= 1 && !found; ++dx) found = same(x, y, x + dx, y + dy);
            if (!found) return false;
        }
    return true;
}

TEST_F(EffectFrames, SkinningInTheVertexProgramMatchesSkinningOnTheCpu) {
    SkinController::InstallEffectHooks();
    Pointer<Node> a(new Node), b(new Node);
    a->GetLocalTransform().SetTranslation(Vector3(0.3f, 0.2f, 0.0f));
    b->GetLocalTransform().SetRotation(Quaternion(0.0f, 0.0f, 0.258819f, 0.9659258f));
    b->GetLocalTransform().SetTranslation(Vector3(-0.2f, 0.0f, 0.5f));
    a->UpdateTree(0.0, false);
    b->UpdateTree(0.0, false);

    auto skinned = [&](bool onGpu) {
        Pointer<ColorEffect> effect(new ColorEffect);
        effect->SetColor(Color(0.2f, 0.9f, 0.4f, 1.0f));
        Pointer<Triangles> mesh = Mesh(effect.Get());
        Pointer<Vector3Buffer> bind(new Vector3Buffer(4));
        std::memcpy(bind->GetElements(), static_cast<Vector3Buffer*>(mesh->GetVertices())->GetElements(),
                    4 * sizeof(Vector3));
        Pointer<Vector4Buffer> weights(new Vector4Buffer(4)), indices(new Vector4Buffer(4));
        const Vector4 w[4] = {{1, 0, 0, 0}, {0.5f, 0.5f, 0, 0}, {0, 1, 0, 0}, {0.7f, 0.3f, 0, 0}};
        const Vector4 i[4] = {{0, 0, 0, 0}, {0, 1, 0, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}};
        std::memcpy(weights->GetElements(), w, sizeof w);
        std::memcpy(indices->GetElements(), i, sizeof i);
        Pointer<SkinController> skin(new SkinController);
        skin->AddBone(a.Get(), Transform());
        skin->AddBone(b.Get(), Transform());
        skin->SetBindVertices(bind.Get());
        skin->SetWeights(weights.Get());
        skin->SetBoneIndices(indices.Get());
        mesh->AddController(skin.Get());
        if (onGpu) {
            effect->SetSkinController(skin.Get());
            effect->Update(0.0);  // a device that skins in its programs: the CPU stops
            EXPECT_FALSE(skin->IsActive());
        }
        mesh->UpdateTree(0.0, false);
        return Frame({mesh.Get()});
    };
    const std::vector<uint8_t> cpu = skinned(false);
    const std::vector<uint8_t> gpu = skinned(true);
    EffectConstants::SetSkinDataSource(nullptr);
    GeometryNodeEffect::SetCpuSkinningSwitch(nullptr);
    EXPECT_GT(Differing(cpu, std::vector<uint8_t>(cpu.size(), 0)), 200) << "the mesh is drawn";
    EXPECT_TRUE(WithinAPixel(cpu, gpu, kSize));
    EXPECT_TRUE(WithinAPixel(gpu, cpu, kSize));
}

} // namespace
} // namespace nuv::test
