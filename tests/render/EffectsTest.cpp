// The geometry effects family: which technique each member draws with under lowered
// capabilities, what the passes bind, the members' file layout and damaged files; the
// procedural texture controllers.
#include "../core/TestSupport.h"
#include "RecordingRenderer.h"
#include "core/ColorBuffer.h"
#include "core/Stream.h"
#include "core/Vector3Buffer.h"
#include "media/ModuleManager.h"
#include "media/image/Image.h"
#include "media/image/VolumeImage.h"
#include "render/BasicEffectPass.h"
#include "render/ColorEffect.h"
#include "render/FresnelTextureController.h"
#include "render/LightmapTextureEffect.h"
#include "render/NoiseTextureController.h"
#include "render/NormalmapTextureController.h"
#include "render/NormalmapTextureEffect.h"
#include "render/PixelShader.h"
#include "render/ReflectiveQuietFlatWaterEffect.h"
#include "render/RenderScreenspaceReflectTextureController.h"
#include "render/RenderStateBlock.h"
#include "render/SnowEffect.h"
#include "render/SnowIceEffect.h"
#include "render/Technique.h"
#include "render/TextureLightingEffect.h"
#include "render/TexturePixelLightingEffect.h"
#include "render/VertexShader.h"
#include "scene/Camera.h"
#include "scene/Light.h"
#include "scene/SphereBoundingVolume.h"
#include "scene/Triangles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace nuv {
namespace {

using Bytes = std::vector<uint8_t>;
using test::Loaded;
using test::LogRecorder;
using test::RecordingRenderer;
using test::Saved;

// A recording renderer made current through a module, with the capabilities a test asks for.
struct Device {
    static inline RendererCaps caps;
    static int Create(Renderer** out) {
        auto* renderer = new RecordingRenderer;
        renderer->SetDeviceCaps(caps);
        *out = renderer;
        return 0;
    }
    Device(int vertexLevel, int pixelLevel, int textureUnits, bool volumes = true) {
        caps = RendererCaps();
        caps.shadingLanguage = RendererCaps::kLanguageGlsl;
        caps.vertexLevel = vertexLevel;
        caps.pixelLevel = pixelLevel;
        caps.textureUnits = textureUnits;
        caps.volumeTextures = volumes ? 1 : 0;
        EXPECT_EQ(test::UseTestRenderer("EffectsRenderer", &Create), 0);
    }
    ~Device() { ModuleManager::DestroyRenderer(); }
    RecordingRenderer& Get() { return *static_cast<RecordingRenderer*>(ModuleManager::GetRenderer()); }
};

constexpr int kNone = RendererCaps::kLevelNone;

int IndexOfCurrent(Effect& effect) {
    Technique* current = effect.CurrentTechnique();
    for (int i = 0; i < effect.GetTechniqueCount(); ++i)
        if (effect.GetTechnique(i) == current) return i;
    return -1;
}

template <class T>
int ChosenOn(int vertexLevel, int pixelLevel, int units, bool volumes = true, int lights = 0) {
    Device device(vertexLevel, pixelLevel, units, volumes);
    Pointer<T> effect(new T);
    if constexpr (std::is_base_of_v<TextureLightingEffect, T>)
        for (int i = 0; i < lights; ++i) effect->AddLight(new Light);
    return IndexOfCurrent(*effect);
}

TEST(GeometryEffects, EachMemberTriesItsOwnTechniquesBeforeItsBasesAndProgramsBeforeFixedFunction) {
    // Arrays: [own program, own fixed, base program, base fixed, ...].
    EXPECT_EQ(ChosenOn<ColorEffect>(1, 1, 8), 0);
    EXPECT_EQ(ChosenOn<ColorEffect>(kNone, 1, 8), 1);
    EXPECT_EQ(ChosenOn<TextureEffect>(0, 0, 8), 0);
    // Level none draws a texture fixed-function.
    EXPECT_EQ(ChosenOn<TextureEffect>(kNone, kNone, 8), 1);
    EXPECT_EQ(ChosenOn<TextureEffect>(1, kNone, 8), 1);
    EXPECT_EQ(ChosenOn<LightmapTextureEffect>(1, 1, 2), 0);
    // One texture unit: the light map's program cannot run, its fixed pass can.
    EXPECT_EQ(ChosenOn<LightmapTextureEffect>(1, 1, 1), 1);
    EXPECT_EQ(ChosenOn<NormalmapTextureEffect>(1, 1, 8), 0);

    // Water: [water, texture program, colour program]; snow likewise.
    EXPECT_EQ(ChosenOn<ReflectiveQuietFlatWaterEffect>(1, 1, 8), 0);
    EXPECT_EQ(ChosenOn<ReflectiveQuietFlatWaterEffect>(1, 0, 8), 1);
    EXPECT_EQ(ChosenOn<ReflectiveQuietFlatWaterEffect>(kNone, kNone, 8), -1);
    EXPECT_EQ(ChosenOn<SnowEffect>(1, 1, 3), 0);
    EXPECT_EQ(ChosenOn<SnowEffect>(1, 1, 2), 1);
    EXPECT_EQ(ChosenOn<SnowEffect>(1, 1, 8, false), 1);
    EXPECT_EQ(ChosenOn<SnowEffect>(0, 0, 8), 1);
    EXPECT_EQ(ChosenOn<SnowEffect>(kNone, kNone, 8), -1);
    // Ice: [ice, water, texture program, colour program].
    EXPECT_EQ(ChosenOn<SnowIceEffect>(1, 2, 8), 0);
    EXPECT_EQ(ChosenOn<SnowIceEffect>(kNone, kNone, 8), -1);

    // Fixed-function lighting needs a light and two units: [lighting, texture program, ...].
    EXPECT_EQ(ChosenOn<TextureLightingEffect>(kNone, kNone, 2, true, 1), 0);
    EXPECT_EQ(ChosenOn<TextureLightingEffect>(kNone, kNone, 1, true, 1), 2);
    EXPECT_EQ(ChosenOn<TextureLightingEffect>(1, 1, 8, true, 0), 1);
    EXPECT_EQ(ChosenOn<TexturePixelLightingEffect>(1, 1, 8, true, 2), 0);
    EXPECT_EQ(ChosenOn<TexturePixelLightingEffect>(0, 0, 8, true, 2), 1);
}

TEST(GeometryEffects, ProgramPassesPickTheirTextsAndFixedPassesWriteTheColour) {
    Device device(1, 1, 8);
    Pointer<Triangles> mesh(new Triangles);
    Pointer<Vector3Buffer> vertices(new Vector3Buffer(3));
    mesh->SetVertices(vertices.Get());
    Pointer<TextureEffect> effect(new TextureEffect);
    effect->SetColor(Color(0.25f, 0.5f, 0.75f, 1.0f));
    mesh->SetEffect(effect.Get());
    auto* pass = static_cast<BasicEffectPass*>(effect->CurrentTechnique()->GetPass(0));
    const char* plain = pass->GetVertexShader()->GetProgramText();
    ASSERT_NE(plain, nullptr);
    EXPECT_NE(std::strstr(plain, "uniform vec4 vc[256]"), nullptr);
    EXPECT_EQ(std::strstr(plain, "PolySin"), nullptr);
    effect->swayEnabled = 1;
    effect->RefreshCurrentTechnique();
    EXPECT_NE(std::strstr(pass->GetVertexShader()->GetProgramText(), "PolySin"), nullptr);
    EXPECT_NE(std::strstr(pass->GetPixelShader()->GetProgramText(), "texture2D(s0"), nullptr);

    ASSERT_EQ(device.Get().BeginFrame(), 0);
    device.Get().calls.clear();
    mesh->Draw(device.Get());
    EXPECT_NE(device.Get().calls.find("vs"), std::string::npos);
    EXPECT_EQ(mesh->GetColors(), nullptr) << "program passes leave the colours alone";

    // The fixed pass of the same member gives the geometry colours of the effect's colour.
    auto* fixed = effect->GetTechnique(1)->GetPass(0);
    device.Get().BeginPass(fixed);
    EXPECT_EQ(fixed->Apply(), 0);
    ASSERT_NE(mesh->GetColors(), nullptr);
    ASSERT_EQ(mesh->GetColors()->GetCount(), 3);
    EXPECT_EQ(mesh->GetColors()->GetElements()[2].b, 0.75f);
}

TEST(GeometryEffects, StageChangesOfTheMembers) {
    Device device(1, 1, 8);
    Pointer<LightmapTextureEffect> lightmap(new LightmapTextureEffect);
    lightmap->GetTechnique(1)->Refresh();
    EXPECT_EQ(lightmap->GetTechnique(1)->GetPass(0)->GetStateBlock()->stages[1].function, 2);
    Pointer<ReflectiveQuietFlatWaterEffect> water(new ReflectiveQuietFlatWaterEffect);
    const RenderStateBlock* block = water->CurrentTechnique()->GetPass(0)->GetStateBlock();
    EXPECT_EQ(block->stages[1].addressU, RenderStateBlock::kClamp);
    EXPECT_EQ(block->stages[0].addressU, RenderStateBlock::kWrap);
    Pointer<SnowIceEffect> ice(new SnowIceEffect);
    EXPECT_EQ(ice->CurrentTechnique()->GetPass(0)->GetStateBlock()->stages[2].addressV, RenderStateBlock::kClamp);
    Pointer<SnowEffect> snow(new SnowEffect);
    const RenderStateBlock* snowBlock = snow->CurrentTechnique()->GetPass(0)->GetStateBlock();
    EXPECT_EQ(snowBlock->stages[1].magFilter, 0);
    EXPECT_EQ(snowBlock->stages[1].minFilter, 0);

    // One pass per light; the later ones add to the first without writing depth.
    Pointer<TexturePixelLightingEffect> lit(new TexturePixelLightingEffect);
    lit->AddLight(new Light);
    lit->AddLight(new Light);
    lit->AddLight(new Light);
    ASSERT_EQ(lit->PassCount(), 3);
    EXPECT_EQ(lit->CurrentTechnique()->GetPass(0)->GetStateBlock()->blendEnabled, 0);
    const RenderStateBlock* later = lit->CurrentTechnique()->GetPass(2)->GetStateBlock();
    EXPECT_EQ(later->blendEnabled, 1);
    EXPECT_EQ(later->sourceBlend, RenderStateBlock::kBlendOne);
    EXPECT_EQ(later->destinationBlend, RenderStateBlock::kBlendOne);
    EXPECT_EQ(later->depthWriteEnabled, 0);
}

TEST(GeometryEffects, ConstructorsMakeTheReflectionMapAndTheNoiseVolume) {
    Pointer<ReflectiveQuietFlatWaterEffect> water(new ReflectiveQuietFlatWaterEffect);
    Texture* map = water->GetReflectionMap();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->GetName(), String(("Texture " + std::to_string(map->GetId())).c_str()));
    ASSERT_NE(map->GetImage(), nullptr);
    EXPECT_EQ(map->GetImage()->GetWidth(), 512);
    EXPECT_EQ(map->GetImage()->GetHeight(), 256);
    EXPECT_EQ(map->GetImage()->GetFormat(), Image::kRgba);
    ASSERT_EQ(map->GetControllerCount(), 1);
    EXPECT_NE(DynamicCast<RenderScreenspaceReflectTextureController>(map->GetController(0)), nullptr);
    EXPECT_EQ(water->rippleRadius, 0.2f);
    EXPECT_EQ(water->distortion, 0.3f);

