#include "SceneCommand.h"
#include "SceneTestDoubles.h"

#include "core/SceneFile.h"
#include "core/Stream.h"
#include "media/image/BmpImageCodec.h"
#include "media/image/Image.h"
#include "media/rarwriter/Rar2Writer.h"
#include "render/Texture.h"
#include "render/TextureEffect.h"
#include "scene/Triangles.h"
#include "scene/SceneNode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace nuv {
namespace {

namespace fs = std::filesystem;

struct SceneCommandTest : ::testing::Test {
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("nuv_scene_command_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string Write(const char* name, const std::vector<uint8_t>& bytes) {
        const fs::path path = folder / name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path.string();
    }
    int Run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return SceneCommand::Run(args, out, err);
    }

    fs::path folder;
    std::ostringstream out, err;
};

std::vector<uint8_t> SceneBytes(Object* root) {
    Stream stream(0, 1024);
    EXPECT_EQ(SceneFile::Write(stream, root), 0);
    return std::vector<uint8_t>(stream.GetData(), stream.GetData() + stream.GetPosition());
}

// The numbers printed after "ID ", in order, with where each stands.
std::vector<std::pair<size_t, std::string>> IdsIn(const std::string& text) {
    std::vector<std::pair<size_t, std::string>> ids;
    for (size_t at = text.find("ID "); at != std::string::npos; at = text.find("ID ", at + 3)) {
        size_t end = at + 3;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
        if (end > at + 3) ids.emplace_back(at + 3, text.substr(at + 3, end - at - 3));
    }
    return ids;
}

// IDs depend on what the process made before; the layout does not.
std::string WithoutIds(std::string text) {
    const auto ids = IdsIn(text);
    for (auto id = ids.rbegin(); id != ids.rend(); ++id) text.replace(id->first, id->second.size(), "#");
    return text;
}

TEST_F(SceneCommandTest, DumpsTheTreeAndCountsClasses) {
    Pointer<SceneNode> root(new SceneNode());
    root->SetName(String("Root"));
    Pointer<TestMover> mover(new TestMover());
    mover->SetName(String("m"));
    root->AddController(mover.Get());
    Pointer<TestSceneEffect> effect(new TestSceneEffect());
    effect->SetName(String("fx"));
    root->AddEffect(effect.Get());
    Pointer<SceneNode> group(new SceneNode());
    group->SetName(String("Group"));
    Pointer<Node> leaf(new Node());
    leaf->SetName(String("Leaf"));
    root->AttachChild(group.Get());
    group->AttachChild(leaf.Get());
    Pointer<Node> gone(new Node());
    root->AttachChild(gone.Get());
    root->RemoveChild(gone.Get());
    const std::string path = Write("Main.STR", SceneBytes(root.Get()));

    ASSERT_EQ(Run({"dump", path}), SceneCommand::kExitOk) << err.str();
    EXPECT_EQ(WithoutIds(out.str()),
              "Nuv.SceneNode \"Root\" ID #\n"
              "  controller Nuv.TestMover \"m\" ID #\n"
              "  effect Nuv.TestSceneEffect \"fx\" ID #\n"
              "  Nuv.SceneNode \"Group\" ID #\n"
              "    Nuv.Node \"Leaf\" ID #\n"
              "  (empty slot)\n"
              "classes:\n"
              "  Nuv.Node 1\n"
              "  Nuv.SceneNode 2\n"
              "  Nuv.TestMover 1\n"
              "  Nuv.TestSceneEffect 1\n");
    // The IDs printed are those of the loaded objects, one per line, all different.
    std::set<std::string> ids;
    for (const auto& id : IdsIn(out.str())) ids.insert(id.second);
    EXPECT_EQ(ids.size(), 5u);
}

