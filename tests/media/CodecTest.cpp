#include "../core/TestSupport.h"

#include "core/Object.h"
#include "core/Vector3.h"
#include "core/Vector3Buffer.h"
#include "media/CodecManager.h"
#include "media/File.h"
#include "media/FileManager.h"
#include "media/Folder.h"
#include "media/MemoryFile.h"
#include "media/Rar2FileCodec.h"
#include "media/StrSceneCodec.h"
#include "media/rar/Crc32.h"
#include "platform/TemporaryFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace nuv {
namespace {

using test::LogRecorder;

std::string TestDataPath(const std::string& relative) {
    const char* root = std::getenv("NUV_TESTDATA");
    return std::string(root && *root ? root : "/work/shared/testdata") + "/" + relative;
}

std::vector<uint8_t> ReadDiskFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Spells a RAR 2.0 archive of stored entries byte by byte, with any names, so that names no
// archiver would write can be tried.
class StoredArchive {
public:
    StoredArchive() {
        const uint8_t marker[] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
        bytes_.assign(marker, marker + 7);
        Put16(0);  // header CRC, not checked by readers
        bytes_.push_back(0x73);
        Put16(0);
        Put16(13);
        Put16(0);
        Put32(0);
    }
    void AddDirectory(const std::string& name) { AddEntry(name, "", true, 0); }
    void AddFile(const std::string& name, const std::string& data) {
        AddEntry(name, data, false, Crc32::Compute(data.data(), data.size()));
    }
    void AddFileWithCrc(const std::string& name, const std::string& data, uint32_t crc) {
        AddEntry(name, data, false, crc);
    }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    void AddEntry(const std::string& name, const std::string& data, bool directory, uint32_t crc) {
        Put16(0);
        bytes_.push_back(0x74);
        Put16(directory ? 0x80E0 : 0x8000);
        Put16(uint16_t(32 + name.size()));
        Put32(uint32_t(data.size()));
        Put32(uint32_t(data.size()));
        bytes_.push_back(2);  // Win32 host
        Put32(crc);
        Put32(0x00210000);  // 1980-01-01
        bytes_.push_back(20);
        bytes_.push_back(0x30);  // stored
        Put16(uint16_t(name.size()));
        Put32(directory ? 0x10 : 0x20);
        bytes_.insert(bytes_.end(), name.begin(), name.end());
        bytes_.insert(bytes_.end(), data.begin(), data.end());
    }
    void Put16(uint16_t v) {
        bytes_.push_back(uint8_t(v));
        bytes_.push_back(uint8_t(v >> 8));
    }
    void Put32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(uint8_t(v >> (8 * i)));
    }
    std::vector<uint8_t> bytes_;
};

Pointer<MemoryFile> MakeFile(const char* name, std::vector<uint8_t> bytes) {
    Pointer<MemoryFile> file = new MemoryFile(name);
    file->SetContent(std::move(bytes));
    return file;
}

Codec* GetCodec(const char* name) {
    Codec* codec = nullptr;
    EXPECT_EQ(CodecManager::GetCodec(name, &codec), 0) << name;
    return codec;
}

std::string ReadAll(File* file) {
    if (!file || file->Open(File::kRead) != 0) return "<cannot open>";
    std::string text(size_t(file->GetSize()), '\0');
    const int status = file->Read(text.data(), int(text.size()));
    file->Close();
    return status == 0 ? text : "<cannot read>";
}

uint32_t CrcOf(File* file) {
    const std::string bytes = ReadAll(file);
    return Crc32::Compute(bytes.data(), bytes.size());
}

// Every name in the tree must be usable as a path component.
void ExpectCleanNames(Folder* folder, int& count) {
    for (int i = 0; i < folder->GetFileCount(); ++i, ++count) {
        const String& name = folder->GetFile(i)->GetName();
        EXPECT_TRUE(!name.IsEmpty() && name != "." && name != "..") << name.GetText();
    }
    for (int i = 0; i < folder->GetFolderCount(); ++i, ++count) {
        const String& name = folder->GetFolder(i)->GetName();
        EXPECT_TRUE(!name.IsEmpty() && name != "." && name != "..") << name.GetText();
        ExpectCleanNames(folder->GetFolder(i), count);
    }
}