    Pointer<SnowEffect> snow(new SnowEffect);
    VolumeTexture* noise = snow->GetNoiseTexture();
    ASSERT_NE(noise, nullptr);
    EXPECT_EQ(noise->GetName(), String(("Noise Volume Texture " + std::to_string(noise->GetId())).c_str()));
    ASSERT_NE(noise->GetImage(), nullptr);
    EXPECT_EQ(noise->GetImage()->GetDepth(), 32);
    ASSERT_EQ(noise->GetControllerCount(), 1);
    EXPECT_NE(DynamicCast<NoiseTextureController>(noise->GetController(0)), nullptr);
    // Its update fills the noise before the first draw.
    const Bytes before(noise->GetImage()->GetPixels(), noise->GetImage()->GetPixels() + 64);
    snow->Update(0.0);
    EXPECT_NE(Bytes(noise->GetImage()->GetPixels(), noise->GetImage()->GetPixels() + 64), before);

    Pointer<SnowIceEffect> ice(new SnowIceEffect);
    EXPECT_NE(ice->GetNoiseMap(), nullptr);
    EXPECT_NE(ice->GetReflectionMap(), nullptr);
    EXPECT_EQ(ice->noiseParameter, 10.0f);
}

TEST(GeometryEffects, MembersStoreTheirFieldsAndReadThemBack) {
    Pointer<SnowIceEffect> ice(new SnowIceEffect);
    ice->SetColor(Color(0.1f, 0.2f, 0.3f, 0.4f));
    Pointer<Texture> base(new Texture), normals(new Texture);
    ice->SetTexture(base.Get());
    ice->SetTexCoordSet(2);
    ice->SetNormalmap(normals.Get());
    ice->SetNormalmapSet(3);
    ice->normalmapScale = Vector2(4.0f, 5.0f);
    ice->rippleRadius = 0.0f;
    ice->rippleSpeed = 2.5f;
    ice->distortion = 0.7f;
    ice->noiseParameter = 6.0f;
    Pointer<Object> loaded = Loaded(Saved(ice.Get()));
    auto* back = DynamicCast<SnowIceEffect>(loaded.Get());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetColor().b, 0.3f);
    ASSERT_NE(back->GetTexture(), nullptr);
    EXPECT_EQ(back->GetTexCoordSet(), 2);
    ASSERT_NE(back->GetNormalmap(), nullptr);
    EXPECT_NE(back->GetNormalmap(), back->GetTexture());
    EXPECT_EQ(back->GetNormalmapSet(), 3);
    EXPECT_EQ(back->normalmapScale.y, 5.0f);
    EXPECT_EQ(back->rippleRadius, 0.0f);
    EXPECT_EQ(back->rippleSpeed, 2.5f);
    EXPECT_EQ(back->distortion, 0.7f);
    EXPECT_EQ(back->noiseParameter, 6.0f);
    // The stored maps replace the ones the constructor made.
    ASSERT_NE(back->GetReflectionMap(), nullptr);
    EXPECT_EQ(back->GetReflectionMap()->GetName(), ice->GetReflectionMap()->GetName());
    EXPECT_EQ(back->GetNoiseMap()->GetName(), ice->GetNoiseMap()->GetName());

    Pointer<SnowEffect> snow(new SnowEffect);
    snow->glitterScale = 3.0f;
    Pointer<Object> snowLoaded = Loaded(Saved(snow.Get()));
    auto* snowBack = DynamicCast<SnowEffect>(snowLoaded.Get());
    ASSERT_NE(snowBack, nullptr);
    EXPECT_EQ(snowBack->glitterScale, 3.0f);

    Pointer<TexturePixelLightingEffect> lit(new TexturePixelLightingEffect);
    Pointer<Light> lamp(new Light);
    lamp->SetName(String("Lamp"));
    lit->AddLight(lamp.Get());
    lit->AddLight(new Light);
    Pointer<Object> litLoaded = Loaded(Saved(lit.Get()));
    auto* litBack = DynamicCast<TexturePixelLightingEffect>(litLoaded.Get());
    ASSERT_NE(litBack, nullptr);
    ASSERT_EQ(litBack->GetLightCount(), 2);
    EXPECT_EQ(litBack->GetLight(0)->GetName(), String("Lamp"));

    // The colour follows the geometry effect's bytes: the last 16 bytes of a colour effect.
    Pointer<ColorEffect> color(new ColorEffect);
    color->SetColor(Color(1.0f, 0.5f, 0.25f, 0.125f));
    const Bytes bytes = Saved(color.Get());
    float tail[4];
    std::memcpy(tail, bytes.data() + bytes.size() - 16, 16);
    EXPECT_EQ(tail[1], 0.5f);
    EXPECT_EQ(tail[3], 0.125f);
}