TEST_F(SceneCommandTest, RefusesBadArgumentsAndBadFiles) {
    EXPECT_EQ(Run({}), SceneCommand::kExitUsage);
    EXPECT_EQ(Run({"list", "x.STR"}), SceneCommand::kExitUsage);
    EXPECT_EQ(Run({"dump"}), SceneCommand::kExitUsage);
    EXPECT_EQ(Run({"dump", (folder / "missing.STR").string()}), SceneCommand::kExitUsage);
    EXPECT_EQ(Run({"dump", folder.string()}), SceneCommand::kExitUsage);
    EXPECT_EQ(Run({"--help"}), SceneCommand::kExitOk);
    EXPECT_NE(out.str().find("nuvtool scene dump SCENE [--media DIR|ARCHIVE]"), std::string::npos);

    Pointer<SceneNode> root(new SceneNode());
    std::vector<uint8_t> bytes = SceneBytes(root.Get());
    bytes.resize(bytes.size() - 3);
    EXPECT_EQ(Run({"dump", Write("cut.STR", bytes)}), SceneCommand::kExitFailed);
    EXPECT_NE(err.str().find("is not a readable scene file"), std::string::npos);
    // The load's own reason comes first.
    EXPECT_NE(err.str().find("Невозможно загрузить"), std::string::npos);
    EXPECT_EQ(out.str(), "");
}

TEST_F(SceneCommandTest, TheScenesPicturesComeFromItsMediaArchive) {
    // A textured scene whose picture travels beside it in an archive, as the program's media.
    Pointer<Image> picture(new Image(String("pic.bmp"), 2, 2, Image::kRgb));
    std::fill(picture->GetPixels(), picture->GetPixels() + 12, uint8_t(200));
    std::vector<uint8_t> bmp;
    ASSERT_EQ(BmpImageCodec().Encode(*picture, bmp), 0);
    picture->SetFileName(String("pic.bmp"));
    Pointer<Texture> texture(new Texture());
    texture->SetName(String("Pic"));
    texture->SetImage(picture.Get());
    Pointer<TextureEffect> effect(new TextureEffect());
    effect->SetTexture(texture.Get());
    Pointer<Triangles> quad(new Triangles());
    quad->SetName(String("Quad"));
    quad->SetEffect(effect.Get());
    Pointer<SceneNode> root(new SceneNode());
    root->AttachChild(quad.Get());
    const std::vector<uint8_t> scene = SceneBytes(root.Get());
    Rar2Writer writer;
    ASSERT_EQ(writer.AddFile("Main.STR", scene.data(), scene.size(), 0), 0);
    ASSERT_EQ(writer.AddFile("pic.bmp", bmp.data(), bmp.size(), 0), 0);
    const std::string archive = Write("Media.rar2", writer.GetBytes());

    ASSERT_EQ(Run({"dump", "Main.STR", "--media", archive}), SceneCommand::kExitOk) << err.str();
    EXPECT_NE(out.str().find("Nuv.Triangles \"Quad\""), std::string::npos) << out.str();
    // Extracted to disk, the scene's media is its own folder: the picture missing from there is
    // named, a picture there that is none is named, and with the picture beside it the scene loads.
    struct Case {
        std::vector<uint8_t> picture; // empty: no pic.bmp beside the scene
        int status;
        const char* said;
    };
    const Case cases[] = {{{}, SceneCommand::kExitFailed, "the scene refers to 'pic.bmp', which is not in the media"},
                          {{'n', 'o'},
                           SceneCommand::kExitFailed,
                           "the scene refers to 'pic.bmp', which is not a picture this engine reads"},
                          {bmp, SceneCommand::kExitOk, ""}};
    const std::string onDisk = Write("Main.STR", scene);
    for (const Case& c : cases) {
        fs::remove(folder / "pic.bmp");
        if (!c.picture.empty()) Write("pic.bmp", c.picture);
        EXPECT_EQ(Run({"dump", onDisk}), c.status) << c.said << err.str();
        EXPECT_NE(err.str().find(c.said), std::string::npos) << err.str();
        if (c.status == SceneCommand::kExitOk) {
            EXPECT_NE(out.str().find("  Nuv.Texture 1\n"), std::string::npos) << out.str();
        }
    }
    // A path that is in neither place, media that is not an archive, and a second scene.
    EXPECT_EQ(Run({"dump", "Other.STR", "--media", archive}), SceneCommand::kExitUsage);
    EXPECT_NE(err.str().find("no scene 'Other.STR'"), std::string::npos);
    EXPECT_EQ(Run({"dump", "Main.STR", "--media", Write("junk.rar2", {1, 2, 3})}), SceneCommand::kExitUsage);
    EXPECT_EQ(Run({"dump", "Main.STR", "Two.STR", "--media", archive}), SceneCommand::kExitUsage);
}

} // namespace
} // namespace nuv
