// Effects, techniques and passes; the geometry effect's file layout and what its passes copy;
// skinning moved between the CPU and the vertex program; shaders and textures with their
// device copies.
#include "../core/TestSupport.h"
#include "RecordingRenderer.h"
#include "core/Controller.h"
#include "core/Log.h"
#include "core/Stream.h"
#include "media/ModuleManager.h"
#include "media/image/Image.h"
#include "media/image/VolumeImage.h"
#include "render/CubeTexture.h"
#include "render/GeometryNodeEffect.h"
#include "render/GeometryNodeEffectPass.h"
#include "render/RenderStateBlock.h"
#include "render/SceneNodeEffect.h"
#include "render/Technique.h"
#include "render/Texture.h"
#include "render/VertexShader.h"
#include "render/VolumeTexture.h"
#include "scene/SphereBoundingVolume.h"
#include "scene/Triangles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <vector>

namespace nuv {

// A geometry effect pass that draws always.
class PlainPass : public GeometryNodeEffectPass {
    NUV_DECLARE_OBJECT
public:
    explicit PlainPass(GeometryNodeEffect* effect = nullptr) : GeometryNodeEffectPass(effect) {}
    int Apply() override { return 0; }
};
NUV_IMPLEMENT_OBJECT(PlainPass, GeometryNodeEffectPass)

// A technique whose support and refreshes the test controls and counts.
class SwitchTechnique : public Technique {
public:
    explicit SwitchTechnique(bool supported) : supported(supported) {}
    bool IsSupported() override {
        ++asked;
        return supported;
    }
    int Refresh() override {
        ++refreshes;
        return Technique::Refresh();
    }
    bool supported;
    int asked = 0;
    int refreshes = 0;
};

// The concrete geometry effect the tests store and read back.
class StoredEffect : public GeometryNodeEffect {
    NUV_DECLARE_OBJECT
public:
    StoredEffect() {
        technique = new SwitchTechnique(true);
        pass = new PlainPass(this);
        technique->AddPass(pass.Get());
        AddTechnique(technique);
    }
    SwitchTechnique* technique;
    Pointer<PlainPass> pass;
};
NUV_IMPLEMENT_OBJECT(StoredEffect, GeometryNodeEffect)

class PlainSceneEffect : public SceneNodeEffect {
    NUV_DECLARE_OBJECT
};
NUV_IMPLEMENT_OBJECT(PlainSceneEffect, SceneNodeEffect)

// Stands in for the animation library's skin controller, known to the effect by its type name;
// a namespace of its own keeps it apart from the real class.
namespace stand_in {
class SkinController : public Controller {
    NUV_DECLARE_OBJECT
public:
    void Apply(double) override {}
    bool onCpu = false;
};
NUV_IMPLEMENT_OBJECT(SkinController, Controller)
} // namespace stand_in
using stand_in::SkinController;

class OtherController : public Controller {
    NUV_DECLARE_OBJECT
public:
    void Apply(double) override {}
};
NUV_IMPLEMENT_OBJECT(OtherController, Controller)

namespace {

using Bytes = std::vector<uint8_t>;
using test::Loaded;
using test::LogRecorder;
using test::RecordingRenderer;
using test::Saved;

// The geometry effect's own bytes, from the end of a stored effect without a skin controller:
// wrap byte, four colours, power, alpha test, reference, blend byte, two factors, fog flag,
// colour, density, exponent, sway flag, amplitude, frequency and the null link.
constexpr size_t kOwnBytes = 1 + 64 + 4 + 1 + 4 + 1 + 4 + 4 + 1 + 16 + 4 + 4 + 1 + 4 + 4 + 4;
constexpr size_t kBlendByteFromOwn = 1 + 64 + 4 + 1 + 4;

TEST(Effects, TheFirstSupportedTechniqueIsChosenRefreshedOnceAndKept) {
    Pointer<PlainSceneEffect> effect(new PlainSceneEffect);
    EXPECT_EQ(effect->CurrentTechnique(), nullptr);
    EXPECT_EQ(effect->PassCount(), 0);
    auto* weak = new SwitchTechnique(false);
    auto* strong = new SwitchTechnique(true);
    auto* spare = new SwitchTechnique(true);
    Pointer<PlainPass> a(new PlainPass), b(new PlainPass);
    strong->AddPass(a.Get());
    strong->AddPass(b.Get());
    EXPECT_EQ(strong->AddPass(nullptr), 3);
    EXPECT_EQ(effect->AddTechnique(weak), 0);
    EXPECT_EQ(effect->AddTechnique(nullptr), 3);
    effect->AddTechnique(strong);
    effect->AddTechnique(spare);

    a->GetResourceLink().dirty = 0;
    EXPECT_EQ(effect->PassCount(), 2);
    EXPECT_EQ(effect->CurrentTechnique(), strong);
    EXPECT_EQ(strong->refreshes, 1);
    EXPECT_TRUE(a->IsDirty());  // the refresh reached the passes
    EXPECT_EQ(spare->asked, 0);
    // Kept, even when the capabilities seem to change later.
    strong->supported = false;
    EXPECT_EQ(effect->CurrentTechnique(), strong);
    EXPECT_EQ(strong->asked, 1);
    effect->RefreshCurrentTechnique();
    EXPECT_EQ(strong->refreshes, 2);
    EXPECT_TRUE(effect->IsEnabled());
    effect->Disable();
    EXPECT_FALSE(effect->IsEnabled());
}

TEST(Effects, NoSupportedTechniqueIsAskedAgainLater) {
    Pointer<PlainSceneEffect> effect(new PlainSceneEffect);
    auto* only = new SwitchTechnique(false);
    effect->AddTechnique(only);
    EXPECT_EQ(effect->PassCount(), 0);
    effect->RefreshCurrentTechnique();
    EXPECT_EQ(only->refreshes, 0);
    only->supported = true;
    EXPECT_EQ(effect->CurrentTechnique(), only);
}

TEST(GeometryEffect, StoresItsFieldsAndReadsThemBack) {
    Pointer<StoredEffect> effect(new StoredEffect);
    effect->SetName("ice");
    effect->wrap[1] = 0;
    effect->wrap[7] = 0;
    effect->diffuse = Color(0.1f, 0.2f, 0.3f, 0.4f);
    effect->emissive = Color(1, 0.5f, 0.25f, 1);
    effect->specularPower = 12.5f;
    effect->alphaTest = 1;
    effect->alphaReference = 77;
    effect->blendEnabled = 1;
    effect->cullEnabled = 0;
    effect->sourceBlend = 1;
    effect->destinationBlend = 6;
    effect->fogEnabled = 1;
    effect->fogColor = Color(0.9f, 0.8f, 0.7f, 0.6f);
    effect->fogDensity = 0.02f;
    effect->fogExponent = 2.5f;
    effect->swayEnabled = 1;
    effect->swayAmplitude = 0.3f;
    effect->swayFrequency = 4.0f;
    effect->swayTime = 9.0f;  // not stored
    effect->wireframe = 1;    // not stored
    const Bytes bytes = Saved(effect.Get());
    const size_t own = bytes.size() - kOwnBytes;
    EXPECT_EQ(bytes[own], 0x82);
    EXPECT_EQ(bytes[own + kBlendByteFromOwn], 0x11);

    Pointer<Object> object = Loaded(bytes);
    auto* read = DynamicCast<StoredEffect>(object.Get());
    ASSERT_NE(read, nullptr);
    for (int i = 0; i < GeometryNodeEffect::kStageCount; ++i) EXPECT_EQ(read->wrap[i], i == 1 || i == 7 ? 0 : 1);
    EXPECT_EQ(read->diffuse.b, 0.3f);
    EXPECT_EQ(read->emissive.g, 0.5f);
    EXPECT_EQ(read->ambient.r, 0.2f);
    EXPECT_EQ(read->specularPower, 12.5f);
    EXPECT_EQ(read->alphaTest, 1);
    EXPECT_EQ(read->alphaReference, 77);
    EXPECT_EQ(read->blendEnabled, 1);
    EXPECT_EQ(read->cullEnabled, 0);
    EXPECT_EQ(read->sourceBlend, 1);
    EXPECT_EQ(read->destinationBlend, 6);
    EXPECT_EQ(read->fogEnabled, 1);
    EXPECT_EQ(read->fogColor.a, 0.6f);
    EXPECT_EQ(read->fogDensity, 0.02f);
    EXPECT_EQ(read->fogExponent, 2.5f);
    EXPECT_EQ(read->swayEnabled, 1);
    EXPECT_EQ(read->swayAmplitude, 0.3f);
    EXPECT_EQ(read->swayFrequency, 4.0f);
    EXPECT_EQ(read->swayTime, 0.0f);
    EXPECT_EQ(read->wireframe, 0);
    EXPECT_EQ(Saved(read).size(), bytes.size());
}

TEST(GeometryEffect, WrapAndBlendBytesAreReadByTheirBits) {
    Pointer<StoredEffect> effect(new StoredEffect);
    const Bytes plain = Saved(effect.Get());
    const size_t own = plain.size() - kOwnBytes;
    struct Case {
        uint8_t wrap, blend;
        bool wrapAll, blended, culled;
    };
    for (const Case& c : {Case{0x00, 0x10, true, false, false}, Case{0xFF, 0x02, false, true, true},
                          Case{0x00, 0x1F, true, true, false}, Case{0x00, 0x00, true, false, true}}) {
        Bytes bytes = plain;
        bytes[own] = c.wrap;
        bytes[own + kBlendByteFromOwn] = c.blend;
        Pointer<Object> object = Loaded(bytes);
        auto* read = DynamicCast<StoredEffect>(object.Get());
        ASSERT_NE(read, nullptr);
        for (int i = 0; i < GeometryNodeEffect::kStageCount; ++i) {
            EXPECT_EQ(read->wrap[i], c.wrapAll ? 1 : 0);
        }
        EXPECT_EQ(read->IsBlendEnabled(), c.blended) << int(c.blend);
        EXPECT_EQ(read->cullEnabled != 0, c.culled) << int(c.blend);
    }
}

TEST(GeometryEffect, DamagedFilesFail) {
    LogRecorder log;
    Pointer<StoredEffect> effect(new StoredEffect);
    const Bytes bytes = Saved(effect.Get());
    // Cut anywhere in the effect's own fields.
    for (size_t cut = bytes.size() - kOwnBytes; cut < bytes.size(); cut += 7) {
        int status = 0;
        EXPECT_EQ(Loaded(Bytes(bytes.begin(), bytes.begin() + long(cut)), &status), nullptr) << cut;
        EXPECT_NE(status, 0);
    }
    // A link to a controller that is not a skin controller.
    Pointer<OtherController> other(new OtherController);
    // Written by hand: the setter would accept any controller.
    Bytes head(bytes.begin(), bytes.end() - 4);
    Bytes link = Saved(other.Get());
    head.insert(head.end(), link.begin(), link.end());
    EXPECT_EQ(Loaded(head), nullptr);
    EXPECT_TRUE(log.ContainsText("не является контроллером скиннинга"));
}

TEST(GeometryEffect, PassRefreshCopiesTheEffectIntoTheStateBlock) {
    Pointer<StoredEffect> effect(new StoredEffect);
    effect->diffuse = Color(0.5f, 0.5f, 0.5f, 0.5f);
    effect->specularPower = 8;
    effect->depthWrite = 0;
    effect->alphaTest = 1;
    effect->alphaReference = 128;
    effect->blendEnabled = 1;
    effect->destinationBlend = 1;
    effect->fogEnabled = 1;
    effect->fogDensity = 0.5f;
    effect->fogExponent = 2.0f;
    effect->cullEnabled = 0;
    effect->wrap[3] = 0;
    effect->CurrentTechnique();  // chosen and refreshed
    const RenderStateBlock* block = effect->pass->GetStateBlock();
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(effect->pass->IsDirty());
    EXPECT_EQ(block->diffuse.a, 0.5f);
    EXPECT_EQ(block->specularPower, 8.0f);
    EXPECT_EQ(block->depthWriteEnabled, 0);
    EXPECT_EQ(block->alphaTestEnabled, 1);
    EXPECT_EQ(block->alphaReference, 128);
    EXPECT_EQ(block->alphaComparison, RenderStateBlock::kGreaterEqual);
    EXPECT_EQ(block->blendEnabled, 1);
    EXPECT_EQ(block->destinationBlend, 1);
    EXPECT_EQ(block->fogEnabled, 1);
    EXPECT_EQ(block->fogDensity, 0.5f);
    EXPECT_EQ(block->fogMode, RenderStateBlock::kFogExp);  // exactly 2 is not squared
    EXPECT_EQ(block->cullEnabled, 0);
    EXPECT_EQ(block->stages[3].addressU, RenderStateBlock::kClamp);
    EXPECT_EQ(block->stages[3].addressW, RenderStateBlock::kClamp);
    EXPECT_EQ(block->stages[2].addressV, RenderStateBlock::kWrap);
    // Untouched by the effect: the block's own defaults.
    EXPECT_EQ(block->depthComparison, RenderStateBlock::kLessEqual);
    EXPECT_EQ(block->stages[0].minFilter, 5);
    EXPECT_EQ(block->stages[0].alphaOperand[1], 2);

    effect->fogExponent = 2.5f;
    effect->pass->GetResourceLink().dirty = 0;
    effect->RefreshCurrentTechnique();
    EXPECT_EQ(block->fogMode, RenderStateBlock::kFogExp2);
    EXPECT_TRUE(effect->pass->IsDirty());
}

// The current renderer for the effects' capability checks, made through a module as the host
// makes it.
struct CurrentRenderer {
    static inline int vertexLevel = 1;
    static int Create(Renderer** out) {
        auto* renderer = new RecordingRenderer;
        RendererCaps caps;
        caps.vertexLevel = vertexLevel;
        caps.pixelLevel = 1;
        renderer->SetDeviceCaps(caps);
        *out = renderer;
        return 0;
    }
    explicit CurrentRenderer(int level) {
        vertexLevel = level;
        EXPECT_EQ(test::UseTestRenderer("TestRenderer", &Create), 0);
    }
    ~CurrentRenderer() { ModuleManager::DestroyRenderer(); }
};

void SwitchSkinning(Controller* controller, bool onCpu) {
    static_cast<SkinController*>(controller)->onCpu = onCpu;
}

TEST(GeometryEffect, SkinningMovesToTheVertexProgramOnlyWhereTheLevelAllows) {
    GeometryNodeEffect::SetCpuSkinningSwitch(&SwitchSkinning);
    Pointer<Triangles> mesh(new Triangles);
    Pointer<StoredEffect> effect(new StoredEffect);
    mesh->SetEffect(effect.Get());
    effect->CurrentTechnique();
    Pointer<SkinController> first(new SkinController), second(new SkinController);

    effect->SetSkinController(first.Get());
    EXPECT_TRUE(first->onCpu);
    EXPECT_EQ(effect->technique->refreshes, 2);
    auto* model = static_cast<SphereBoundingVolume*>(mesh->GetModelBound());
    EXPECT_EQ(model->GetRadius(), FLT_MAX);
    EXPECT_FALSE(mesh->GetUpdateWorldBound());

    {
        CurrentRenderer renderer(1);
        effect->Update(0.25);
        EXPECT_FALSE(first->onCpu);
        EXPECT_EQ(effect->GetSkinController(), first.Get());
        EXPECT_EQ(effect->swayTime, 0.25f);
        // Replacing gives the old one back to the CPU.
        effect->SetSkinController(second.Get());
        EXPECT_TRUE(first->onCpu);
        EXPECT_EQ(first->GetReferenceCount(), 1);
    }
    {
        CurrentRenderer renderer(0);
        effect->Update(0.5);
        EXPECT_EQ(effect->GetSkinController(), nullptr);
        EXPECT_TRUE(second->onCpu);
        EXPECT_EQ(effect->swayTime, 0.75f);
    }
    // The link survives a file and is set through the setter.
    effect->SetSkinController(second.Get());
    Pointer<Object> object = Loaded(Saved(effect.Get()));
    auto* read = DynamicCast<StoredEffect>(object.Get());
    ASSERT_NE(read, nullptr);
    ASSERT_NE(read->GetSkinController(), nullptr);
    EXPECT_TRUE(read->GetSkinController()->IsExactly(SkinController::TYPE));
    GeometryNodeEffect::SetCpuSkinningSwitch(nullptr);
}

TEST(Resources, DestroyedOrChangedResourcesReleaseTheirDeviceCopies) {
    Pointer<RecordingRenderer> renderer(new RecordingRenderer);
    {
        Pointer<Texture> texture(new Texture);
        texture->SetName("t");
        Pointer<VertexShader> shader(new VertexShader);
        shader->SetName("s");
        Pointer<PlainPass> pass(new PlainPass);
        pass->SetName("p");
        pass->GetStateBlock()->SetName("b");
        // Never drawn: nothing to release.
        texture->SetImage(Pointer<Image>(new Image("a", 2, 2, 0)).Get());
        EXPECT_EQ(renderer->calls, "");
        texture->GetResourceLink().renderer = renderer.Get();
        shader->GetResourceLink().renderer = renderer.Get();
        pass->GetResourceLink().renderer = renderer.Get();
        pass->GetStateBlock()->GetResourceLink().renderer = renderer.Get();

        texture->SetMipmapLevels(9);
        texture->GetResourceLink().dirty = 0;
        texture->SetImage(texture->GetImage());  // the same image: nothing happens
        EXPECT_EQ(renderer->calls, "");
        texture->SetImage(Pointer<Image>(new Image("b", 4, 4, 1)).Get());
        EXPECT_EQ(texture->GetMipmapLevels(), 0);
        EXPECT_TRUE(texture->IsDirty());

        static const char kText[] = "vs_2_0";
        shader->SetProgramText(kText);
        shader->SetProgramText(kText);
        EXPECT_EQ(shader->GetProgramLength(), 6);
        EXPECT_EQ(renderer->calls, "releaseTexture:t releaseShader:s ");
        renderer->calls.clear();
    }
    EXPECT_EQ(renderer->calls, "releasePass:p releaseResource:b releaseShader:s releaseTexture:t ");
    EXPECT_EQ(renderer->GetReferenceCount(), 1);
}

TEST(Resources, ShadersPickTheirTextByLanguageAndLevel) {
    static const char kAsm1[] = "vs_2_0 asm";
    static const char kGlsl0[] = "glsl low";
    static const char kGlsl1[] = "glsl high";
    Pointer<VertexShader> shader(new VertexShader);
    shader->SetLevelText(RendererCaps::kLanguageAssembly, 1, kAsm1);
    shader->SetLevelText(RendererCaps::kLanguageGlsl, 0, kGlsl0);
    shader->SetLevelText(RendererCaps::kLanguageGlsl, 1, kGlsl1);
    shader->SetLevelText(RendererCaps::kLanguageGlsl, 3, kAsm1);  // no such level: ignored
    shader->SetLevelText(2, 0, kAsm1);                             // no such language
    EXPECT_TRUE(shader->SelectLevel(RendererCaps::kLanguageGlsl, 1));
    EXPECT_STREQ(shader->GetProgramText(), kGlsl1);
    EXPECT_TRUE(shader->SelectLevel(RendererCaps::kLanguageAssembly, 1));
    EXPECT_STREQ(shader->GetProgramText(), kAsm1);
    EXPECT_FALSE(shader->SelectLevel(RendererCaps::kLanguageAssembly, 0));
    EXPECT_EQ(shader->GetProgramText(), nullptr);
    EXPECT_FALSE(shader->SelectLevel(RendererCaps::kLanguageGlsl, RendererCaps::kLevelNone));
    EXPECT_EQ(shader->GetProgramLength(), 0);
}

TEST(Resources, TexturesStoreTheirImageAndAlwaysAskForAFullChain) {
    LogRecorder log;
    Pointer<Texture> texture(new Texture);
    texture->SetName("snow");
    Pointer<Image> image(new Image("snow.bmp", 2, 2, 1));
    texture->SetImage(image.Get());
    texture->SetMipmapLevels(3);
    Pointer<Object> object = Loaded(Saved(texture.Get()));
    auto* read = DynamicCast<Texture>(object.Get());
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->GetMipmapLevels(), 0);
    ASSERT_NE(read->GetImage(), nullptr);
    EXPECT_EQ(read->GetImage()->GetWidth(), 2);
    EXPECT_EQ(read->GetImage()->GetFormat(), 1);
    EXPECT_TRUE(log.Contains(kLogInfo, "Текстура [snow] загружена."));

