#include "../core/TestSupport.h"

#include "media/File.h"
#include "media/FileManager.h"
#include "media/Folder.h"
#include "media/MemoryFile.h"
#include "media/rar/Crc32.h"
#include "platform/TemporaryFile.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace nuv {
namespace {

using test::LogRecorder;

std::vector<std::string> FolderNames(const Folder& folder) {
    std::vector<std::string> names;
    for (int i = 0; i < folder.GetFolderCount(); ++i) names.push_back(folder.GetFolder(i)->GetName().GetText());
    return names;
}

Pointer<MemoryFile> MakeFile(const char* name, const std::string& text) {
    Pointer<MemoryFile> file = new MemoryFile(name);
    file->SetContent(std::vector<uint8_t>(text.begin(), text.end()));
    return file;
}

TEST(FolderOrder, HighFirstBytesFirstAndOnlyAppendsAreLogged) {
    LogRecorder log;
    Folder root("");
    new Folder("CustomData.rar2", &root);
    new Folder("Media.rar2", &root);
    EXPECT_EQ(FolderNames(root), (std::vector<std::string>{"Media.rar2", "CustomData.rar2"}));
    EXPECT_TRUE(log.Contains(kLogInfo, "Директория [CustomData.rar2] добавлена к директории []."));
    EXPECT_FALSE(log.ContainsText("Директория [Media.rar2] добавлена"));

    // First bytes compare as signed chars, so a UTF-8 name sorts below ASCII; an empty name on
    // either side compares by length.
    Folder mixed("mixed");
    for (const char* name : {"b", "a", "c", "", "x", "Ж"}) new Folder(name, &mixed);
    EXPECT_EQ(FolderNames(mixed), (std::vector<std::string>{"x", "c", "b", "a", "Ж", ""}));

    // Files follow the same rule.
    Pointer<MemoryFile> files[] = {MakeFile("alpha", "1"), MakeFile("zeta", "2"), MakeFile("beta", "3")};
    for (auto& file : files) ASSERT_EQ(mixed.AttachFile(file.Get()), 0);
    ASSERT_EQ(mixed.GetFileCount(), 3);
    EXPECT_EQ(mixed.GetFile(0)->GetName(), "zeta");
    EXPECT_EQ(mixed.GetFile(1)->GetName(), "beta");
    EXPECT_EQ(mixed.GetFile(2)->GetName(), "alpha");
}

TEST(FolderOrder, AttachAndDetachRefuseWhatWouldBreakTheTree) {
    LogRecorder log;
    auto root = std::make_unique<Folder>("root");
    Folder* child = new Folder("child", root.get());
    Folder* grandchild = new Folder("grandchild", child);

    EXPECT_EQ(root->AttachFolder(child), 3);
    EXPECT_TRUE(log.Contains(kLogWarning, "Присоединяемая директория [child] уже присоединена к директории [root]."));
    EXPECT_EQ(root->AttachFolder(nullptr), 3);
    // A folder of another parent, the folder itself, or an ancestor would make the tree a cycle
    // or give a folder two owners.
    EXPECT_EQ(root->AttachFolder(grandchild), 1);
    EXPECT_EQ(grandchild->AttachFolder(root.get()), 1);
    Folder lone("lone");
    EXPECT_EQ(lone.AttachFolder(&lone), 1);
    EXPECT_EQ(lone.GetFolderCount(), 0);
    EXPECT_EQ(root->GetFolderCount(), 1);
    EXPECT_EQ(child->GetParent(), root.get());
    EXPECT_EQ(grandchild->GetParent(), child);

    Pointer<MemoryFile> file = MakeFile("note.txt", "x");
    EXPECT_EQ(child->AttachFile(file.Get()), 0);
    EXPECT_EQ(child->AttachFile(file.Get()), 3);
    EXPECT_EQ(root->AttachFile(file.Get()), 1);
    EXPECT_EQ(file->GetReferenceCount(), 2);
    EXPECT_EQ(file->GetFullPath(), "root/child/note.txt");

    EXPECT_EQ(root->DetachFolder(grandchild), 3);
    EXPECT_TRUE(log.Contains(kLogWarning, "Удаляемая директория [grandchild] не найдена в директории [root]."));
    EXPECT_EQ(root->DetachFile(file.Get()), 3);
    EXPECT_EQ(child->DetachFile(file.Get()), 0);
    EXPECT_TRUE(log.Contains(kLogInfo, "Файл [note.txt] удалён из директории [child]."));
    EXPECT_EQ(file->GetReferenceCount(), 1);
    EXPECT_EQ(file->GetFolder(), nullptr);
    EXPECT_EQ(file->GetFullPath(), "note.txt");

    // A detached folder is the caller's again and can hang elsewhere.
    EXPECT_EQ(child->DetachFolder(grandchild), 0);
    EXPECT_EQ(root->AttachFolder(grandchild), 0);
    EXPECT_EQ(FolderNames(*root), (std::vector<std::string>{"grandchild", "child"}));
}

TEST(FolderLifetime, FilesHeldElsewhereOutliveTheirFolder) {
    LogRecorder log;
    Pointer<MemoryFile> kept = MakeFile("kept.txt", "kept");
    {
        Folder folder("Temp");
        ASSERT_EQ(folder.AttachFile(kept.Get()), 0);
        Pointer<MemoryFile> dropped = MakeFile("dropped.txt", "dropped");
        ASSERT_EQ(folder.AttachFile(dropped.Get()), 0);
    }
    EXPECT_TRUE(log.Contains(kLogInfo, "Удаляется файл [dropped.txt]."));
    EXPECT_TRUE(log.Contains(kLogInfo, "Директория удалена [Temp]."));
    EXPECT_EQ(kept->GetReferenceCount(), 1);
    EXPECT_EQ(kept->GetFolder(), nullptr);
    EXPECT_EQ(kept->GetSize(), 4);
}

// Media.rar2 { Main.STR, Textures { fir02.tga, Sky { fir02.tga } }, Sounds { wind.ogg } }
class MediaTree : public ::testing::Test {
protected:
    void SetUp() override {
        media_ = std::make_unique<Folder>("Media.rar2");
        textures_ = new Folder("Textures", media_.get());
        sky_ = new Folder("Sky", textures_);
        sounds_ = new Folder("Sounds", media_.get());
        Attach(media_.get(), "Main.STR");
        Attach(textures_, "fir02.tga");
        Attach(sky_, "fir02.tga");
        Attach(sounds_, "wind.ogg");
    }
    void Attach(Folder* folder, const char* name) {
        Pointer<MemoryFile> file = MakeFile(name, name);
        ASSERT_EQ(folder->AttachFile(file.Get()), 0);
    }
    std::unique_ptr<Folder> media_;
    Folder* textures_ = nullptr;
    Folder* sky_ = nullptr;
    Folder* sounds_ = nullptr;
};

TEST_F(MediaTree, ResolveFolderFollowsRelativePaths) {
    EXPECT_EQ(media_->ResolveFolder(""), media_.get());
    EXPECT_EQ(media_->ResolveFolder("."), media_.get());
    EXPECT_EQ(media_->ResolveFolder("Media.rar2"), media_.get());
    EXPECT_EQ(media_->ResolveFolder("Textures"), textures_);
    EXPECT_EQ(media_->ResolveFolder("Textures/Sky"), sky_);
    EXPECT_EQ(media_->ResolveFolder("Textures\\Sky"), sky_);
    EXPECT_EQ(media_->ResolveFolder("/Textures//./Sky/"), sky_);
    EXPECT_EQ(media_->ResolveFolder("Textures/Sky/../../Sounds"), sounds_);
    EXPECT_EQ(sky_->ResolveFolder(".."), textures_);
    EXPECT_EQ(media_->ResolveFolder(".."), nullptr);
    EXPECT_EQ(media_->ResolveFolder("textures"), nullptr);
    EXPECT_EQ(media_->ResolveFolder("Nope/Sky"), nullptr);
    // A path of a million "./" components is walked, not recursed.
    std::string deep;
    for (int i = 0; i < 1000000; ++i) deep += "./";
    EXPECT_EQ(media_->ResolveFolder(String((deep + "Textures").c_str())), textures_);
}

TEST_F(MediaTree, FindFileByPathOrBareName) {
    File* top = media_->FindFile("Main.STR");
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->GetFullPath(), "Media.rar2/Main.STR");
    EXPECT_EQ(media_->FindFile("main.str"), nullptr);

