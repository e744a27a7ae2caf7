// The default content as the build made it: the two archives list and extract with our
// reader, the scene loads through the scene codec from the embedded media like the host
// loads it, and the generator gives the same bytes when it runs again.
#include "animation/ScreensaverController.h"
#include "animation/ScreensaverSet.h"
#include "core/Array.h"
#include "media/CodecManager.h"
#include "media/File.h"
#include "media/FileManager.h"
#include "media/Folder.h"
#include "media/ModuleManager.h"
#include "media/image/Image.h"
#include "media/rar/Rar2Archive.h"
#include "render/Texture.h"
#include "scene/Camera.h"
#include "scene/SceneNode.h"
#include "scene/SpriteParticleSystem.h"
#include "sound/SoundNode.h"
#if NUV_CONTENT_HAS_MUSIC
#include <vorbis/vorbisfile.h>
#endif

#include <gtest/gtest.h>

#include <cstdio>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace nuv {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadDisk(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ExtractAllNames(const std::vector<uint8_t>& bytes) {
    Rar2Archive archive(bytes.data(), bytes.size());
    EXPECT_TRUE(archive.IsOpen());
    std::vector<std::string> names;
    for (size_t i = 0; i < archive.GetEntries().size(); ++i) {
        const Rar2Entry& entry = archive.GetEntries()[i];
        names.push_back(entry.name);
        if (entry.IsDirectory()) continue;
        std::vector<uint8_t> data;
        EXPECT_EQ(archive.Extract(i, "", data), Rar2Result::Ok) << entry.name;
        EXPECT_EQ(data.size(), entry.unpackedSize) << entry.name;
        EXPECT_GT(data.size(), 0u) << entry.name;
    }
    return names;
}

TEST(ContentArchives, ListWithTheSceneFirstAndEveryFileTheHostNeeds) {
    const std::vector<std::string> media = ExtractAllNames(ReadDisk(NUV_MEDIA_ARCHIVE));
    ASSERT_FALSE(media.empty());
    EXPECT_EQ(media.front(), "Main.STR");
    const std::set<std::string> mediaNames(media.begin(), media.end());
    for (const char* texture : {"snow", "ice", "bark", "needles", "wood", "roof", "window", "flake", "sky", "icebump",
                                "glow", "bulb", "smoke", "stone", "walllight", "figures", "frost"})
        EXPECT_TRUE(mediaNames.count(std::string("Textures\\") + texture + ".tga")) << texture;

    const std::vector<std::string> custom = ExtractAllNames(ReadDisk(NUV_CUSTOMDATA_ARCHIVE));
    const std::set<std::string> customNames(custom.begin(), custom.end());
    std::vector<std::string> needed = {"4loader_ld.tga", "4loader_rd.tga", "4loader_lu.tga", "4loader_ru.tga",
                                       "digit_a.tga",    "digit_p.tga",    "digit_m.tga",    "digit_dot.tga",
                                       "digit_ddot.tga", "settings.bmp",   "logo.bmp",       "preview.bmp"};
#if NUV_HAVE_JPEG
    needed.push_back("loader.jpg");
#endif
    for (int d = 0; d < 10; ++d) needed.push_back("digit_" + std::to_string(d) + ".tga");
    for (const std::string& name : needed) EXPECT_TRUE(customNames.count(name)) << name;
    EXPECT_EQ(customNames.size(), needed.size());
}

// The archives embedded as the host embeds them and attached under the host's names.
class EmbeddedContent : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* codec : {"BMPImageCodec", "TGAImageCodec", "STRSceneCodec", "RAR2FileCodec"})
        {
            // As the host starts them: the module, then its codec.
            ASSERT_EQ(ModuleManager::LoadModule(codec, nullptr), 0) << codec;
            ASSERT_EQ(CodecManager::GetCodec(codec, nullptr), 0) << codec;
        }
        ASSERT_EQ(FileManager::AttachResourceArchive(227, "Media.rar2", ""), 0);
        ASSERT_EQ(FileManager::AttachResourceArchive(134, "CustomData.rar2", ""), 0);
    }
    static void TearDownTestSuite() {
        for (const char* name : {"Media.rar2", "CustomData.rar2"})
            delete FileManager::GetRoot()->ResolveFolder(name);
    }
};

