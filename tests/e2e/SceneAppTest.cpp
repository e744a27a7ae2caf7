// The scene application's own decisions, without a window: the scene options applied to a loaded
// scene, the input that ends a run, and the fade without a shot controller.

#include "../core/TestSupport.h"
#include "../render/RecordingRenderer.h"
#include "app/InputManager.h"
#include "app/SceneScreensaverApp.h"
#include "core/Engine.h"
#include "core/IntBuffer.h"
#include "core/SceneFile.h"
#include "core/Stream.h"
#include "core/Vector3Buffer.h"
#include "media/CodecManager.h"
#include "media/FileManager.h"
#include "media/MemoryFile.h"
#include "media/ModuleManager.h"
#include "media/StaticModule.h"
#include "media/rarwriter/Rar2Writer.h"
#include "render/SnowIceEffect.h"
#include "render/Texture.h"
#include "render/TextureEffect.h"
#include "scene/SceneNode.h"
#include "scene/Triangles.h"

#include <gtest/gtest.h>

namespace nuv {
namespace {

class TestApp : public SceneScreensaverApp {
public:
    using SceneScreensaverApp::CreateSceneData;
    using SceneScreensaverApp::ReleaseSceneData;
    using SceneScreensaverApp::SetMode;
};

struct SceneAppTest : ::testing::Test {
    void SetUp() override {
        ASSERT_EQ(InitializeEngine(), 0);
        for (const char* name : {"STRSceneCodec", "RAR2FileCodec"}) {
            ModuleManager::LoadModule(name, nullptr);
            CodecManager::GetCodec(name, nullptr);
        }
        app = new TestApp();
    }
    void TearDown() override {
        app.Reset();
        ShutdownEngine();
    }

    // A scene with the snow particle node, an icy geometry and a plain one, packed as Main.STR.
    void AttachScene() {
        Pointer<SceneNode> root(new SceneNode());
        Pointer<SceneNode> snow(new SceneNode());
        snow->SetName(String(SceneScreensaverApp::kSnowNodeName));
        ASSERT_EQ(root->AttachChild(snow.Get()), 0);
        Pointer<Triangles> ice(new Triangles());
        ice->SetName(String("Ice"));
        Pointer<Vector3Buffer> positions(new Vector3Buffer(3));
        Pointer<IntBuffer> indices(new IntBuffer(3));
        for (int i = 0; i < 3; ++i) indices->GetElements()[i] = i;
        ice->SetVertices(positions.Get());
        ice->SetIndices(indices.Get());
        Pointer<SnowIceEffect> effect(new SnowIceEffect());
        Pointer<Texture> texture(new Texture());
        texture->SetName(String("ice texture"));
        effect->SetTexture(texture.Get());
        effect->SetTexCoordSet(9);
        effect->SetColor(Color(0.25f, 0.5f, 0.75f, 1));
        ice->SetEffect(effect.Get());
        ASSERT_EQ(root->AttachChild(ice.Get()), 0);

        Stream stream(0, 1024);
        ASSERT_EQ(SceneFile::Write(stream, root.Get()), 0);
        Rar2Writer writer;
        ASSERT_EQ(writer.AddFile("Main.STR", stream.GetData(), size_t(stream.GetPosition()), 0), 0);
        Pointer<MemoryFile> archive(new MemoryFile(String("Media.rar2")));
        std::vector<uint8_t> bytes = writer.GetBytes();
        archive->SetContent(std::move(bytes));
        ASSERT_EQ(FileManager::AttachArchive(archive.Get(), String("")), 0);
    }

    Triangles* Ice() { return static_cast<Triangles*>(app->GetSceneRoot()->FindByName(String("Ice"))); }