TEST(GeometryEffects, DamagedFilesFailWithTheMembersMessages) {
    struct Case {
        Pointer<Object> effect;
        const char* message;
        size_t cut;  // bytes cut off the end
    };
    Pointer<TextureLightingEffect> lit(new TextureLightingEffect);
    lit->AddLight(new Light);
    const Case cases[] = {
        {Pointer<Object>(new ColorEffect), "Невозможно загрузить цвет.", 4},
        {Pointer<Object>(new TextureEffect), "Невозможно загрузить номер набора текстурных координат.", 2},
        {Pointer<Object>(new ReflectiveQuietFlatWaterEffect), "Невозможно загрузить данные эффекта.", 3},
        {Pointer<Object>(new SnowEffect), "Невозможно загрузить текстуру шума.", 0},
        {Pointer<Object>(lit.Get()), "Невозможно загрузить источники света.", 0},
    };
    for (const Case& c : cases) {
        Bytes bytes = Saved(c.effect.Get());
        if (c.cut > 0) {
            bytes.resize(bytes.size() - c.cut);
        } else {
            // Cut inside the last linked object, which the stream writes after its link.
            bytes.resize(bytes.size() / 2 + bytes.size() / 4);
        }
        LogRecorder log;
        int status = 0;
        EXPECT_EQ(Loaded(bytes, &status), nullptr) << c.message;
        EXPECT_NE(status, 0);
        EXPECT_TRUE(log.ContainsText(c.message)) << c.message;
    }

    // A forged light count runs into the end of the file, not into an allocation.
    Pointer<TextureLightingEffect> none(new TextureLightingEffect);
    Bytes bytes = Saved(none.Get());
    const int32_t forged = 0x7FFFFFFF;
    std::memcpy(bytes.data() + bytes.size() - 4, &forged, 4);
    LogRecorder log;
    EXPECT_EQ(Loaded(bytes), nullptr);
    EXPECT_TRUE(log.ContainsText("Невозможно загрузить источник света."));
}

