// Flares, garlands, window planes and the sprite effect: the sprite data they build in both
// forms, the garland's chase, late drawing, screen placement, their files and damaged files.
#include "../core/TestSupport.h"
#include "../render/RecordingRenderer.h"

#include "core/ColorBuffer.h"
#include "core/FloatBuffer.h"
#include "core/Stream.h"
#include "core/Vector3Buffer.h"
#include "core/Vector4.h"
#include "media/ModuleManager.h"
#include "render/Pass.h"
#include "render/RenderStateBlock.h"
#include "render/SpriteEffect.h"
#include "render/Technique.h"
#include "render/Texture.h"
#include "render/TextureEffect.h"
#include "scene/Camera.h"
#include "scene/Flare.h"
#include "scene/Garland.h"
#include "scene/Lines.h"
#include "scene/SphereBoundingVolume.h"
#include "scene/WindowPlane.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <string>
#include <vector>

namespace nuv {
namespace {

using test::Loaded;
using test::Saved;

// Keeps the primitive counts and the matrices in force at each draw without indices.
class MatrixRenderer : public test::RecordingRenderer {
public:
    void DrawPrimitives(int count) override {
        drawn.push_back(count);
        projectionAtDraw = projection;
        worldAtDraw = world;
        viewAtDraw = view;
        Note("drawPrimitives");
    }
    std::vector<int> drawn;
    Matrix4 projectionAtDraw, worldAtDraw, viewAtDraw;
};

struct CurrentRenderer {
    static inline bool pointSprites = true;
    static inline int textureUnits = 4;
    static int Create(Renderer** out) {
        auto* renderer = new MatrixRenderer;
        RendererCaps caps;
        caps.textureUnits = textureUnits;
        caps.pointSprites = pointSprites ? 1 : 0;
        renderer->SetDeviceCaps(caps);
        *out = renderer;
        return 0;
    }
    explicit CurrentRenderer(bool sprites, int units = 4) {
        pointSprites = sprites;
        textureUnits = units;
        EXPECT_EQ(test::UseTestRenderer("FlareTestRenderer", &Create), 0);
        camera = new Camera;
        Get().SetCamera(camera.Get());
    }
    ~CurrentRenderer() { ModuleManager::DestroyRenderer(); }
    MatrixRenderer& Get() const { return *static_cast<MatrixRenderer*>(ModuleManager::GetRenderer()); }
    Pointer<Camera> camera;
};

bool Contains(const std::vector<uint8_t>& bytes, const char* text) {
    const size_t n = std::strlen(text);
    for (size_t i = 0; i + n <= bytes.size(); ++i)
        if (std::memcmp(bytes.data() + i, text, n) == 0) return true;
    return false;
}

TEST(Flare, OneSpriteAtTheWorldPositionInEitherForm) {
    {
        CurrentRenderer current(true);
        Pointer<Flare> flare(new Flare);
        EXPECT_EQ(flare->GetPrimitiveType(), 0);
        flare->color = Color(1.0f, 0.5f, 0.25f, 1.0f);
        flare->size = 3.0f;
        flare->GetLocalTransform().SetTranslation(Vector3(1.0f, 2.0f, 30.0f));
        flare->UpdateTree(0.0, false);
        ASSERT_EQ(flare->GetVertices()->GetCount(), 1);
        EXPECT_EQ(static_cast<Vector3Buffer*>(flare->GetVertices())->GetElements()[0], Vector3(1.0f, 2.0f, 30.0f));
        EXPECT_EQ(flare->GetColors()->GetElements()[0], flare->color);
        EXPECT_EQ(flare->GetPointSizes()->GetElements()[0], 3.0f);
        flare->CullAndRender(current.Get());
        EXPECT_EQ(current.Get().drawn, std::vector<int>{1});
    }
    {
        CurrentRenderer current(false);
        Pointer<Flare> flare(new Flare);
        EXPECT_EQ(flare->GetPrimitiveType(), 3);
        flare->size = 2.0f;
        flare->GetLocalTransform().SetTranslation(Vector3(0.0f, 0.0f, 30.0f));
        flare->UpdateTree(0.0, false);
        ASSERT_EQ(flare->GetVertices()->GetCount(), 6);
        const Vector3* v = static_cast<Vector3Buffer*>(flare->GetVertices())->GetElements();
        const float h = 2.0f * 0.5f / std::sqrt(2.0f);
        EXPECT_NEAR(v[0].x, -h, 1e-5f);
        EXPECT_NEAR(v[0].y, -h, 1e-5f);
        EXPECT_NEAR(v[4].x, h, 1e-5f);
        EXPECT_NEAR(v[4].y, h, 1e-5f);
        EXPECT_NEAR(v[1].x, -h, 1e-5f) << "c + b·s lies up and to the left";
        EXPECT_NEAR(v[1].y, h, 1e-5f);
        flare->CullAndRender(current.Get());
        EXPECT_EQ(current.Get().drawn, std::vector<int>{2});
    }
}

TEST(Flare, BoundReachesFarAndTheFileKeepsColourAndSize) {
    Pointer<Flare> flare(new Flare);
    auto* bound = static_cast<SphereBoundingVolume*>(flare->GetModelBound());
    EXPECT_FLOAT_EQ(bound->GetRadius(), 50.0f);
    flare->color = Color(0.1f, 0.2f, 0.3f, 0.4f);
    flare->size = 0.5f;
    Pointer<Flare> loaded = Loaded<Flare>(Saved(flare.Get()));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->color, flare->color);
    EXPECT_EQ(loaded->size, 0.5f);
    EXPECT_FLOAT_EQ(static_cast<SphereBoundingVolume*>(loaded->GetModelBound())->GetRadius(), 2500.0f);

