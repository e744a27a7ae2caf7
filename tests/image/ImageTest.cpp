// Images in the running engine: the codec modules, choosing a codec by extension, loading
// through the file tree, and what a scene file keeps of an image.
#include "core/SceneFile.h"
#include "core/Stream.h"
#include "media/CodecManager.h"
#include "media/FileManager.h"
#include "media/Folder.h"
#include "media/MemoryFile.h"
#include "media/ModuleManager.h"
#include "media/image/BmpImageCodec.h"
#include "media/image/CubeImageCodec.h"
#include "media/image/Image.h"
#include "media/image/TgaImageCodec.h"
#include "media/image/VolumeImage.h"
#include "../core/TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace nuv {
namespace {

using Bytes = std::vector<uint8_t>;

Pointer<Image> MakeImage(int width, int height, int format) {
    Pointer<Image> image = new Image("made", width, height, format);
    for (int i = 0; i < image->GetDataSize(); ++i) image->GetPixels()[i] = uint8_t(i * 5 + 1);
    return image;
}

Pointer<MemoryFile> MakeFile(const char* name, Bytes bytes) {
    Pointer<MemoryFile> file = new MemoryFile(name);
    file->SetContent(std::move(bytes));
    return file;
}

// A folder under the root for the length of one test.
struct AttachedFolder {
    explicit AttachedFolder(const char* name) : folder(new Folder(name, FileManager::GetRoot())) {}
    ~AttachedFolder() { delete folder; }
    Folder* folder;
};

TEST(ImageCodecs, ModulesCreateTheCodecsAndExtensionsChooseThem) {
    const char* names[] = {"BMPImageCodec", "JPGImageCodec", "TGAImageCodec", "CUBEImageCodec"};
    for (const char* name : names) {
#ifndef NUV_HAVE_JPEG
        if (String(name) == "JPGImageCodec") continue;
#endif
        ASSERT_NE(ModuleManager::FindModule(name), nullptr) << name;
        Codec* codec = nullptr;
        ASSERT_EQ(CodecManager::GetCodec(name, &codec), 0) << name;
        EXPECT_EQ(codec->GetKind(), Codec::kImage);
        EXPECT_EQ(codec->GetName(), name);
    }
    struct Case {
        const char* file;
        const char* codec;
    } cases[] = {{"a.bmp", "BMPImageCodec"}, {"a.Bmp", "BMPImageCodec"}, {"fir02.TGA", "TGAImageCodec"},
                 {"sky.cube", "CUBEImageCodec"}, {"x.y.Cube", "CUBEImageCodec"}, {"a.bMp", nullptr},
                 {"tga", nullptr},
#ifdef NUV_HAVE_JPEG
                 {"loader.jpg", "JPGImageCodec"}, {"photo.jpeg", "JPGImageCodec"}, {"P.JPEG", "JPGImageCodec"},
#endif
    };
    for (const Case& c : cases) {
        Pointer<MemoryFile> file = new MemoryFile(c.file);
        Codec* found = CodecManager::FindCodecForFile(file.Get());
        if (c.codec) {
            ASSERT_NE(found, nullptr) << c.file;
            EXPECT_EQ(found->GetName(), c.codec) << c.file;
        } else {
            EXPECT_EQ(found, nullptr) << c.file;
        }
    }
}

TEST(Image, LoadsFromAFileThroughTheCodecOfItsExtension) {
    Pointer<Image> source = MakeImage(5, 3, Image::kRgb);
    Bytes bytes;
    ASSERT_EQ(BmpImageCodec().Encode(*source, bytes), 0);
    Pointer<MemoryFile> file = MakeFile("snow.bmp", bytes);
    Pointer<Image> image = new Image(file.Get(), "");
    EXPECT_EQ(image->GetName(), "snow.bmp");
    EXPECT_EQ(image->GetFileName(), "snow.bmp");
    ASSERT_EQ(image->GetDataSize(), source->GetDataSize());
    EXPECT_EQ(Bytes(image->GetPixels(), image->GetPixels() + 45), Bytes(source->GetPixels(), source->GetPixels() + 45));
    EXPECT_FALSE(file->IsOpen());

    test::LogRecorder log;
    Pointer<MemoryFile> noCodec = MakeFile("snow.png", bytes);
    EXPECT_EQ(image->LoadFromFile(noCodec.Get()), 3);
    EXPECT_TRUE(log.Contains(1, "Не найден кодек для файла при загрузке изображения [snow.bmp]."));
    EXPECT_EQ(image->LoadFromFile(nullptr), 3);
    EXPECT_TRUE(log.Contains(1, "Указатель на файл равен 0 при загрузке изображения [snow.bmp]."));
    Pointer<MemoryFile> broken = MakeFile("broken.tga", Bytes(30, 0));
    EXPECT_EQ(image->LoadFromFile(broken.Get()), 1);
    EXPECT_TRUE(log.Contains(2, "Неудачна загрузка изображения [snow.bmp]."));
    EXPECT_EQ(image->GetWidth(), 5);  // the failed load kept the pixels
}

TEST(Image, SceneKeepsTheFileNameAndReloadsThePixelsFromTheTree) {
    Pointer<Image> source = MakeImage(2, 3, Image::kRgba);
    Bytes bytes;
    ASSERT_EQ(TgaImageCodec().Encode(*source, bytes), 0);
    AttachedFolder media("Media.rar2");
    Folder* textures = new Folder("Textures", media.folder);
    ASSERT_EQ(textures->AttachFile(MakeFile("fir02.tga", bytes).Get()), 0);

    Pointer<Image> image = new Image(FileManager::FindFile("Textures/fir02.tga"), "Fir");
    ASSERT_EQ(image->GetFileName(), "fir02.tga");
    Stream stream(0, 256);
    ASSERT_EQ(image->Save(stream), 0);
    const int saved = stream.GetPosition();

    // Nothing after the file name: no size, no pixels.
    Stream plain(0, 256);
    Pointer<Object> object = new Object("Fir");
    ASSERT_EQ(object->Save(plain), 0);
    EXPECT_EQ(saved, plain.GetPosition() + 4 + 9);

    stream.SetPosition(0);
    test::LogRecorder log;
    Pointer<Image> loaded = new Image;
    ASSERT_EQ(loaded->Load(stream), 0);
    EXPECT_EQ(loaded->GetName(), "Fir");
    EXPECT_EQ(loaded->GetFormat(), Image::kRgba);
    ASSERT_EQ(loaded->GetDataSize(), source->GetDataSize());
    EXPECT_EQ(Bytes(loaded->GetPixels(), loaded->GetPixels() + 24), Bytes(source->GetPixels(), source->GetPixels() + 24));
    EXPECT_TRUE(log.Contains(0, "Изображение [Fir] загружено."));

    // The file gone, the load fails and says which file it wanted.
    ASSERT_EQ(textures->DetachFile(FileManager::FindFile("fir02.tga")), 0);
    stream.SetPosition(0);
    Pointer<Image> missing = new Image;
    EXPECT_EQ(missing->Load(stream), 1);
    EXPECT_TRUE(log.ContainsText("Файл[fir02.tga]"));
}

TEST(Image, SceneKeepsSizeAndFormatOfAPictureMadeInMemory) {
    Pointer<VolumeImage> volume = new VolumeImage("shadow", 8, 4, Image::kOneChannel, 3);
    ASSERT_TRUE(volume->HasPixels());
    EXPECT_EQ(volume->GetDataSize(), 96);
    Stream stream(0, 256);
    ASSERT_EQ(volume->Save(stream), 0);
    stream.SetPosition(0);
    Pointer<VolumeImage> back = new VolumeImage;
    ASSERT_EQ(back->Load(stream), 0);
    EXPECT_EQ(back->GetWidth(), 8);
    EXPECT_EQ(back->GetHeight(), 4);
    EXPECT_EQ(back->GetDepth(), 3);
    EXPECT_EQ(back->GetFormat(), Image::kOneChannel);
    EXPECT_TRUE(back->HasPixels());

    // Width, height, format as the stream stores them after the empty file name.
    auto forged = [](int32_t width, int32_t height, int32_t format) {
        Stream s(0, 64);
        Pointer<Object> base = new Object("f");
        base->Save(s);
        s.WriteString("");
        s.WriteInt(width);
        s.WriteInt(height);
        s.WriteInt(format);
        s.SetPosition(0);
        Pointer<Image> image = new Image;
        return image->Load(s);
    };
    EXPECT_EQ(forged(16, 16, Image::kRgb), 0);
    EXPECT_EQ(forged(60000, 60000, Image::kRgba), 1);  // nothing backs 14 GB of pixels
    EXPECT_EQ(forged(-4, 4, Image::kRgb), 1);
    EXPECT_EQ(forged(4, 4, 9), 1);
}

// Volumes whose stored sizes multiply past 64 bits, or past the limit, never load: the 65-byte
// scene of the first case once loaded as a valid 2097152-cubed picture of no pixels.
TEST(Image, ForgedVolumeSizesFailTheSceneLoad) {
    struct Case {
        int32_t width, height, depth, format;
        int status;
    };
    const Case cases[] = {
        {0x200000, 0x200000, 0x200000, Image::kWide, 1},  // 8 x 2^63 wraps to 0
        {0x7fffffff, 0x7fffffff, 0x7fffffff, Image::kWide, 1},
        {0x7fffffff, 0x7fffffff, 2, Image::kOneChannel, 1},
        {65536, 65536, 0x10000, 4, 1},  // drawn only, still bounded
        {1 << 20, 1 << 20, 1, 5, 1},
        {2048, 2048, 1, 4, 0},  // a shadow map's size
        {0, 0x7fffffff, 0x7fffffff, Image::kWide, 0},  // no pixels at all
        {16, 16, 6, Image::kRgb, 0},
    };
    for (const Case& c : cases) {
        // Version, the root's link and class name, its name "VI", no controllers, no file name.
        Stream file(0, 128);
        const int32_t version[3] = {0, 1, 2};
        file.WriteInt3(version);
        file.WriteInt(1);
        file.WriteString("Nuv.VolumeImage");
        file.WriteString("VI");
        file.WriteInt(0);
        file.WriteString("");
        file.WriteInt(c.width);
        file.WriteInt(c.height);
        file.WriteInt(c.depth);
        file.WriteInt(c.format);
        ASSERT_EQ(file.GetPosition(), 65);
        file.SetPosition(0);
        test::LogRecorder log;
        Pointer<Object> root;
        EXPECT_EQ(SceneFile::Read(file, root), c.status) << c.width << "x" << c.height << "x" << c.depth;
        if (c.status != 0) {
            EXPECT_FALSE(root);
            EXPECT_TRUE(log.ContainsText("Недопустимый размер или формат изображения"));
        } else {
            auto* volume = DynamicCast<VolumeImage>(root.Get());
            ASSERT_NE(volume, nullptr);
            EXPECT_EQ(volume->GetDepth(), c.depth);
            EXPECT_EQ(volume->HasPixels(), volume->GetDataSize() > 0);
        }
    }
    EXPECT_EQ(Image::CheckedSize(8, 0x200000, 0x200000, 0x200000, INT64_MAX), -1);
    EXPECT_EQ(Image::CheckedSize(4, 3, 5, 7, 420), 420);
    EXPECT_EQ(Image::CheckedSize(4, 3, 5, 7, 419), -1);
    EXPECT_EQ(Image::CheckedSize(4, -3, 5, 7, 420), -1);
}

TEST(Image, CubeFileLoadsIntoAVolume) {
    Pointer<VolumeImage> volume = new VolumeImage("sky", 2, 2, Image::kRgb, 6);
    for (int i = 0; i < volume->GetDataSize(); ++i) volume->GetPixels()[i] = uint8_t(i);
    Bytes bytes;
    ASSERT_EQ(CubeImageCodec().Encode(*volume, bytes), 0);
    Pointer<MemoryFile> file = MakeFile("sky.cube", bytes);
    Pointer<Object> out;
    Codec* codec = CodecManager::FindCodecForFile(file.Get());
    ASSERT_NE(codec, nullptr);
    ASSERT_EQ(codec->Load(file.Get(), out), 0);
    auto* loaded = DynamicCast<VolumeImage>(out.Get());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetDepth(), 6);
    EXPECT_EQ(Bytes(loaded->GetPixels(), loaded->GetPixels() + 72), Bytes(volume->GetPixels(), volume->GetPixels() + 72));
    EXPECT_EQ(codec->Save(file.Get(), MakeImage(2, 2, Image::kRgb).Get()), 1);
}

} // namespace
} // namespace nuv