// --- Texture controllers -------------------------------------------------------------------------

Pointer<Texture> TextureWith(int width, int height, int format, uint8_t fill) {
    Pointer<Image> image(new Image(String("picture"), width, height, format));
    std::memset(image->GetPixels(), fill, size_t(image->GetDataSize()));
    Pointer<Texture> texture(new Texture);
    texture->SetImage(image.Get());
    return texture;
}

Bytes PixelsOf(const Texture& texture) {
    const Image* image = texture.GetImage();
    return Bytes(image->GetPixels(), image->GetPixels() + image->GetDataSize());
}

TEST(TextureControllers, NoiseIsNewForEachGenerationAndMadeOnceWithoutRegenerating) {
    EXPECT_NEAR(NoiseTextureController::Noise(0), 1.0 - 1376312589.0 / 1073741824.0, 1e-6);
    for (int n : {1, 57, -3, 1 << 30}) {
        const float v = NoiseTextureController::Noise(n);
        EXPECT_GT(v, -1.0f);
        EXPECT_LE(v, 1.0f);
    }
    Pointer<Texture> texture = TextureWith(16, 16, Image::kRgb, 0);
    Pointer<NoiseTextureController> noise(new NoiseTextureController);
    texture->AddController(noise.Get());
    texture->Update(0.0);
    EXPECT_TRUE(noise->IsDone());
    const Bytes first = PixelsOf(*texture);
    EXPECT_NE(first, Bytes(first.size(), 0));
    texture->Update(0.0);
    EXPECT_EQ(PixelsOf(*texture), first);
    noise->regenerate = true;
    texture->Update(0.0);
    EXPECT_NE(PixelsOf(*texture), first);

    // A black colour gives zero bytes; a negative value wraps into the top half of the byte.
    Pointer<Image> image(new Image(String("grey"), 4, 1, Image::kOneChannel));
    NoiseTextureController::Fill(*image, Color(0, 0, 0, 0), 1, 5);
    EXPECT_EQ(image->GetPixels()[2], 0);
    NoiseTextureController::Fill(*image, Color(1, 1, 1, 1), 1, 0);
    const float value = NoiseTextureController::Noise(3);
    EXPECT_EQ(image->GetPixels()[3], uint8_t(int32_t(value * 255.0f)));

    // Wrong class: only the done flag.
    Pointer<NoiseTextureController> lost(new NoiseTextureController);
    Pointer<Light> light(new Light);
    light->AddController(lost.Get());
    light->Update(0.0);
    EXPECT_TRUE(lost->IsDone());
}