TEST_F(EmbeddedContent, InterfacePicturesDecodeAtTheirSizes) {
    struct Expected {
        const char* name;
        int width, height, format;
    };
    const Expected pictures[] = {{"digit_0.tga", 32, 64, Image::kRgba}, {"digit_ddot.tga", 32, 64, Image::kRgba},
                                 {"4loader_ru.tga", 128, 128, Image::kRgba}, {"logo.bmp", 128, 128, Image::kRgb},
                                 {"settings.bmp", 400, 120, Image::kRgb}, {"preview.bmp", 152, 112, Image::kRgb}};
    for (const Expected& e : pictures) {
        File* file = FileManager::FindFile(e.name);
        ASSERT_NE(file, nullptr) << e.name;
        Pointer<Image> image(new Image(file, e.name));
        EXPECT_EQ(image->GetWidth(), e.width) << e.name;
        EXPECT_EQ(image->GetHeight(), e.height) << e.name;
        EXPECT_EQ(image->GetFormat(), e.format) << e.name;
    }
    // A character is a white stroke on transparent black: both kinds of pixel occur.
    Pointer<Image> eight(new Image(FileManager::FindFile("digit_8.tga"), "8"));
    ASSERT_TRUE(eight->HasPixels());
    int clear = 0, solid = 0;
    for (int i = 0; i < 32 * 64; ++i) {
        const uint8_t alpha = eight->GetPixels()[i * 4 + 3];
        clear += alpha == 0;
        solid += alpha == 255;
    }
    EXPECT_GT(clear, 32 * 64 / 2);
    EXPECT_GT(solid, 100);
}

TEST_F(EmbeddedContent, SceneLoadsWithTheObjectsTheHostLooksFor) {
    File* file = FileManager::FindFile("Main.STR");
    ASSERT_NE(file, nullptr);
    Pointer<Object> loaded;
    ASSERT_EQ(CodecManager::LoadSceneFile(file, loaded), 0);
    auto* root = DynamicCast<SceneNode>(loaded.Get());
    ASSERT_NE(root, nullptr);

    auto* snow = DynamicCast<SpriteParticleSystem>(root->FindByName("Sprite Particle System 7185254"));
    ASSERT_NE(snow, nullptr);
    ASSERT_NE(root->FindByName("Frozen Pond"), nullptr);
    auto* ground = DynamicCast<Node>(root->FindByName("Snowfield"));
    ASSERT_NE(ground, nullptr);

    // Every texture that names a file got its picture from the media archive (the others are
    // drawn into by the renderer or filled by their controllers).
    Array<Object*> textures(8, 8);
    root->CollectByType(Texture::TYPE, textures);
    int fromFiles = 0;
    for (int i = 0; i < textures.GetCount(); ++i) {
        auto* texture = static_cast<Texture*>(textures[i]);
        ASSERT_NE(texture->GetImage(), nullptr);
        if (texture->GetImage()->GetFileName().IsEmpty()) continue;
        ++fromFiles;
        EXPECT_TRUE(texture->GetImage()->HasPixels()) << texture->GetName().GetText();
    }
    EXPECT_GE(fromFiles, 9);

    Array<Object*> directors(1, 1);
    root->CollectByType(ScreensaverController::TYPE, directors);
    ASSERT_EQ(directors.GetCount(), 1);
    auto* director = static_cast<ScreensaverController*>(directors[0]);
    ASSERT_GE(director->GetSetCount(), 3);

    root->UpdateTree(0.0, true);
    for (int i = 0; i < director->GetSetCount(); ++i) {
        const ScreensaverSet* set = director->GetSet(i);
        ASSERT_NE(set->camera, nullptr);
        EXPECT_NE(set->cameraAnimation, nullptr) << i;
        EXPECT_TRUE(root->HoldsChild(set->camera.Get()) || set->camera->GetParent() != nullptr) << i;
    }

    // A few seconds of the screensaver: a shot is chosen and it snows.
    snow->Reset();
    for (int step = 0; step < 300; ++step) root->UpdateTree(0.02, true);
    EXPECT_GE(director->GetCurrent(), 0);
    EXPECT_GT(snow->GetLiveCount(), 100);
}

