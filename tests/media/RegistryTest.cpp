#include "../core/TestSupport.h"

#include "media/Codec.h"
#include "media/CodecManager.h"
#include "media/DynamicModule.h"
#include "media/FileManager.h"
#include "media/Folder.h"
#include "media/MemoryFile.h"
#include "media/ModuleManager.h"
#include "media/StaticModule.h"
#include "media/StrSceneCodec.h"
#include "render/Renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace nuv {
namespace {

using test::LogRecorder;

int CountLines(const LogRecorder& log, const std::string& line) {
    return int(std::count(log.lines.begin(), log.lines.end(), line));
}

int ReturnZero() {
    return 0;
}

// A codec that only names itself; what matters here is how the registry creates and keeps it.
class PlainCodec : public Codec {
public:
    explicit PlainCodec(const String& name) : Codec(name) { AddExtension("plain"); }
    int GetKind() const override { return kImage; }
};

int gPlainCodecsCreated = 0;
int CreatePlainCodec(Codec** out) {
    ++gPlainCodecsCreated;
    *out = new PlainCodec("PlainCodecModule");
    return 0;
}
int FailToCreateCodec(Codec**) {
    return 1;
}

Pointer<StaticModule> MakeModule(const char* name) {
    Pointer<StaticModule> module = new StaticModule(name);
    module->AddFunction("Initialize", &ReturnZero);
    module->AddFunction("Shutdown", &ReturnZero);
    return module;
}

TEST(ModuleRegistry, RegistersByNameAndKeepsTheFirstOfAName) {
    LogRecorder log;
    Pointer<StaticModule> first = MakeModule("TwiceNamed");
    Pointer<StaticModule> second = MakeModule("TwiceNamed");
    EXPECT_EQ(ModuleManager::RegisterModule(nullptr), 3);
    EXPECT_EQ(ModuleManager::RegisterModule(first.Get()), 0);
    EXPECT_EQ(ModuleManager::RegisterModule(second.Get()), 1);
    EXPECT_TRUE(log.Contains(kLogWarning, "Модуль с именем [TwiceNamed] уже зарегестрирован."));
    EXPECT_EQ(ModuleManager::FindModule("TwiceNamed"), first.Get());
    EXPECT_EQ(first->GetReferenceCount(), 2);   // ours and the table's
    EXPECT_EQ(second->GetReferenceCount(), 1);  // the table did not keep it
    EXPECT_EQ(ModuleManager::FindModule("twicenamed"), nullptr);

    // LoadModule gives a registered module without touching the file tree.
    Module* loaded = nullptr;
    EXPECT_EQ(ModuleManager::LoadModule("TwiceNamed", &loaded), 0);
    EXPECT_EQ(loaded, first.Get());
    EXPECT_FALSE(log.ContainsText("Загружается модуль"));
}

int gShutdowns = 0;
int CountShutdown() {
    ++gShutdowns;
    return 0;
}
int FailShutdown() {
    return 1;
}

TEST(ModuleRegistry, DestroyingAModuleRunsItsShutdown) {
    LogRecorder log;
    gShutdowns = 0;
    {
        Pointer<StaticModule> module = new StaticModule("Counted");
        module->AddFunction("Shutdown", &CountShutdown);
    }
    EXPECT_EQ(gShutdowns, 1);
    {
        Pointer<StaticModule> module = new StaticModule("NoShutdown");
    }
    EXPECT_TRUE(log.Contains(kLogWarning, "В модуле не найдена функция завершения работы модуля [NoShutdown]."));
    {
        Pointer<StaticModule> module = new StaticModule("Failing");
        module->AddFunction("Shutdown", &FailShutdown);
    }
    EXPECT_TRUE(log.Contains(kLogError, "Неудачно завершение работы модуля."));
}

TEST(CodecRegistry, UnregisteredModuleGivesNoCodecAndLoadsNothing) {
    LogRecorder log;
    Codec* codec = reinterpret_cast<Codec*>(&log);  // must be cleared
    EXPECT_EQ(CodecManager::GetCodec("NoSuchCodec", &codec), 3);
    EXPECT_EQ(codec, nullptr);
    EXPECT_TRUE(log.Contains(kLogError, "Не найден модуль для кодека [NoSuchCodec]."));
    EXPECT_FALSE(log.ContainsText("Загружается модуль"));
    EXPECT_EQ(ModuleManager::FindModule("NoSuchCodec"), nullptr);
    // Still not registered: a second request looks again.
    EXPECT_EQ(CodecManager::GetCodec("NoSuchCodec", nullptr), 3);
    EXPECT_EQ(CountLines(log, "0|Загружается кодек [NoSuchCodec]."), 2);
}

TEST(CodecRegistry, CodecIsCreatedOnceAndHoldsItsModule) {
    LogRecorder log;
    Pointer<StaticModule> module = MakeModule("PlainCodecModule");
    module->AddFunction("CreateCodec", &CreatePlainCodec);
    ASSERT_EQ(ModuleManager::RegisterModule(module.Get()), 0);
    gPlainCodecsCreated = 0;

    Codec* first = nullptr;
    Codec* second = nullptr;
    EXPECT_EQ(CodecManager::GetCodec("PlainCodecModule", &first), 0);
    EXPECT_EQ(CodecManager::GetCodec("PlainCodecModule", &second), 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(gPlainCodecsCreated, 1);
    EXPECT_EQ(CountLines(log, "0|Загружается кодек [PlainCodecModule]."), 1);
    EXPECT_EQ(first->GetModule(), module.Get());
    EXPECT_EQ(module->GetReferenceCount(), 3);  // ours, the module table's and the codec's

    // A codec registered under a taken name is refused and the first one stays.
    Pointer<Codec> rival = new PlainCodec("PlainCodecModule");
    EXPECT_EQ(CodecManager::RegisterCodec(rival.Get()), 1);
    EXPECT_TRUE(log.Contains(kLogWarning, "Кодек с именем [PlainCodecModule] уже зарегестрирован."));
    EXPECT_EQ(rival->GetReferenceCount(), 1);
    EXPECT_EQ(CodecManager::RegisterCodec(nullptr), 3);
}

TEST(CodecRegistry, FailuresOfTheModuleEntry) {
    LogRecorder log;
    Pointer<StaticModule> noEntry = MakeModule("NoEntryCodec");
    Pointer<StaticModule> failing = MakeModule("FailingCodec");
    failing->AddFunction("CreateCodec", &FailToCreateCodec);
    ASSERT_EQ(ModuleManager::RegisterModule(noEntry.Get()), 0);
    ASSERT_EQ(ModuleManager::RegisterModule(failing.Get()), 0);
    EXPECT_EQ(CodecManager::GetCodec("NoEntryCodec", nullptr), 3);
    EXPECT_TRUE(log.Contains(kLogError, "В модуле не найдена функция создания кодека [NoEntryCodec]."));
    EXPECT_EQ(CodecManager::GetCodec("FailingCodec", nullptr), 1);
    EXPECT_TRUE(log.Contains(kLogError, "Создание кодека [FailingCodec] неудачно."));
}

TEST(CodecRegistry, FindsTheCodecByExactExtension) {
    LogRecorder log;
    Codec* scene = nullptr;
    ASSERT_EQ(CodecManager::GetCodec(StrSceneCodec::kName, &scene), 0);
    EXPECT_EQ(scene->GetKind(), Codec::kScene);
    EXPECT_EQ(scene->GetModule(), ModuleManager::FindModule(StrSceneCodec::kName));

    Pointer<MemoryFile> main = new MemoryFile("Main.STR");
    Pointer<MemoryFile> lower = new MemoryFile("main.str");
    Pointer<MemoryFile> mixed = new MemoryFile("main.sTr");
    Pointer<MemoryFile> bare = new MemoryFile("STR");
    Pointer<MemoryFile> dotted = new MemoryFile("scene.str.bak");
    EXPECT_EQ(CodecManager::FindCodecForFile(main.Get()), scene);
    EXPECT_EQ(CodecManager::FindCodecForFile(lower.Get()), scene);
    EXPECT_EQ(CodecManager::FindCodecForFile(mixed.Get()), nullptr);
    EXPECT_EQ(CodecManager::FindCodecForFile(bare.Get()), nullptr);
    EXPECT_EQ(CodecManager::FindCodecForFile(dotted.Get()), nullptr);
    EXPECT_EQ(scene->Accepts(nullptr), 3);
    EXPECT_TRUE(log.Contains(kLogWarning, "Указатель на файл равен 0 при проверке кодеком [STRSceneCodec]."));
}

int FailToCreateRenderer(Renderer** out) {
    *out = nullptr;
    return 1;
}

// The renderer interface belongs to the renderer's own code; here only the slot's failures.
TEST(RendererSlot, FailuresLeaveNoCurrentRenderer) {
    LogRecorder log;
    EXPECT_EQ(ModuleManager::CreateRenderer("NoSuchRenderer"), 3);
    EXPECT_TRUE(log.Contains(kLogWarning, "Невозможно загрузить библиотеку рендерера [NoSuchRenderer]."));
    Pointer<StaticModule> codecOnly = MakeModule("NotARenderer");
    ASSERT_EQ(ModuleManager::RegisterModule(codecOnly.Get()), 0);
    EXPECT_EQ(ModuleManager::CreateRenderer("NotARenderer"), 3);
    EXPECT_TRUE(log.Contains(kLogError, "В модуле не найдена функция создания рендерера [NotARenderer]."));
    Pointer<StaticModule> failing = MakeModule("FailingRenderer");
    failing->AddFunction("CreateRenderer", &FailToCreateRenderer);
    ASSERT_EQ(ModuleManager::RegisterModule(failing.Get()), 0);
    EXPECT_EQ(ModuleManager::CreateRenderer("FailingRenderer"), 1);
    EXPECT_TRUE(log.Contains(kLogError, "Создание рендерера [FailingRenderer] неудачно."));
    EXPECT_EQ(ModuleManager::GetRenderer(), nullptr);
    EXPECT_EQ(ModuleManager::DestroyRenderer(), 0);
}

std::vector<uint8_t> ReadDiskFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Shared libraries come from the file tree; a folder of them is attached for the test.
class DynamicModules : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = new Folder("Modules");
        ASSERT_EQ(FileManager::GetRoot()->AttachFolder(folder_), 0);
    }
    void TearDown() override { delete folder_; }

