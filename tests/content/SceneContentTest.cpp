// What the generated winter scene holds beyond the host's names: every persistent class, the
// mirror of the pond, the skinned figures and their animations, the camera shots and the
// sounds, checked on the scene loaded from the embedded media archive as the host loads it.
#include "../core/TestSupport.h"

#include "animation/AnimationController.h"
#include "animation/CameraCulledController.h"
#include "animation/NodeAnimation.h"
#include "animation/ScreensaverController.h"
#include "animation/ScreensaverSet.h"
#include "animation/SkeletonAnimationController.h"
#include "animation/SkinController.h"
#include "animation/TargetCameraController.h"
#include "core/Array.h"
#include "core/Vector3Buffer.h"
#include "core/Vector4Buffer.h"
#include "media/CodecManager.h"
#include "media/File.h"
#include "media/FileManager.h"
#include "media/Folder.h"
#include "media/ModuleManager.h"
#include "media/image/Image.h"
#include "render/RenderScreenspaceReflectTextureController.h"
#include "render/SnowIceEffect.h"
#include "render/Texture.h"
#include "scene/Camera.h"
#include "scene/SceneNode.h"
#include "scene/Triangles.h"
#include "sound/SoundNode.h"
#include "sound/SoundNode2.h"
#include "sound/SoundNodeAnimation.h"
#include "sound/SoundNodeAnimationController.h"
#if NUV_CONTENT_HAS_MUSIC
#include <vorbis/vorbisfile.h>
#endif

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace nuv {
namespace {

class GeneratedScene : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* codec : {"BMPImageCodec", "TGAImageCodec", "STRSceneCodec", "RAR2FileCodec"}) {
            ASSERT_EQ(ModuleManager::LoadModule(codec, nullptr), 0) << codec;
            ASSERT_EQ(CodecManager::GetCodec(codec, nullptr), 0) << codec;
        }
        ASSERT_EQ(FileManager::AttachResourceArchive(227, "Media.rar2", ""), 0);
    }
    static void TearDownTestSuite() { delete FileManager::GetRoot()->ResolveFolder("Media.rar2"); }

    void SetUp() override {
        File* file = FileManager::FindFile("Main.STR");
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(CodecManager::LoadSceneFile(file, loaded_), 0);
        root_ = DynamicCast<SceneNode>(loaded_.Get());
        ASSERT_NE(root_, nullptr);
    }

    template <class T>
    T* Named(const char* name) {
        auto* found = DynamicCast<T>(root_->FindByName(String(name)));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    template <class T>
    T* ControllerOf(Object& object) {
        for (int i = 0; i < object.GetControllerCount(); ++i)
            if (auto* c = DynamicCast<T>(object.GetController(i))) return c;
        return nullptr;
    }

    Pointer<Object> loaded_;
    SceneNode* root_ = nullptr;
};