    flare->size = -4.0f;
    loaded = Loaded<Flare>(Saved(flare.Get()));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->size, 0.0f);

    test::LogRecorder log;
    auto bytes = Saved(flare.Get());
    bytes.resize(bytes.size() - 1);
    EXPECT_FALSE(Loaded<Flare>(bytes));
    EXPECT_TRUE(log.ContainsText("Невозможно загрузить данные флара."));
}

// Seven lamps on a line, three colours.
struct GarlandScene {
    explicit GarlandScene(int lamps = 7) {
        line = new Lines;
        Pointer<Vector3Buffer> points(new Vector3Buffer(lamps));
        for (int i = 0; i < lamps; ++i) points->GetElements()[i] = Vector3(float(i), 0.0f, 0.0f);
        line->SetVertices(points.Get());
        line->GetLocalTransform().SetTranslation(Vector3(0.0f, 0.0f, 50.0f));
        garland = new Garland;
        garland->GetPalette().Append(Color(1.0f, 0.0f, 0.0f, 0.5f));
        garland->GetPalette().Append(Color(0.0f, 1.0f, 0.0f, 0.5f));
        garland->GetPalette().Append(Color(0.0f, 0.0f, 1.0f, 0.5f));
        garland->SetLine(line.Get());
        garland->blinkPeriod = 1.0f;
        garland->lampSize = 0.25f;
    }
    // Alpha of lamp i (the first vertex of its quad in the quad form).
    float Alpha(int i) const {
        const int perLamp = garland->GetColors()->GetCount() / garland->GetLampCount();
        return garland->GetColors()->GetElements()[perLamp * i].a;
    }
    Pointer<Lines> line;
    Pointer<Garland> garland;
};