    void AddFile(const std::string& name, std::vector<uint8_t> bytes) {
        Pointer<MemoryFile> file = new MemoryFile(String(name.c_str()));
        file->SetContent(std::move(bytes));
        ASSERT_EQ(folder_->AttachFile(file.Get()), 0);
    }

    Folder* folder_ = nullptr;
};

TEST_F(DynamicModules, ModuleWithoutInitializeIsLoadedWithAWarning) {
    const std::vector<uint8_t> image = ReadDiskFile(NUV_TEST_PLUGIN);
    ASSERT_FALSE(image.empty());
    AddFile(std::string("TestPlugin") + ModuleManager::kLibrarySuffix, image);

    LogRecorder log;
    Module* module = nullptr;
    ASSERT_EQ(ModuleManager::LoadModule("TestPlugin", &module), 0);
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(log.Contains(kLogInfo, "Загружается модуль [TestPlugin]."));
    EXPECT_TRUE(log.Contains(kLogWarning, "В модуле не найдена функция инициализации модуля [TestPlugin]."));
    EXPECT_EQ(ModuleManager::FindModule("TestPlugin"), module);
    EXPECT_EQ(module->GetName(), "TestPlugin");

    int (*add)(int, int) = nullptr;
    ASSERT_EQ(module->GetFunction(&add, "NuvTestPluginAdd"), 0);
    EXPECT_EQ(add(2, 3), 5);
    EXPECT_EQ(module->GetSymbol(nullptr, "NuvTestPluginAdd"), 3);
    EXPECT_EQ(module->GetFunction(&add, "Missing"), 1);
    EXPECT_TRUE(log.Contains(kLogWarning, "Символ [Missing] не найден в модуле [TestPlugin]."));

    // Once unloaded, the module answers no symbol at all.
    auto* dynamic = static_cast<DynamicModule*>(module);
    EXPECT_EQ(ModuleManager::UnloadDynamicModule(dynamic), 0);
    EXPECT_TRUE(log.Contains(kLogInfo, "Выгружается модуль [TestPlugin]."));
    EXPECT_FALSE(dynamic->IsLoaded());
    EXPECT_EQ(module->GetFunction(&add, "NuvTestPluginAdd"), 3);
    EXPECT_EQ(ModuleManager::UnloadDynamicModule(dynamic), 0);
    EXPECT_EQ(ModuleManager::UnloadDynamicModule(nullptr), 3);
}