TEST(TextureControllers, NormalMapsFromHeightMaps) {
    Pointer<Texture> flat = TextureWith(4, 3, Image::kOneChannel, 77);
    Pointer<NormalmapTextureController> controller(new NormalmapTextureController);
    controller->bump = 0.0f;
    flat->AddController(controller.Get());
    flat->Update(0.0);
    ASSERT_EQ(flat->GetImage()->GetFormat(), Image::kRgb);
    const Bytes pixels = PixelsOf(*flat);
    ASSERT_EQ(pixels.size(), 4u * 3u * 3u);
    for (size_t i = 0; i < pixels.size(); i += 3) {
        EXPECT_EQ(pixels[i], 128);
        EXPECT_EQ(pixels[i + 1], 128);
        EXPECT_EQ(pixels[i + 2], 255);
    }

    // A step in height tilts the normal against the slope; the edge wraps around.
    Pointer<Image> ramp(new Image(String("ramp"), 2, 1, Image::kOneChannel));
    ramp->GetPixels()[0] = 0;
    ramp->GetPixels()[1] = 255;
    ASSERT_TRUE(NormalmapTextureController::Convert(*ramp, 1.0f, true));
    ASSERT_EQ(ramp->GetFormat(), Image::kRgba);
    const uint8_t* p = ramp->GetPixels();
    // dx = -1 at x = 0 and +1 at x = 1 (wrapping): n.x = -/+ 1/sqrt(2).
    EXPECT_LT(p[0], 128);
    EXPECT_GT(p[4], 128);
    EXPECT_EQ(p[0] + p[4], 128 + 128 - 1);
    EXPECT_EQ(p[3], 0);
    EXPECT_EQ(p[7], 255);

    // Not a height map: untouched, but done.
    Pointer<Texture> colour = TextureWith(2, 2, Image::kRgb, 9);
    Pointer<NormalmapTextureController> other(new NormalmapTextureController);
    colour->AddController(other.Get());
    colour->Update(0.0);
    EXPECT_TRUE(other->IsDone());
    EXPECT_EQ(PixelsOf(*colour), Bytes(12, 9));
}