    File* texture = media_->FindFile("Textures/fir02.tga");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetFullPath(), "Media.rar2/Textures/fir02.tga");
    EXPECT_EQ(media_->FindFile("Textures\\fir02.tga"), texture);
    EXPECT_EQ(media_->FindFile("Textures/../Textures/fir02.tga"), texture);
    EXPECT_EQ(media_->FindFile("Nope/fir02.tga"), nullptr);
    EXPECT_EQ(media_->FindFile("Textures/Sky\\fir02.tga")->GetFullPath(), "Media.rar2/Textures/Sky/fir02.tga");
    // A bare name is searched depth first: the shallower match in Textures comes before Sky's.
    EXPECT_EQ(media_->FindFile("fir02.tga"), texture);
    EXPECT_EQ(media_->FindFile("wind.ogg")->GetFullPath(), "Media.rar2/Sounds/wind.ogg");
    // With a separator only the named folder is searched.
    EXPECT_EQ(media_->FindFile("Sounds/fir02.tga"), nullptr);
    EXPECT_EQ(media_->FindFile(""), nullptr);
}

TEST(FileManagerTree, FindsInAttachedFoldersInListOrder) {
    Folder* root = FileManager::GetRoot();
    ASSERT_NE(root, nullptr);
    Folder* custom = new Folder("CustomTest.rar2", root);
    Folder* media = new Folder("MediaTest.rar2", root);
    Pointer<MemoryFile> inCustom = MakeFile("Shared.txt", "custom");
    Pointer<MemoryFile> inMedia = MakeFile("Shared.txt", "media");
    ASSERT_EQ(custom->AttachFile(inCustom.Get()), 0);
    ASSERT_EQ(media->AttachFile(inMedia.Get()), 0);
    EXPECT_EQ(FileManager::FindFile("Shared.txt"), inMedia.Get());
    // A path may also start with the archive's own name, which names its top folder.
    EXPECT_EQ(FileManager::FindFile("CustomTest.rar2/Shared.txt"), inCustom.Get());
    EXPECT_EQ(FileManager::FindFile("Other.rar2/Shared.txt"), nullptr);
    delete media;
    EXPECT_EQ(FileManager::FindFile("Shared.txt"), inCustom.Get());
    delete custom;
    EXPECT_EQ(FileManager::FindFile("Shared.txt"), nullptr);
}