TEST(ArchiveCodec, RealArchiveBecomesAFolderTree) {
    const std::vector<uint8_t> bytes = ReadDiskFile(TestDataPath("rar/sharpc__Rar2.rar"));
    ASSERT_EQ(bytes.size(), 60234u);
    Codec* codec = GetCodec(Rar2FileCodec::kName);
    ASSERT_NE(codec, nullptr);
    EXPECT_EQ(codec->GetKind(), Codec::kArchive);
    Pointer<MemoryFile> archive = MakeFile("Sharp.rar2", bytes);
    EXPECT_EQ(CodecManager::FindCodecForFile(archive.Get()), codec);

    const int codecReferences = codec->GetReferenceCount();
    std::unique_ptr<Folder> root;
    ASSERT_EQ(codec->Load(archive.Get(), root, ""), 0);
    ASSERT_TRUE(root);
    EXPECT_FALSE(archive->IsOpen());
    EXPECT_EQ(root->GetName(), "Sharp.rar2");
    ASSERT_EQ(root->GetFolderCount(), 2);
    EXPECT_EQ(root->GetFolder(0)->GetName(), "jpg");
    EXPECT_EQ(root->GetFolder(1)->GetName(), "exe");
    EXPECT_EQ(root->GetFileCount(), 1);

    File* exe = root->FindFile("exe\\test.exe");
    ASSERT_NE(exe, nullptr);
    EXPECT_EQ(exe->GetFullPath(), "Sharp.rar2/exe/test.exe");
    EXPECT_EQ(exe->GetSize(), 45056);
    EXPECT_FALSE(exe->IsOpen());
    EXPECT_EQ(CrcOf(exe), 0xCFB109C8u);
    File* jpg = root->FindFile("jpg/test.jpg");
    ASSERT_NE(jpg, nullptr);
    EXPECT_EQ(jpg->GetSize(), 40372);
    EXPECT_EQ(CrcOf(jpg), 0x088814E3u);
    EXPECT_EQ(CrcOf(root->GetFile(0)), 0x9BD160FAu);
    EXPECT_EQ(static_cast<MemoryFile*>(exe)->GetCodec(), codec);
    EXPECT_EQ(codec->GetReferenceCount(), codecReferences + 3);  // one per file
    root.reset();
    EXPECT_EQ(codec->GetReferenceCount(), codecReferences);
}

TEST(ArchiveCodec, HostileNamesNeverEnterTheTree) {
    StoredArchive spelled;
    spelled.AddDirectory("d");
    spelled.AddFile("d\\ok.txt", "fine");
    spelled.AddFile("..\\evil.txt", "outside");
    spelled.AddFile("nodir\\lost.txt", "no parent");
    spelled.AddFile("d\\..\\up.txt", "up");
    spelled.AddFile("d\\", "empty leaf");
    spelled.AddDirectory("d\\..");
    spelled.AddDirectory("d\\.");
    spelled.AddFile("late\\early.txt", "before its directory");
    spelled.AddDirectory("late");
    spelled.AddFile("d/slash.txt", "forward slash");
    spelled.AddFileWithCrc("bad.txt", "damaged", 0x12345678);

    LogRecorder log;
    Pointer<Codec> codec = new Rar2FileCodec;
    Pointer<MemoryFile> archive = MakeFile("Spelled.rar2", spelled.Bytes());
    std::unique_ptr<Folder> root;
    ASSERT_EQ(codec->Load(archive.Get(), root, ""), 0);

    int count = 0;
    ExpectCleanNames(root.get(), count);
    EXPECT_EQ(count, 6);  // d, d/ok.txt, d/slash.txt, up.txt, late, bad.txt
    EXPECT_EQ(ReadAll(root->FindFile("d/ok.txt")), "fine");
    EXPECT_EQ(ReadAll(root->FindFile("d/slash.txt")), "forward slash");
    EXPECT_EQ(ReadAll(root->FindFile("up.txt")), "up");
    EXPECT_EQ(root->FindFile("evil.txt"), nullptr);
    EXPECT_EQ(root->FindFile("lost.txt"), nullptr);
    EXPECT_EQ(root->FindFile("early.txt"), nullptr);
    ASSERT_NE(root->ResolveFolder("late"), nullptr);
    EXPECT_EQ(root->ResolveFolder("late")->GetFileCount(), 0);
    EXPECT_TRUE(log.ContainsText("Не найдена директория для [..\\evil.txt]"));

    // An entry that fails to decode stays as a file that cannot be opened.
    auto* bad = static_cast<MemoryFile*>(root->FindFile("bad.txt"));
    ASSERT_NE(bad, nullptr);
    EXPECT_FALSE(bad->HasContent());
    EXPECT_EQ(bad->Open(File::kRead), 1);
    EXPECT_TRUE(log.ContainsText("Невозможно извлечь файл [bad.txt]"));
}