TEST_F(DynamicModules, MissingOrBrokenLibraryFiles) {
    AddFile(std::string("Broken") + ModuleManager::kLibrarySuffix, {'n', 'o', 't', ' ', 'E', 'L', 'F'});
    AddFile(std::string("Hollow") + ModuleManager::kLibrarySuffix, {});
    Pointer<MemoryFile> failed = new MemoryFile(String("Failed") + ModuleManager::kLibrarySuffix);
    ASSERT_EQ(folder_->AttachFile(failed.Get()), 0);  // an archive entry that could not be decoded

    LogRecorder log;
    EXPECT_EQ(ModuleManager::LoadModule("Absent", nullptr), 3);
    EXPECT_TRUE(log.Contains(kLogWarning, "Не найден файл модуля [Absent]."));
    EXPECT_TRUE(log.Contains(kLogError, "Невозможно загрузить модуль [Absent]."));
    for (const char* name : {"Broken", "Hollow", "Failed"}) {
        EXPECT_EQ(ModuleManager::LoadModule(name, nullptr), 1) << name;
        EXPECT_TRUE(log.Contains(kLogWarning, std::string("Загрузка модуля [") + name + "] неудачна.")) << name;
        EXPECT_EQ(ModuleManager::FindModule(name), nullptr) << name;
    }
    EXPECT_EQ(ModuleManager::LoadDynamicModule("Broken", nullptr), 3);
    EXPECT_TRUE(log.Contains(kLogWarning, "Указатель на модуль [Broken] равен 0."));
}

} // namespace
} // namespace nuv