TEST(Garland, OneColourGroupAtATimeIsDarkAndTheDarkGroupMovesOn) {
    for (bool sprites : {true, false}) {
        SCOPED_TRACE(sprites ? "point sprites" : "quads");
        CurrentRenderer current(sprites);
        GarlandScene scene;
        Garland& garland = *scene.garland;
        garland.UpdateWorld(0.0);
        ASSERT_EQ(garland.GetLampCount(), 7);
        EXPECT_EQ(garland.GetPrimitiveCount(), sprites ? 7 : 14);
        for (int i = 0; i < 7; ++i) EXPECT_EQ(scene.Alpha(i), i % 3 == 0 ? 0.0f : 0.5f) << "lamp " << i;
        EXPECT_EQ(garland.GetColors()->GetElements()[0].r, 1.0f);

        garland.UpdateWorld(1.25);
        EXPECT_EQ(garland.GetDarkGroup(), 1);
        for (int i : {1, 4}) EXPECT_EQ(scene.Alpha(i), 0.0f) << "lamp " << i;
        for (int i : {0, 3, 6}) EXPECT_EQ(scene.Alpha(i), 1.0f) << "lamp " << i;
        for (int i : {2, 5}) EXPECT_EQ(scene.Alpha(i), 0.5f) << "lamp " << i;
        // 0.25 left + 2.5 = two more steps.
        garland.UpdateWorld(2.5);
        EXPECT_EQ(garland.GetDarkGroup(), 0);
        for (int i : {0, 3, 6}) EXPECT_EQ(scene.Alpha(i), 0.0f);
        for (int i : {2, 5}) EXPECT_EQ(scene.Alpha(i), 1.0f);
        EXPECT_NEAR(garland.GetBlinkTimer(), 0.75f, 1e-6f);
    }
}

TEST(Garland, LampsStayWhereTheLineWasAtTheFirstUpdate) {
    CurrentRenderer current(true);
    GarlandScene scene;
    scene.garland->UpdateWorld(0.0);
    const Vector3* lamps = static_cast<Vector3Buffer*>(scene.garland->GetVertices())->GetElements();
    EXPECT_EQ(lamps[2], Vector3(2.0f, 0.0f, 50.0f));
    EXPECT_EQ(scene.garland->GetPointSizes()->GetElements()[2], 0.25f);
    scene.line->GetLocalTransform().SetTranslation(Vector3(0.0f, 9.0f, 9.0f));
    scene.line->UpdateTree(0.0, false);
    scene.garland->UpdateWorld(0.1);
    lamps = static_cast<Vector3Buffer*>(scene.garland->GetVertices())->GetElements();
    EXPECT_EQ(lamps[2], Vector3(2.0f, 0.0f, 50.0f));
    // The bound follows the line's bound, though.
    scene.garland->UpdateBound();
    EXPECT_EQ(scene.garland->GetWorldBound()->GetCenter(), scene.line->GetWorldBound()->GetCenter());
}

TEST(Garland, IsBlendedAndDrawnLateWithoutIndices) {
    CurrentRenderer current(true);
    GarlandScene scene;
    Garland& garland = *scene.garland;
    ASSERT_NE(garland.GetEffect(), nullptr);
    EXPECT_TRUE(garland.GetEffect()->IsBlendEnabled());
    EXPECT_EQ(garland.GetEffect()->sourceBlend, 4);
    EXPECT_EQ(garland.GetEffect()->destinationBlend, 5);
    MatrixRenderer& renderer = current.Get();
    garland.Render(renderer);
    EXPECT_EQ(renderer.GetDeferredCount(), 0) << "nothing to draw before the lamps exist";
    garland.UpdateWorld(0.0);
    garland.Render(renderer);
    EXPECT_EQ(renderer.GetDeferredCount(), 1);
    EXPECT_TRUE(renderer.drawn.empty());
    renderer.FlushDeferred();
    EXPECT_EQ(renderer.drawn, std::vector<int>{7});
    // Transparent sprites do not write depth.
    Technique* technique = garland.GetEffect()->CurrentTechnique();
    ASSERT_NE(technique, nullptr);
    RenderStateBlock* block = technique->GetPass(0)->GetStateBlock();
    EXPECT_EQ(block->pointSpritesEnabled, 1);
    EXPECT_EQ(block->depthWriteEnabled, 0);
    EXPECT_EQ(block->blendEnabled, 1);
}

