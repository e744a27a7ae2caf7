// The frame profile through the platform's renderer module (OpenGL, or Direct3D 9 under Wine):
// sections count the samples their own drawing left, apart from the sections opened inside them,
// and are told apart by the target they drew into.
#include "DeviceTestScene.h"

#include "media/image/Image.h"
#include "render/PixelShader.h"
#include "render/Texture.h"
#include "render/VertexShader.h"

#include <map>
#include <string>

namespace nuv::test {

namespace {

using DeviceProfile = DeviceScene;

std::map<std::string, Renderer::ProfileEntry> ByName(const std::vector<Renderer::ProfileEntry>& entries) {
    std::map<std::string, Renderer::ProfileEntry> byName;
    for (const Renderer::ProfileEntry& e : entries) byName[e.name] = e;
    return byName;
}

} // namespace

TEST_F(DeviceProfile, OffByDefaultAndMeasuresNothing) {
    EXPECT_FALSE(renderer->IsProfiling());
    Begin();
    renderer->OpenProfileSection("quad");
    Draw(*Quad(-1, -1, 1, 1, 0.5f, Color(1, 1, 1, 1)));
    renderer->CloseProfileSection();
    renderer->EndFrame();
    EXPECT_TRUE(renderer->GetProfile().empty());
}

// Each quad of a known size in its own section; a quad behind what was drawn passes no sample,
// and a section opened inside another is not counted in the outer one.
TEST_F(DeviceProfile, SamplesFollowWhatEachSectionDrew) {
    renderer->SetProfiling(true);
    Begin();
    struct Case {
        const char* section;
        float x0, y0, x1, y1, z;
    };
    // The window is kSize (64) square: clip -1..1 spans 64 pixels.
    const Case cases[] = {
        {"left half", -1, -1, 0, 1, 0.5f},            // 32 x 64
        {"quarter", 0, 0, 1, 1, 0.5f},                // 32 x 32
        {"hidden", -1, -1, -0.5f, -0.5f, 0.9f},       // behind the left half
        {"quarter", 0, -1, 0.5f, -0.5f, 0.5f},        // 16 x 16 more in the same section
    };
    for (const Case& c : cases) {
        const Renderer::ProfileScope section(*renderer, c.section);
        Draw(*Quad(c.x0, c.y0, c.x1, c.y1, c.z, Color(1, 1, 1, 1)));
    }
    {
        const Renderer::ProfileScope outer(*renderer, "outer");
        Draw(*Quad(0.5f, -1, 1, -0.5f, 0.5f, Color(1, 0, 0, 1)));  // 16 x 16
        {
            const Renderer::ProfileScope inner(*renderer, "inner");
            Draw(*Quad(0.5f, -0.5f, 1, 0, 0.5f, Color(0, 1, 0, 1)));  // 16 x 16
        }
        Draw(*Quad(0, -0.5f, 0.5f, 0, 0.5f, Color(0, 0, 1, 1)));  // 16 x 16
    }
    renderer->EndFrame();

    const std::vector<Renderer::ProfileEntry> entries = renderer->GetProfile();
    ASSERT_FALSE(entries.empty());
    // The frame's own section first: the clear passes no sample.
    EXPECT_EQ(entries[0].name, "opaque");
    EXPECT_EQ(entries[0].samples, 0);
    auto byName = ByName(entries);
    const struct {
        const char* name;
        int64_t samples;
        int64_t runs;
    } expected[] = {
        {"left half", 32 * 64, 1}, {"quarter", 32 * 32 + 16 * 16, 2}, {"hidden", 0, 1},
        {"outer", 2 * 16 * 16, 2}, {"inner", 16 * 16, 1},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        ASSERT_TRUE(byName.count(e.name));
        EXPECT_EQ(byName[e.name].samples, e.samples);
        EXPECT_EQ(byName[e.name].runs, e.runs);
        // Measured (llvmpipe has timer queries, Wine's Direct3D time stamps); its value is not
        // the test's business.
        EXPECT_GE(byName[e.name].milliseconds, 0.0);
    }
    EXPECT_EQ(entries.size(), 6u);

    // A second frame adds to the totals; switched off, the totals stay for reading.
    Begin();
    {
        const Renderer::ProfileScope section(*renderer, "left half");
        Draw(*Quad(-1, -1, 0, 1, 0.5f, Color(1, 1, 1, 1)));
    }
    renderer->EndFrame();
    renderer->SetProfiling(false);
    EXPECT_EQ(ByName(renderer->GetProfile())["left half"].samples, 2 * 32 * 64);
    // Switched on again, counting starts over.
    renderer->SetProfiling(true);
    EXPECT_TRUE(renderer->GetProfile().empty());
    renderer->SetProfiling(false);
}

TEST_F(DeviceProfile, SectionsAreToldApartByTheirTarget) {
    Pointer<Image> picture(new Image(String("target"), 16, 8, Image::kRgba));
    Pointer<Texture> target(new Texture);
    target->SetName(String("Small Target"));
    target->SetImage(picture.Get());
    renderer->SetProfiling(true);
    Begin();
    {
        const Renderer::ProfileScope section(*renderer, "pass");
        Draw(*Quad(-1, -1, 0, 0, 0.5f, Color(1, 1, 1, 1)));  // 32 x 32 on the screen
        renderer->SetRenderTarget(target.Get());
        renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, Color(0, 0, 0, 1), 1, 0);
        Draw(*Quad(-1, -1, 1, 1, 0.5f, Color(1, 1, 1, 1)));  // the whole 16 x 8 target
        // Blended geometry is drawn into the target as it is left.
        Pointer<Triangles> veil = Quad(-1, -1, 0, 1, 0.2f, Color(0, 1, 0, 0.5f));  // 8 x 8
        EffectOf(*veil).SetBlendEnabled(true);
        Draw(*veil);
        renderer->SetRenderTarget(nullptr);
        Draw(*Quad(0, 0, 0.5f, 0.5f, 0.5f, Color(1, 1, 1, 1)));  // 16 x 16 on the screen again
    }
    renderer->EndFrame();
    auto byName = ByName(renderer->GetProfile());
    EXPECT_EQ(byName["pass"].samples, 32 * 32 + 16 * 16);
    EXPECT_EQ(byName["pass"].runs, 2);
    EXPECT_EQ(byName["pass [Small Target]"].samples, 16 * 8);
    EXPECT_EQ(byName["transparent [Small Target]"].samples, 8 * 8);
    renderer->SetProfiling(false);
}

} // namespace nuv::test