TEST_F(GeneratedScene, FileHoldsEveryConcreteClassItCanCarry) {
    // Not here, and why: no stored link can name a cube map (effects bind plain textures
    // only); programs and render states belong to the effects' passes, which are made at run
    // time and never stored; bounds are made by the nodes themselves.
    const std::set<std::string> expected = {
        "BoolAnimation", "Camera", "CustomGlowPostRenderEffect", "PostRenderEffect", "RenderShadowmapEffectController",
        "ShadowmapEffect", "CameraCulledController", "ColorBuffer", "ColorEffect", "FPCamera", "Flare",
        "FloatBuffer", "FresnelTextureController", "Garland", "Image", "IntBuffer", "Light", "LightmapTextureEffect",
        "Lines", "Node", "NodeAnimation", "NodeAnimationController", "NodeParticleSystem", "NoiseTextureController",
        "NormalmapTextureController", "NormalmapTextureEffect", "PointEmitter", "Points", "PostUpdateController",
        "ReflectiveQuietFlatWaterEffect", "RenderScreenspaceReflectTextureController", "SceneNode",
        "ScreensaverController", "SkeletonAnimationController", "SkinController", "SnowEffect", "SnowIceEffect",
        "SoundNode", "SoundNode2", "SoundNodeAnimation", "SoundNodeAnimationController", "SphereVolumeEmitter",
        "SpriteEffect", "SpriteParticleSystem", "StripLines", "TargetCameraController", "TargetLightController",
        "Texture", "TextureEffect", "TextureLightingEffect", "TexturePixelLightingEffect", "Triangles",
        "TrianglesEmitter", "Vector2Buffer", "Vector3Buffer", "Vector4Buffer", "VolumeImage", "VolumeTexture",
        "WindowPlane"};
    // The object stream writes each object's class name as a counted string.
    File* file = FileManager::FindFile("Main.STR");
    ASSERT_EQ(file->Open(File::kRead), 0);
    std::string bytes(size_t(file->GetSize()), '\0');
    ASSERT_EQ(file->Read(bytes.data(), int(bytes.size())), 0);
    file->Close();
    std::set<std::string> present;
    for (const std::string& name : expected) {
        const std::string full = "Nuv." + name;
        std::string counted(4, '\0');
        for (int i = 0; i < 4; ++i) counted[size_t(i)] = char((full.size() >> (8 * i)) & 0xFF);
        if (bytes.find(counted + full) != std::string::npos) present.insert(name);
    }
    for (const std::string& name : expected) EXPECT_TRUE(present.count(name)) << name << " is missing";
}

// Its links hold no loop, so loading drops none of them (and the scene is freed when let go).
TEST_F(GeneratedScene, LoadsWithNoLinkDropped) {
    test::LogRecorder log;
    Pointer<Object> again;
    ASSERT_EQ(CodecManager::LoadSceneFile(FileManager::FindFile("Main.STR"), again), 0);
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(log.ContainsText("Ссылка замыкает цикл ссылок и удалена.")) << "a link of the scene was dropped";
    EXPECT_EQ(again->GetReferenceCount(), 1);
}

TEST_F(GeneratedScene, ThePondMirrorsTheVillageButNotTheGround) {
    auto* pond = Named<Triangles>("Frozen Pond");
    ASSERT_NE(pond, nullptr);
    auto* ice = DynamicCast<SnowIceEffect>(pond->GetEffect());
    ASSERT_NE(ice, nullptr);
    ASSERT_NE(ice->GetNormalmap(), nullptr);
    ASSERT_NE(ice->GetReflectionMap(), nullptr);
    auto* mirror = ControllerOf<RenderScreenspaceReflectTextureController>(*ice->GetReflectionMap());
    ASSERT_NE(mirror, nullptr);
    ASSERT_NE(mirror->GetReferenceNode(), nullptr);
    root_->UpdateTree(0.0, true);
    EXPECT_NEAR(mirror->GetReferenceNode()->GetWorldTransform().GetTranslation().y,
                pond->GetVertices() ? static_cast<Vector3Buffer*>(pond->GetVertices())->GetElements()[0].y : 1e9f, 1e-4f);
    std::set<std::string> mirrored;
    for (int i = 0; i < mirror->GetNodeCount(); ++i) mirrored.insert(mirror->GetNode(i)->GetName().GetText());
    for (const char* name : {"House 1", "House 5", "Village Fir", "Street Lamps", "Skater", "Heavens"})
        EXPECT_TRUE(mirrored.count(name)) << name;
    for (const char* name : {"Snowfield", "Village Ground", "Frozen Pond", "Sprite Particle System 7185254"})
        EXPECT_FALSE(mirrored.count(name)) << name;
    // The ice texture says where it mirrors: its alpha is neither all clear nor all opaque.
    Texture* base = ice->GetTexture();
    ASSERT_TRUE(base && base->GetImage() && base->GetImage()->HasPixels());
    ASSERT_EQ(base->GetImage()->GetFormat(), Image::kRgba);
    const Image& picture = *base->GetImage();
    int least = 255, most = 0;
    for (int i = 0; i < picture.GetWidth() * picture.GetHeight(); ++i) {
        least = std::min(least, int(picture.GetPixels()[i * 4 + 3]));
        most = std::max(most, int(picture.GetPixels()[i * 4 + 3]));
    }
    EXPECT_LT(least, 100);
    EXPECT_GT(most, 150);
}