    Pointer<TestApp> app;
};

TEST_F(SceneAppTest, OptionsOnKeepTheSceneAsLoaded) {
    AttachScene();
    ASSERT_EQ(app->CreateSceneData(), 0);
    ASSERT_NE(app->GetSceneRoot(), nullptr);
    EXPECT_NE(app->GetSceneRoot()->FindByName(String(SceneScreensaverApp::kSnowNodeName)), nullptr);
    ASSERT_NE(Ice(), nullptr);
    EXPECT_TRUE(Ice()->GetEffect()->IsExactly(SnowIceEffect::TYPE));
    // No shot controller in the scene: no fade.
    EXPECT_EQ(app->GetScreensaverController(), nullptr);
    EXPECT_EQ(app->GetFadeAlpha(), 0.0f);
    EXPECT_EQ(app->ReleaseSceneData(), 0);
    EXPECT_EQ(app->GetSceneRoot(), nullptr);
}

TEST_F(SceneAppTest, OptionsOffRemoveSnowAndReplaceIce) {
    AttachScene();
    app->GetSettings().snow = false;
    app->GetSettings().reflections = false;
    ASSERT_EQ(app->CreateSceneData(), 0);
    EXPECT_EQ(app->GetSceneRoot()->FindByName(String(SceneScreensaverApp::kSnowNodeName)), nullptr);
    ASSERT_NE(Ice(), nullptr);
    auto* effect = Ice()->GetEffect();
    ASSERT_TRUE(effect->IsExactly(TextureEffect::TYPE));
    auto* plain = static_cast<TextureEffect*>(effect);
    ASSERT_NE(plain->GetTexture(), nullptr);
    EXPECT_EQ(plain->GetTexture()->GetName(), String("ice texture"));
    EXPECT_EQ(plain->GetTexCoordSet(), 7);
    EXPECT_EQ(plain->GetColor().b, 0.75f);
    EXPECT_EQ(plain->GetGeometry(), Ice());
}

TEST_F(SceneAppTest, MissingSceneFileFails) {
    EXPECT_EQ(app->CreateSceneData(), 1);
    EXPECT_EQ(app->GetSceneRoot(), nullptr);
}

TEST_F(SceneAppTest, DamagedSceneFilesFailWithTheLoadError) {
    // A scene cut short, and bytes that are no scene at all: the load fails cleanly, says so,
    // and leaves no scene behind.
    Pointer<SceneNode> root(new SceneNode());
    for (int i = 0; i < 8; ++i) ASSERT_EQ(root->AttachChild(Pointer<SceneNode>(new SceneNode()).Get()), 0);
    Stream stream(0, 1024);
    ASSERT_EQ(SceneFile::Write(stream, root.Get()), 0);
    const std::vector<uint8_t> whole(stream.GetData(), stream.GetData() + stream.GetPosition());
    const std::vector<std::vector<uint8_t>> damaged = {
        std::vector<uint8_t>(whole.begin(), whole.begin() + long(whole.size() / 2)),
        std::vector<uint8_t>(200, 0xA5),
    };
    for (const std::vector<uint8_t>& bytes : damaged) {
        Rar2Writer writer;
        ASSERT_EQ(writer.AddFile("Main.STR", bytes.data(), bytes.size(), 0), 0);
        Pointer<MemoryFile> archive(new MemoryFile(String("Media.rar2")));
        std::vector<uint8_t> packed = writer.GetBytes();
        archive->SetContent(std::move(packed));
        ASSERT_EQ(FileManager::AttachArchive(archive.Get(), String("")), 0);
        test::LogRecorder log;
        EXPECT_EQ(app->CreateSceneData(), 1);
        EXPECT_EQ(app->GetSceneRoot(), nullptr);
        EXPECT_TRUE(log.ContainsText("Невозможно загрузить данные скринсейвера из файла.")) << bytes.size() << " bytes";
    }
}

// A key pressed before the first frame ends the run after that frame: it is drawn and shown,
// and no other frame follows.
TEST_F(SceneAppTest, TheFrameInWhichInputEndsTheRunIsFinished) {
    static test::RecordingRenderer* recorder = nullptr;
    struct Module {
        static int Create(Renderer** out) {
            recorder = new test::RecordingRenderer();
            *out = recorder;
            return 0;
        }
    };
    Pointer<StaticModule> module(new StaticModule("FrameLoopRenderer"));
    module->AddFunction("CreateRenderer", &Module::Create);
    ASSERT_EQ(ModuleManager::RegisterModule(module.Get()), 0);
    ASSERT_EQ(ModuleManager::CreateRenderer("FrameLoopRenderer"), 0);
    ASSERT_EQ(InputManager::RegisterInputHandler(app.Get()), 0);
    app->SetMode(kModeSaver);
    app->SetRunning(true);
    InputManager::QueueInputEvent(InputEvent{kInputKeyboard, kInputPress, 12, 0});
    EXPECT_EQ(app->Run(), 0);
    EXPECT_FALSE(app->IsRunning());
    EXPECT_EQ(recorder->calls, "clear begin end ");
    ModuleManager::DestroyRenderer();
}

TEST_F(SceneAppTest, InputThatEndsTheRun) {
    const InputEvent move{kInputMouse, kInputMove, 5, 5};
    app->GetSettings().exitOnMouseMove = false;
    app->SetRunning(true);
    for (int i = 0; i < 20; ++i) app->OnInputEvent(move);
    EXPECT_TRUE(app->IsRunning());
    app->OnInputEvent(InputEvent{kInputKeyboard, kInputRelease, 12, 0});
    EXPECT_TRUE(app->IsRunning());

    // Moves made while the setting was off do not count towards the eleventh.
    app->GetSettings().exitOnMouseMove = true;
    app->OnInputEvent(move);
    EXPECT_TRUE(app->IsRunning());

    Pointer<TestApp> fresh(new TestApp());
    fresh->GetSettings().exitOnMouseMove = true;
    fresh->SetRunning(true);
    for (int i = 0; i < 10; ++i) fresh->OnInputEvent(move);
    EXPECT_TRUE(fresh->IsRunning());
    fresh->OnInputEvent(move);
    EXPECT_FALSE(fresh->IsRunning());

    app->SetRunning(true);
    app->OnInputEvent(InputEvent{kInputKeyboard, kInputPress, 12, 0});
    EXPECT_FALSE(app->IsRunning());
    app->SetRunning(true);
    app->OnInputEvent(InputEvent{kInputWindow, kInputClose, 0, 0});
    EXPECT_FALSE(app->IsRunning());
}

} // namespace
} // namespace nuv