TEST(MemoryFileAccess, ReadOnlyCopyWhileOpen) {
    LogRecorder log;
    Pointer<MemoryFile> file = MakeFile("data.bin", "abcdef");
    EXPECT_EQ(file->Open(File::kWrite), 1);
    EXPECT_EQ(file->Open(File::kAppend), 1);
    EXPECT_FALSE(file->IsOpen());
    EXPECT_EQ(file->GetSize(), 6);
    EXPECT_FALSE(file->IsOpen());

    ASSERT_EQ(file->Open(File::kRead), 0);
    char text[4] = {};
    EXPECT_EQ(file->Read(text, 3), 0);
    EXPECT_STREQ(text, "abc");
    EXPECT_EQ(file->GetSize(), 6);
    EXPECT_EQ(file->Write("x", 1), 1);
    EXPECT_TRUE(log.Contains(kLogWarning, "Запись в файл [data.bin], открытый для чтения."));
    EXPECT_EQ(file->Close(), 0);
    EXPECT_EQ(file->Close(), 0);
    EXPECT_EQ(file->Read(text, 1), 1);
    EXPECT_TRUE(log.Contains(kLogWarning, "Чтение из закрытого файла [data.bin]."));
    // The content itself was never touched by the copy.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file->GetContent()), 6), "abcdef");

    // Without content (an entry that failed to decode) the file cannot be opened; an empty
    // content is an empty file.
    Pointer<MemoryFile> failed = new MemoryFile("failed.bin");
    EXPECT_EQ(failed->Open(File::kRead), 1);
    EXPECT_EQ(failed->GetSize(), 0);
    EXPECT_TRUE(log.Contains(kLogWarning, "Файл [failed.bin] не может быть открыть для чтения."));
    Pointer<MemoryFile> empty = MakeFile("empty.bin", "");
    EXPECT_EQ(empty->Open(File::kRead), 0);
    EXPECT_EQ(empty->GetSize(), 0);

    // Borrowed bytes are used in place and never freed by the file.
    static const uint8_t kBorrowed[] = {1, 2, 3};
    Pointer<MemoryFile> borrowed = new MemoryFile("borrowed.bin");
    borrowed->BorrowContent(kBorrowed, 3);
    EXPECT_EQ(borrowed->GetContent(), kBorrowed);
    EXPECT_EQ(borrowed->GetSize(), 3);
    borrowed->ClearContent();
    EXPECT_EQ(borrowed->Open(File::kRead), 1);
}