struct FigureExpectation {
    const char* figure;
    const char* skin;
    int bones;
    const char* movingBone;  // a bone whose pose the animation changes
};

TEST_F(GeneratedScene, FiguresAreSkinnedOverAnimatedSkeletons) {
    for (const FigureExpectation& e : {FigureExpectation{"Skater", "Skater Skin", 7, "Skater Left Leg"},
                                       FigureExpectation{"Snowman", "Snowman Skin", 4, "Snowman Right Arm"}}) {
        SCOPED_TRACE(e.figure);
        auto* figure = Named<SceneNode>(e.figure);
        auto* skin = Named<Triangles>(e.skin);
        ASSERT_TRUE(figure && skin);
        auto* skinning = ControllerOf<SkinController>(*skin);
        ASSERT_NE(skinning, nullptr);
        ASSERT_EQ(skinning->GetBoneCount(), e.bones);
        const int vertices = skin->GetVertices()->GetCount();
        ASSERT_GT(vertices, 100);
        ASSERT_EQ(skinning->GetBindVertices()->GetCount(), vertices);
        ASSERT_EQ(skinning->GetWeights()->GetCount(), vertices);
        ASSERT_EQ(skinning->GetBoneIndices()->GetCount(), vertices);
        EXPECT_NE(skinning->GetBindVertices(), skin->GetVertices()) << "the skinning writes over its own bind pose";
        for (int v = 0; v < vertices; ++v) {
            const Vector4 w = skinning->GetWeights()->GetElements()[v], b = skinning->GetBoneIndices()->GetElements()[v];
            ASSERT_NEAR(w.x + w.y + w.z + w.w, 1.0f, 1e-5f) << v;
            for (float index : {b.x, b.y, b.z, b.w}) ASSERT_TRUE(index >= 0.0f && int(index) < e.bones) << v;
        }
        // The skin's effect skins in its vertex program where the device has one.
        ASSERT_NE(skin->GetEffect(), nullptr);
        EXPECT_EQ(skin->GetEffect()->GetSkinController(), skinning);

        auto* skeleton = ControllerOf<SkeletonAnimationController>(*figure);
        ASSERT_NE(skeleton, nullptr);
        EXPECT_TRUE(skeleton->IsActive());
        ASSERT_EQ(skeleton->GetBoneControllerCount(), e.bones);
        EXPECT_GT(skeleton->GetPeriod(), 0.5);
        for (int i = 0; i < e.bones; ++i) {
            AnimationController* bone = skeleton->GetBoneController(i);
            EXPECT_FALSE(bone->IsActive()) << "bone controllers run from the skeleton only";
            ASSERT_EQ(bone->GetAnimationCount(), 1);
            EXPECT_GE(bone->GetAnimation(0)->GetKeyCount(), 4);
            EXPECT_EQ(bone->GetPeriod(), skeleton->GetPeriod());
            EXPECT_EQ(bone->GetOwner(), skinning->GetBone(i)) << i;
        }

        // Played: the moving bone turns, and the skinned vertices leave the bind pose.
        auto* moving = Named<Node>(e.movingBone);
        ASSERT_NE(moving, nullptr);
        root_->UpdateTree(0.0, true);
        const Quaternion before = moving->GetLocalTransform().GetRotation();
        std::vector<Vector3> first(skin->GetVertices()->GetCount());
        const auto* positions = static_cast<Vector3Buffer*>(skin->GetVertices());
        std::copy(positions->GetElements(), positions->GetElements() + vertices, first.begin());
        for (int step = 0; step < 12; ++step) root_->UpdateTree(0.05, true);
        const Quaternion after = moving->GetLocalTransform().GetRotation();
        EXPECT_GT(std::fabs(before.x - after.x) + std::fabs(before.y - after.y) + std::fabs(before.z - after.z), 0.05f);
        float largest = 0.0f;
        for (int v = 0; v < vertices; ++v) {
            const Vector3 d = positions->GetElements()[v] - first[size_t(v)];
            largest = std::max(largest, std::sqrt(Dot(d, d)));
        }
        EXPECT_GT(largest, 0.1f);
    }
    // The skater goes round the pond: a quarter of a lap later it is far from where it was.
    auto* skater = Named<Node>("Skater");
    root_->UpdateTree(0.0, true);
    const Vector3 start = skater->GetWorldTransform().GetTranslation();
    for (int step = 0; step < 80; ++step) root_->UpdateTree(0.1, true);
    const Vector3 moved = skater->GetWorldTransform().GetTranslation() - start;
    EXPECT_GT(std::sqrt(Dot(moved, moved)), 15.0f);
    EXPECT_NEAR(skater->GetWorldTransform().GetTranslation().y, start.y, 1e-3f);
}