// The shipped snow falls: started as the host starts it (30 simulated seconds), the flakes
// then alive are lower on average a few seconds later, and fall at a snowflake's pace.
TEST_F(EmbeddedContent, TheSnowFalls) {
    Pointer<Object> loaded;
    ASSERT_EQ(CodecManager::LoadSceneFile(FileManager::FindFile("Main.STR"), loaded), 0);
    auto* root = DynamicCast<SceneNode>(loaded.Get());
    ASSERT_NE(root, nullptr);
    auto* snow = DynamicCast<SpriteParticleSystem>(root->FindByName("Sprite Particle System 7185254"));
    ASSERT_NE(snow, nullptr);
    EXPECT_LT(snow->acceleration.y, 0.0f) << "the scene file keeps the gravity";
    root->UpdateTree(0.0, true);
    snow->Reset();
    for (float t = 0.0f; t < 30.0f; t += 0.01f) snow->UpdateTree(0.01, true);
    auto meanHeight = [&] {
        double sum = 0;
        int n = 0;
        for (auto* p = snow->GetLiveParticles(); p; p = p->next, ++n) sum += p->position.y;
        return n ? sum / n : 0.0;
    };
    ASSERT_GT(snow->GetLiveCount(), 1000);
    // No new flakes: those that die meanwhile are the oldest and lowest, which only lifts the mean.
    snow->SetEmissionPaused(true);
    const int live = snow->GetLiveCount();
    const double before = meanHeight();
    for (int i = 0; i < 150; ++i) snow->UpdateTree(0.02, true);
    const double after = meanHeight();
    std::printf("%d flakes, mean height %.2f, 3 s later %.2f (%d still alive)\n", live, before, after,
                snow->GetLiveCount());
    EXPECT_LT(after, before - 3.0) << "at least a metre a second";
    EXPECT_GT(after, before - 30.0) << "not a stone's fall";
}

#if NUV_CONTENT_HAS_MUSIC
TEST_F(EmbeddedContent, MusicNodePlaysALoopOfTheWholeTrack) {
    File* file = FileManager::FindFile("Main.STR");
    ASSERT_NE(file, nullptr);
    Pointer<Object> loaded;
    ASSERT_EQ(CodecManager::LoadSceneFile(file, loaded), 0);
    auto* music = DynamicCast<SoundNode>(loaded->FindByName("Music"));
    ASSERT_NE(music, nullptr);
    EXPECT_TRUE(music->IsLoop());
    EXPECT_FALSE(music->Is3D());

    // The track decodes with the Vorbis reader to its full length and is not silence.
    File* ogg = FileManager::FindFile("Sounds/music.ogg");
    ASSERT_NE(ogg, nullptr);
    ASSERT_EQ(ogg->Open(File::kRead), 0);
    std::vector<char> bytes(size_t(ogg->GetSize()));
    ASSERT_EQ(ogg->Read(bytes.data(), int(bytes.size())), 0);
    ogg->Close();
    const fs::path path = fs::temp_directory_path() / ("nuv_content_music_" + std::to_string(::getpid()) + ".ogg");
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    OggVorbis_File vf;
    ASSERT_EQ(ov_fopen(path.string().c_str(), &vf), 0);
    EXPECT_EQ(ov_info(&vf, -1)->channels, 1);
    EXPECT_EQ(ov_pcm_total(&vf, -1), 48 * 22050);
    double energy = 0.0;
    long total = 0;
    char buffer[8192];
    int section = 0;
    for (long got; (got = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &section)) > 0;) {
        for (long i = 0; i + 1 < got; i += 2) {
            const int16_t sample = int16_t(uint8_t(buffer[i]) | (uint8_t(buffer[i + 1]) << 8));
            energy += double(sample) * sample;
            ++total;
        }
    }
    ov_clear(&vf);
    fs::remove(path);
    ASSERT_GT(total, 0);
    EXPECT_GT(std::sqrt(energy / double(total)), 1000.0);
}
#endif

TEST(ContentGenerator, AnotherRunGivesTheSameBytes) {
    const fs::path folder = fs::temp_directory_path() / ("nuv_content_test_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string media = (folder / "Media.rar2").string(), custom = (folder / "CustomData.rar2").string();
    const std::string command = std::string("\"") + NUV_CONTENT_PROGRAM + "\" \"" + media + "\" \"" + custom + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::vector<uint8_t> built = ReadDisk(NUV_MEDIA_ARCHIVE), again = ReadDisk(media);
    EXPECT_FALSE(again.empty());
    EXPECT_TRUE(built == again) << "Media.rar2 differs between runs";
    EXPECT_TRUE(ReadDisk(NUV_CUSTOMDATA_ARCHIVE) == ReadDisk(custom)) << "CustomData.rar2 differs between runs";
    fs::remove_all(folder);
}

} // namespace
} // namespace nuv