TEST(DiskFileAccess, WriteAppendReadAndWrongModes) {
    LogRecorder log;
    TemporaryFile temporary;
    ASSERT_EQ(temporary.Create("nuvfile"), 0);
    const String path = temporary.GetPath().c_str();
    Pointer<File> file = new File(path);
    EXPECT_EQ(file->GetFullPath(), path);

    ASSERT_EQ(file->Open(File::kWrite), 0);
    EXPECT_EQ(file->WriteInt(0x04030201), 0);
    EXPECT_EQ(file->GetSize(), 4);
    int32_t value = 0;
    EXPECT_EQ(file->ReadInt(value), 1);
    EXPECT_TRUE(log.Contains(kLogWarning, std::string("Чтение из файла [") + path.GetText() + "], открытого для записи."));
    EXPECT_EQ(file->Close(), 0);
    EXPECT_EQ(file->GetSize(), 4);  // opens, measures, closes
    EXPECT_FALSE(file->IsOpen());

    // The refused read above left the error state set; a fresh object appends and reads.
    Pointer<File> again = new File(path);
    ASSERT_EQ(again->Open(File::kAppend), 0);
    EXPECT_EQ(again->WriteString("tail"), 0);
    EXPECT_EQ(again->Close(), 0);
    ASSERT_EQ(again->Open(File::kRead), 0);
    EXPECT_EQ(again->GetSize(), 12);
    String tail;
    EXPECT_EQ(again->ReadInt(value), 0);
    EXPECT_EQ(value, 0x04030201);
    EXPECT_EQ(again->ReadString(tail), 0);
    EXPECT_EQ(tail, "tail");
    EXPECT_EQ(again->Close(), 0);

    Pointer<File> closed = new File(path);
    EXPECT_EQ(closed->WriteInt(1), 1);
    EXPECT_TRUE(log.Contains(kLogWarning, std::string("Запись в закрытый файл [") + path.GetText() + "]."));
    EXPECT_NE(closed->GetError(), 0);  // a run of writes tested once at its end still fails

    Pointer<File> missing = new File(String(path + ".missing"));
    EXPECT_EQ(missing->Open(File::kRead), 1);
    EXPECT_EQ(missing->GetSize(), 0);
    EXPECT_TRUE(log.ContainsText("Невозможно открыть файл ["));
}

} // namespace
} // namespace nuv