TEST(ArchiveCodec, RefusesWhatIsNoArchive) {
    LogRecorder log;
    Pointer<Codec> codec = new Rar2FileCodec;
    std::unique_ptr<Folder> root;
    EXPECT_EQ(codec->Load(nullptr, root, ""), 3);
    Pointer<MemoryFile> text = MakeFile("Text.rar2", {'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(codec->Load(text.Get(), root, ""), 1);
    EXPECT_FALSE(root);
    EXPECT_FALSE(text->IsOpen());
    Pointer<MemoryFile> failed = new MemoryFile("Failed.rar2");
    EXPECT_EQ(codec->Load(failed.Get(), root, ""), 1);
    // The archive codec loads no objects.
    Pointer<Object> object;
    EXPECT_EQ(codec->Load(text.Get(), object), 1);
}

TEST(ArchiveCodec, SaveLeavesAnEmptyFile) {
    TemporaryFile temporary;
    ASSERT_EQ(temporary.Create("nuvrar"), 0);
    Pointer<File> file = new File(temporary.GetPath().c_str());
    ASSERT_EQ(file->Open(File::kWrite), 0);
    file->WriteInt(42);
    ASSERT_EQ(file->Close(), 0);
    ASSERT_EQ(file->GetSize(), 4);

    Pointer<Codec> codec = new Rar2FileCodec;
    Folder folder("Anything");
    EXPECT_EQ(codec->Save(file.Get(), &folder), 0);
    EXPECT_EQ(file->GetSize(), 0);
    EXPECT_EQ(codec->Save(static_cast<File*>(nullptr), &folder), 1);
}

TEST(ArchiveAttach, ResourceArchiveJoinsTheRoot) {
    LogRecorder log;
    ASSERT_EQ(FileManager::AttachResourceArchive(227, "Media.rar2", ""), 0);
    Folder* media = FileManager::GetRoot()->ResolveFolder("Media.rar2");
    ASSERT_NE(media, nullptr);
    EXPECT_EQ(media->GetParent(), FileManager::GetRoot());

    File* exe = FileManager::FindFile("exe/test.exe");
    ASSERT_NE(exe, nullptr);
    EXPECT_EQ(exe->GetFullPath(), "Media.rar2/exe/test.exe");
    EXPECT_EQ(exe->GetSize(), 45056);
    EXPECT_FALSE(exe->IsOpen());
    EXPECT_EQ(CrcOf(FileManager::FindFile("test.jpg")), 0x088814E3u);

    EXPECT_EQ(FileManager::AttachResourceArchive(999, "Missing.rar2", ""), 1);
    EXPECT_TRUE(log.Contains(kLogWarning, "Невозможно прочитать ресурс ID[999] Имя[Missing.rar2]."));
    // The resource's name picks the codec.
    EXPECT_EQ(FileManager::AttachResourceArchive(227, "Media.zip", ""), 3);
    EXPECT_TRUE(log.Contains(kLogWarning, "Не найден кодек для архива [Media.zip]."));
    EXPECT_EQ(FileManager::AttachArchive(nullptr, ""), 3);
    EXPECT_TRUE(log.Contains(kLogWarning, "Указатель на архив равен 0."));
    Pointer<MemoryFile> text = MakeFile("Text.rar2", {'n', 'o'});
    EXPECT_EQ(FileManager::AttachArchive(text.Get(), ""), 1);
    EXPECT_TRUE(log.Contains(kLogError, "Невозможно загрузить директорию из архива [Text.rar2]."));

    delete media;
    EXPECT_EQ(FileManager::FindFile("exe/test.exe"), nullptr);
}

// A scene file on disk, named so that the codec is found by its extension.
class SceneOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = TemporaryFile::GetTemporaryFolder() + "/nuv_codec_test_" + std::to_string(std::rand()) + ".STR";
        file_ = new File(path_.c_str());
    }
    void TearDown() override { std::remove(path_.c_str()); }
    std::string path_;
    Pointer<File> file_;
};