TEST(Garland, HostilePeriodsAndPalettesDoNotStall) {
    CurrentRenderer current(true);
    GarlandScene scene;
    scene.garland->UpdateWorld(0.0);
    scene.garland->blinkPeriod = 0.0f;
    scene.garland->UpdateWorld(1.0);
    EXPECT_EQ(scene.garland->GetDarkGroup(), 0);
    scene.garland->blinkPeriod = 1e-30f;
    scene.garland->UpdateWorld(1e6);
    EXPECT_LT(scene.garland->GetBlinkTimer(), 1e-29f);
    scene.garland->GetPalette().Clear();
    scene.garland->UpdateWorld(1.0);
    EXPECT_EQ(scene.garland->GetLampCount(), 0) << "no palette, no lamps";

    // A line longer than any pool lights only the first lamps.
    GarlandScene huge(70000);
    huge.garland->UpdateWorld(0.0);
    EXPECT_EQ(huge.garland->GetLampCount(), 65536);
    EXPECT_EQ(huge.garland->GetVertices()->GetCount(), 65536);
}

TEST(Garland, FileKeepsPaletteAndLineButNoLampBuffers) {
    CurrentRenderer current(true);
    GarlandScene scene;
    scene.garland->UpdateWorld(0.0);
    Buffer* lamps = scene.garland->GetVertices();
    const auto bytes = Saved(scene.garland.Get());
    EXPECT_EQ(scene.garland->GetVertices(), lamps);
    Pointer<Garland> loaded = Loaded<Garland>(bytes);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->GetVertices(), nullptr);
    EXPECT_EQ(loaded->GetColors(), nullptr);
    ASSERT_EQ(loaded->GetPalette().GetCount(), 3);
    EXPECT_EQ(loaded->GetPalette()[2], Color(0.0f, 0.0f, 1.0f, 0.5f));
    EXPECT_EQ(loaded->blinkPeriod, 1.0f);
    EXPECT_EQ(loaded->lampSize, 0.25f);
    ASSERT_NE(loaded->GetLine(), nullptr);
    EXPECT_EQ(loaded->GetLine()->GetVertices()->GetCount(), 7);
    loaded->UpdateWorld(0.0);
    EXPECT_EQ(loaded->GetLampCount(), 7);

    // A palette count the file cannot hold fails without allocating it.
    test::LogRecorder log;
    auto forged = bytes;
    const float period = 1.0f, size = 0.25f;
    for (size_t i = 0; i + 12 <= forged.size(); ++i) {
        if (std::memcmp(forged.data() + i, &period, 4) == 0 && std::memcmp(forged.data() + i + 4, &size, 4) == 0) {
            const int32_t huge = 0x7FFFFFF0;
            std::memcpy(forged.data() + i + 8, &huge, 4);
            break;
        }
    }
    EXPECT_FALSE(Loaded<Garland>(forged));
    EXPECT_TRUE(log.ContainsText("Невозможно загрузить данные гирлянды."));
}