TEST(TextureControllers, FresnelRampWithEqualIndicesFallsFromFullToAlmostNothing) {
    Pointer<Texture> texture = TextureWith(2, 3, Image::kRgb, 0);
    Pointer<FresnelTextureController> fresnel(new FresnelTextureController);
    fresnel->index1 = fresnel->index2 = 1.5f;
    texture->AddController(fresnel.Get());
    texture->Update(0.0);
    const Bytes pixels = PixelsOf(*texture);
    for (int y = 0; y < 3; ++y)
        for (int b = 0; b < 3; ++b) {
            EXPECT_EQ(pixels[size_t(y * 6 + b)], 255);
            EXPECT_EQ(pixels[size_t(y * 6 + 3 + b)], 255 / 32);
        }
    // Air to water: the first column is always full, the reflectance at normal incidence about 2 %.
    Pointer<Image> wide(new Image(String("wide"), 64, 1, Image::kOneChannel));
    FresnelTextureController::Fill(*wide, 1.000293f, 1.333333f);
    EXPECT_EQ(wide->GetPixels()[0], 255);
    EXPECT_EQ(wide->GetPixels()[63], 5);
}

TEST(TextureControllers, ReflectionMirrorsTheCameraAboutTheReferenceHeight) {
    // The mirror image lies where the camera sees the mirror: a point on the mirror plane stays
    // where it is in the view, a point above it shows where its image below the plane would be,
    // at any camera height (the surface looks the picture up at its own screen position).
    for (float h : {0.0f, 1.5f}) {
        for (float eyeHeight : {2.0f, 4.0f, 34.0f}) {
            Camera camera;
            camera.GetLocalTransform().SetTranslation(Vector3(1.0f, eyeHeight, -2.0f));
            // Tilted down, as a camera over a pond would be.
            camera.GetLocalTransform().SetRotation(Quaternion(0.2588190f, 0.0f, 0.0f, 0.9659258f));
            camera.UpdateTree(0.0, false);
            const Matrix4& view = camera.GetView();
            const Matrix4 mirrored = RenderScreenspaceReflectTextureController::MirroredView(view, h);
            const Vector3 onPlane(3.0f, h, 6.0f);
            const Vector3 seen = mirrored.TransformPoint(onPlane);
            const Vector3 real = view.TransformPoint(onPlane);
            EXPECT_NEAR(seen.x, real.x, 1e-3f);
            EXPECT_NEAR(seen.y, real.y, 1e-3f);
            EXPECT_NEAR(seen.z, real.z, 1e-3f);
            const Vector3 image = view.TransformPoint(Vector3(3.0f, h - 2.0f, 6.0f));
            const Vector3 mirroredAbove = mirrored.TransformPoint(Vector3(3.0f, h + 2.0f, 6.0f));
            EXPECT_NEAR(mirroredAbove.y, image.y, 1e-3f) << "h " << h << ", eye at " << eyeHeight;
            EXPECT_NEAR(mirroredAbove.z, image.z, 1e-3f);
        }
    }

    // A camera within 0.8 of the mirror has its mirrored eye on the kept side of the clip
    // plane: no oblique near plane then, which would clip the whole reflection away; higher up
    // the near plane tilts onto the mirror.
    Camera low, high;
    low.GetLocalTransform().SetTranslation(Vector3(0, 0.5f, 0));
    high.GetLocalTransform().SetTranslation(Vector3(0, 3, 0));
    low.UpdateTree(0.0, false);
    high.UpdateTree(0.0, false);
    const Matrix4& projection = low.GetProjection();
    const Matrix4 near = RenderScreenspaceReflectTextureController::ObliqueProjection(
        RenderScreenspaceReflectTextureController::MirroredView(low.GetView(), 0.0f), projection, 0.0f);
    EXPECT_EQ(std::memcmp(near.Data(), projection.Data(), sizeof(float) * 16), 0);
    const Matrix4 mirror = RenderScreenspaceReflectTextureController::MirroredView(high.GetView(), 0.0f);
    const Matrix4 tilted = RenderScreenspaceReflectTextureController::ObliqueProjection(mirror, projection, 0.0f);
    EXPECT_NE(std::memcmp(tilted.Data(), projection.Data(), sizeof(float) * 16), 0);
    // What lies 0.8 under the surface is on the new near plane (clip depth 0), what is above
    // it in front of the camera stays inside the depth range.
    const Vector4 under = Vector4(0.0f, -0.8f, 5.0f, 1.0f) * (mirror * tilted);
    EXPECT_NEAR(under.z / under.w, 0.0f, 1e-3f);
    const Vector4 above = Vector4(0.0f, 1.0f, 5.0f, 1.0f) * (mirror * tilted);
    EXPECT_GT(above.z / above.w, 0.0f);
    EXPECT_LT(above.z / above.w, 1.0f);

    Pointer<RenderScreenspaceReflectTextureController> controller(new RenderScreenspaceReflectTextureController);
    Pointer<Node> reference(new Node), a(new Node), b(new Node);
    reference->SetName(String("Surface"));
    a->SetName(String("A"));
    controller->SetReferenceNode(reference.Get());
    controller->AddNode(a.Get());
    controller->AddNode(b.Get());
    Pointer<Object> loaded = Loaded(Saved(controller.Get()));
    auto* back = DynamicCast<RenderScreenspaceReflectTextureController>(loaded.Get());
    ASSERT_NE(back, nullptr);
    ASSERT_NE(back->GetReferenceNode(), nullptr);
    EXPECT_EQ(back->GetReferenceNode()->GetName(), String("Surface"));
    ASSERT_EQ(back->GetNodeCount(), 2);
    EXPECT_EQ(back->GetNode(0)->GetName(), String("A"));
}