TEST_F(SceneOnDisk, SavedSceneLoadsBack) {
    Codec* codec = GetCodec(StrSceneCodec::kName);
    ASSERT_NE(codec, nullptr);
    Pointer<Vector3Buffer> saved = new Vector3Buffer(3);
    saved->SetName("Points");
    saved->GetElements()[0] = Vector3(1, 2, 3);
    saved->GetElements()[2] = Vector3(-4.5f, 0.25f, 1e6f);
    ASSERT_EQ(codec->Save(file_.Get(), saved.Get()), 0);
    EXPECT_FALSE(file_->IsOpen());

    const std::vector<uint8_t> bytes = ReadDiskFile(path_);
    ASSERT_GE(bytes.size(), 12u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 12),
              (std::vector<uint8_t>{0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0}));

    Pointer<Object> loaded;
    ASSERT_EQ(CodecManager::LoadSceneFile(file_.Get(), loaded), 0);
    auto* points = DynamicCast<Vector3Buffer>(loaded.Get());
    ASSERT_NE(points, nullptr);
    EXPECT_NE(points, saved.Get());
    EXPECT_EQ(points->GetName(), "Points");
    ASSERT_EQ(points->GetCount(), 3);
    EXPECT_EQ(points->GetElements()[0], Vector3(1, 2, 3));
    EXPECT_EQ(points->GetElements()[1], Vector3(0, 0, 0));
    EXPECT_EQ(points->GetElements()[2], Vector3(-4.5f, 0.25f, 1e6f));
    EXPECT_EQ(loaded->GetReferenceCount(), 1);  // the stream let go of it at close
    EXPECT_FALSE(file_->IsOpen());
}

TEST_F(SceneOnDisk, RejectedScenesAndMissingCodecs) {
    LogRecorder log;
    Codec* codec = GetCodec(StrSceneCodec::kName);
    ASSERT_NE(codec, nullptr);
    // An older engine's header.
    ASSERT_EQ(file_->Open(File::kWrite), 0);
    const int32_t old[3] = {0, 1, 1};
    file_->WriteInt3(old);
    file_->WriteInt(-1);
    ASSERT_EQ(file_->Close(), 0);
    Pointer<Object> loaded;
    EXPECT_EQ(CodecManager::LoadSceneFile(file_.Get(), loaded), 1);
    EXPECT_TRUE(log.Contains(kLogError, "Неудачна загрузка сцены из файла [" + path_ + "]."));
    EXPECT_FALSE(loaded);
    EXPECT_FALSE(file_->IsOpen());

    EXPECT_EQ(CodecManager::LoadSceneFile(nullptr, loaded), 3);
    EXPECT_TRUE(log.Contains(kLogWarning, "Указатель на файл или сцену равен 0."));
    Pointer<MemoryFile> text = MakeFile("scene.txt", {1});
    EXPECT_EQ(CodecManager::LoadSceneFile(text.Get(), loaded), 3);
    EXPECT_TRUE(log.Contains(kLogWarning, "Не найден кодек для файла [scene.txt]."));
    // A missing file cannot be opened; saving needs a file and a root.
    Pointer<File> missing = new File((path_ + ".gone/x.STR").c_str());
    EXPECT_EQ(codec->Load(missing.Get(), loaded), 1);
    EXPECT_EQ(codec->Save(file_.Get(), static_cast<Object*>(nullptr)), 1);
    EXPECT_EQ(codec->Save(static_cast<File*>(nullptr), loaded.Get()), 1);
    Pointer<MemoryFile> readOnly = MakeFile("ro.STR", {});
    Pointer<Vector3Buffer> buffer = new Vector3Buffer(1);
    EXPECT_EQ(codec->Save(readOnly.Get(), buffer.Get()), 1);
}

} // namespace
} // namespace nuv