    // A cube texture keeps any image; a volume texture only a volume image.
    Pointer<CubeTexture> cube(new CubeTexture);
    cube->SetImage(image.Get());
    Pointer<Object> readCube = Loaded(Saved(cube.Get()));
    ASSERT_NE(DynamicCast<CubeTexture>(readCube.Get()), nullptr);
    EXPECT_NE(static_cast<CubeTexture*>(readCube.Get())->GetImage(), nullptr);

    Pointer<VolumeTexture> volume(new VolumeTexture);
    volume->SetImage(Pointer<VolumeImage>(new VolumeImage("v", 2, 2, 2, 2)).Get());
    Bytes bytes = Saved(volume.Get());
    EXPECT_NE(Loaded(bytes), nullptr);
    Bytes forged = Saved(texture.Get());
    const std::string from = "Nuv.Texture";
    const std::string to = "Nuv.VolumeTexture";
    auto at = std::search(forged.begin(), forged.end(), from.begin(), from.end());
    ASSERT_NE(at, forged.end());
    // The class name's length comes just before it.
    const int32_t length = int32_t(to.size());
    std::memcpy(&*(at - 4), &length, 4);
    at = forged.erase(at, at + long(from.size()));
    forged.insert(at, to.begin(), to.end());
    int status = 0;
    EXPECT_EQ(Loaded(forged, &status), nullptr);
    EXPECT_NE(status, 0);
    EXPECT_TRUE(log.ContainsText("Невозможно загрузить изображение текстуры. ID["));

    // A cut level count.
    Bytes cut = Saved(texture.Get());
    const size_t imageLink = cut.size() - Saved(image.Get()).size();
    cut.resize(imageLink - 2);
    EXPECT_EQ(Loaded(cut), nullptr);
    EXPECT_TRUE(log.ContainsText("Невозможно загрузить количество мип-мэпов текстуры. ID["));

    volume->GetResourceLink().dirty = 0;
    volume->MarkDirty();
    EXPECT_TRUE(volume->IsDirty());
}

} // namespace
} // namespace nuv