TEST(TextureControllers, TheReflectionIsDrawnIntoItsTextureWithCullingReversed) {
    Device device(1, 1, 8);
    RecordingRenderer& renderer = device.Get();
    Pointer<ReflectiveQuietFlatWaterEffect> water(new ReflectiveQuietFlatWaterEffect);
    auto* controller = DynamicCast<RenderScreenspaceReflectTextureController>(
        water->GetReflectionMap()->GetController(0));
    ASSERT_NE(controller, nullptr);
    Pointer<Node> node(new Node);
    controller->AddNode(node.Get());
    water->Update(0.016);
    EXPECT_EQ(renderer.GetPreRenderCount(), 1);
    renderer.calls.clear();
    ASSERT_EQ(renderer.BeginFrame(), 0);
    EXPECT_NE(renderer.calls.find("target"), std::string::npos) << renderer.calls;
    EXPECT_FALSE(renderer.GetReverseCull());
    // The camera drew the reflection through the mirrored matrices and has its own back.
    Camera* camera = renderer.GetCamera();
    ASSERT_NE(camera, nullptr);
    const Matrix4 afterFrame = camera->GetViewProjection();
    camera->UpdateMatrices();
    EXPECT_TRUE(afterFrame == camera->GetViewProjection());
    // The texture follows the viewport at half its size.
    EXPECT_EQ(water->GetReflectionMap()->GetImage()->GetWidth(), renderer.GetViewportWidth() / 2);
}