TEST_F(GeneratedScene, ShotsMoveOnKeysAndMostAreAimedAtTheirSubjects) {
    Array<Object*> directors(1, 1);
    root_->CollectByType(ScreensaverController::TYPE, directors);
    ASSERT_EQ(directors.GetCount(), 1);
    auto* director = static_cast<ScreensaverController*>(directors[0]);
    ASSERT_GE(director->GetSetCount(), 6);
    root_->UpdateTree(0.0, true);
    int aimed = 0, culled = 0, firstPerson = 0;
    for (int i = 0; i < director->GetSetCount(); ++i) {
        const ScreensaverSet* set = director->GetSet(i);
        ASSERT_NE(set->camera, nullptr);
        SCOPED_TRACE(set->camera->GetName().GetText());
        ASSERT_NE(set->cameraAnimation, nullptr);
        // A shot lasts long enough to be seen; a target's own animation never cuts it short.
        EXPECT_GE(set->duration, 10.0);
        EXPECT_GE(set->cameraAnimation->GetPeriod(), 10.0);
        if (set->targetAnimation) {
            EXPECT_GE(set->targetAnimation->GetPeriod(), set->cameraAnimation->GetPeriod());
        }
        firstPerson += std::strcmp(set->camera->GetType().GetName().GetText(), "Nuv.FPCamera") == 0;
        if (auto* cull = ControllerOf<CameraCulledController>(*set->camera)) culled += cull->GetNodeCount() > 0;
        if (auto* aim = ControllerOf<TargetCameraController>(*set->camera)) {
            ASSERT_NE(aim->GetTarget(), nullptr);
            ++aimed;
            const Vector3 to = aim->GetTarget()->GetWorldTransform().GetTranslation() - set->camera->GetPosition();
            EXPECT_GT(Dot(set->camera->GetForward(), to) / std::sqrt(Dot(to, to)), 0.99f);
        }
    }
    EXPECT_GE(aimed, director->GetSetCount() / 2 + 1);
    EXPECT_EQ(culled, 1);
    EXPECT_EQ(firstPerson, 1);
}