TEST(WindowPlane, CoversItsScreenRectangleAndIsNeverCulled) {
    CurrentRenderer current(true);
    MatrixRenderer& renderer = current.Get();
    Pointer<WindowPlane> plane(new WindowPlane);
    EXPECT_EQ(static_cast<SphereBoundingVolume*>(plane->GetModelBound())->GetRadius(), FLT_MAX);
    ASSERT_EQ(plane->GetVertices()->GetCount(), 6);
    EXPECT_TRUE(DynamicCast<TextureEffect>(plane->GetEffect()));
    Pointer<SpriteEffect> effect(new SpriteEffect);
    plane->SetEffect(effect.Get());
    plane->position = Vector2(0.5f, 0.5f);
    plane->size = Vector2(0.5f, 0.5f);
    plane->SetHidden(true);
    // Far behind the camera, hidden: still drawn, at once when opaque.
    plane->GetLocalTransform().SetTranslation(Vector3(0.0f, 0.0f, -1000.0f));
    plane->UpdateTree(0.0, false);
    const Matrix4 cameraProjection = renderer.projection;
    plane->CullAndRender(renderer);
    ASSERT_EQ(renderer.drawn, std::vector<int>{2});
    // The unit square lands on the top-right quarter of clip space.
    const Matrix4 toClip = renderer.worldAtDraw * renderer.viewAtDraw * renderer.projectionAtDraw;
    const Vector4 low = Vector4(0.0f, 0.0f, 0.0f, 1.0f) * toClip;
    const Vector4 high = Vector4(1.0f, 1.0f, 0.0f, 1.0f) * toClip;
    EXPECT_NEAR(low.x, 0.0f, 1e-6f);
    EXPECT_NEAR(low.y, 0.0f, 1e-6f);
    EXPECT_NEAR(high.x, 1.0f, 1e-6f);
    EXPECT_NEAR(high.y, 1.0f, 1e-6f);
    EXPECT_EQ(renderer.projection, cameraProjection) << "the camera's projection comes back";

    // Blended: kept for the end of the frame, after the sorted geometry.
    effect->SetBlendEnabled(true);
    plane->CullAndRender(renderer);
    EXPECT_EQ(renderer.GetLateCount(), 1);
    EXPECT_EQ(renderer.drawn.size(), 1u);
    renderer.FlushDeferred();
    EXPECT_EQ(renderer.drawn.size(), 2u);
}

TEST(WindowPlane, FileKeepsPlacement) {
    Pointer<WindowPlane> plane(new WindowPlane);
    plane->position = Vector2(0.25f, 0.125f);
    plane->size = Vector2(2.0f, 3.0f);
    Pointer<WindowPlane> loaded = Loaded<WindowPlane>(Saved(plane.Get()));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->position.x, 0.25f);
    EXPECT_EQ(loaded->position.y, 0.125f);
    EXPECT_EQ(loaded->size.x, 2.0f);
    EXPECT_EQ(loaded->size.y, 3.0f);
    EXPECT_EQ(static_cast<SphereBoundingVolume*>(loaded->GetModelBound())->GetRadius(), FLT_MAX);
}

TEST(SpriteEffect, NeedsATextureUnitAndKeepsItsTextureInTheFile) {
    {
        CurrentRenderer current(true, 0);
        SpriteEffect effect;
        EXPECT_EQ(effect.CurrentTechnique(), nullptr);
    }
    CurrentRenderer current(true);
    Pointer<SpriteEffect> effect(new SpriteEffect);
    Pointer<Texture> texture(new Texture);
    texture->SetName("flake.tga");
    effect->SetTexture(texture.Get());
    ASSERT_NE(effect->CurrentTechnique(), nullptr);
    RenderStateBlock* block = effect->CurrentTechnique()->GetPass(0)->GetStateBlock();
    EXPECT_EQ(block->pointSpritesEnabled, 1);
    EXPECT_EQ(block->depthWriteEnabled, 1) << "opaque sprites write depth";
    const auto bytes = Saved(effect.Get());
    EXPECT_TRUE(Contains(bytes, "flake.tga"));
    Pointer<SpriteEffect> loaded = Loaded<SpriteEffect>(bytes);
    ASSERT_TRUE(loaded);
    ASSERT_NE(loaded->GetTexture(), nullptr);
    EXPECT_EQ(String(loaded->GetTexture()->GetName()), String("flake.tga"));
    EXPECT_EQ(loaded->FindByName(String("flake.tga")), loaded->GetTexture());
}

} // namespace
} // namespace nuv