// The mirror draws only what its mirrored eye can see: a node behind that eye or far beside it
// costs nothing, one in view is drawn once.
TEST(TextureControllers, TheReflectionCullsItsListToTheMirroredView) {
    struct Probe : Node {
        int renders = 0;
        void Render(Renderer&) override { ++renders; }
    };
    Device device(1, 1, 8);
    RecordingRenderer& renderer = device.Get();
    Pointer<Camera> eye(new Camera);
    eye->GetLocalTransform().SetTranslation({0, 5, 0});  // above the ice at y = 0, looking along +z
    eye->UpdateTree(0, false);
    renderer.SetCamera(eye.Get());
    Pointer<ReflectiveQuietFlatWaterEffect> water(new ReflectiveQuietFlatWaterEffect);
    auto* controller = DynamicCast<RenderScreenspaceReflectTextureController>(
        water->GetReflectionMap()->GetController(0));
    ASSERT_NE(controller, nullptr);
    struct Case {
        Vector3 centre;
        int renders;
    };
    const Case cases[] = {{{0, 2, 50}, 1}, {{0, 2, -50}, 0}, {{500, 2, 50}, 0}, {{0, 2, 20000}, 0}};
    std::vector<Pointer<Probe>> probes;
    for (const Case& c : cases) {
        Pointer<Probe> probe(new Probe);
        probe->SetUpdateWorldBound(false);
        probe->SetWorldBound(Pointer<SphereBoundingVolume>(new SphereBoundingVolume(c.centre, 1)).Get());
        controller->AddNode(probe.Get());
        probes.push_back(probe);
    }
    water->Update(0.016);
    ASSERT_EQ(renderer.BeginFrame(), 0);
    for (size_t i = 0; i < probes.size(); ++i)
        EXPECT_EQ(probes[i]->renders, cases[i].renders)
            << cases[i].centre.x << " " << cases[i].centre.y << " " << cases[i].centre.z;
    // The camera culls with its own frustum again afterwards.
    eye->SetPlaneMask(Camera::kAllPlanes);
    EXPECT_TRUE(eye->IsCulled(Pointer<SphereBoundingVolume>(new SphereBoundingVolume({0, 2, -50}, 1)).Get()));
    eye->SetPlaneMask(Camera::kAllPlanes);
    EXPECT_FALSE(eye->IsCulled(Pointer<SphereBoundingVolume>(new SphereBoundingVolume({0, 8, 50}, 1)).Get()));
}

} // namespace
} // namespace nuv