TEST_F(GeneratedScene, SoundsArePlacedAndSwitched) {
    for (const char* name : {"Camp Fire Crackle", "Skate Scrapes", "Bells"}) {
        auto* sound = Named<SoundNode>(name);
        ASSERT_NE(sound, nullptr);
        EXPECT_TRUE(sound->Is3D()) << name;
        EXPECT_TRUE(sound->IsLoop()) << name;
        EXPECT_LT(sound->GetMinDistance(), 100.0f) << name;
        EXPECT_NE(FileManager::FindFile(sound->GetFileName()), nullptr) << name;
    }
    // The scrapes ride with the skater.
    auto* scrapes = Named<SoundNode>("Skate Scrapes");
    EXPECT_STREQ(scrapes->GetParent()->GetName().GetText(), "Skater");
    auto* wind = Named<SoundNode2>("Wind");
    ASSERT_NE(wind, nullptr);
    // The bells' track switches them off and on again within one cycle.
    auto* bells = Named<SoundNode>("Bells");
    auto* ringer = ControllerOf<SoundNodeAnimationController>(*bells);
    ASSERT_NE(ringer, nullptr);
    auto* peals = DynamicCast<SoundNodeAnimation>(ringer->GetAnimation(0));
    ASSERT_NE(peals, nullptr);
    int on = 0, off = 0;
    for (int k = 0; k < peals->GetKeyCount(); ++k) (peals->IsOn(k, false) ? on : off) += 1;
    EXPECT_GE(on, 1);
    EXPECT_GE(off, 1);
}

#if NUV_CONTENT_HAS_MUSIC
// Decodes a media file with the Vorbis reader: channels, frames and the RMS level.
struct Decoded {
    int channels = 0;
    long frames = 0;
    double rms = 0.0;
    int peak = 0;
};

Decoded DecodeMedia(const char* path) {
    Decoded d;
    File* file = FileManager::FindFile(path);
    if (!file || file->Open(File::kRead) != 0) return d;
    std::vector<unsigned char> bytes(size_t(file->GetSize()));
    const bool read = file->Read(bytes.data(), int(bytes.size())) == 0;
    file->Close();
    if (!read) return d;
    struct Source {
        const std::vector<unsigned char>* bytes;
        size_t at = 0;
    } source{&bytes};
    ov_callbacks calls{};
    calls.read_func = [](void* out, size_t size, size_t count, void* user) -> size_t {
        auto* s = static_cast<Source*>(user);
        const size_t n = std::min(size * count, s->bytes->size() - s->at);
        std::memcpy(out, s->bytes->data() + s->at, n);
        s->at += n;
        return size ? n / size : 0;
    };
    OggVorbis_File vf;
    if (ov_open_callbacks(&source, &vf, nullptr, 0, calls) != 0) return d;
    d.channels = ov_info(&vf, -1)->channels;
    double energy = 0.0;
    long samples = 0;
    char buffer[8192];
    int section = 0;
    for (long got; (got = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &section)) > 0;)
        for (long i = 0; i + 1 < got; i += 2) {
            const int16_t sample = int16_t(uint8_t(buffer[i]) | (uint8_t(buffer[i + 1]) << 8));
            energy += double(sample) * sample;
            d.peak = std::max(d.peak, std::abs(int(sample)));
            ++samples;
        }
    d.frames = d.channels ? samples / d.channels : 0;
    d.rms = samples ? std::sqrt(energy / double(samples)) : 0.0;
    ov_clear(&vf);
    return d;
}

TEST_F(GeneratedScene, EffectSoundsAreMonoAudibleAndUnclipped) {
    std::set<std::string> files;
    for (const char* name : {"Camp Fire Crackle", "Skate Scrapes", "Bells"})
        if (auto* sound = Named<SoundNode>(name)) files.insert(sound->GetFileName().GetText());
    for (const char* gust : {"Sounds/gust1.ogg", "Sounds/gust2.ogg"}) files.insert(gust);
    ASSERT_EQ(files.size(), 5u);
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const Decoded d = DecodeMedia(file.c_str());
        EXPECT_EQ(d.channels, 1);  // positioned sounds must be mono
        EXPECT_GT(d.frames, 22050);
        EXPECT_GT(d.rms, 1000.0);
        EXPECT_LT(d.peak, 32767);
    }
}
#endif

} // namespace
} // namespace nuv
