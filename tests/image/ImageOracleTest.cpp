// Our codecs against ImageMagick, a reader and writer nobody here wrote: pictures it writes must
// decode to the pixels it reports, and pictures we write must read back the same in it.
#include "media/image/BmpImageCodec.h"
#include "media/image/Image.h"
#include "media/image/TgaImageCodec.h"
#ifdef NUV_HAVE_JPEG
#include "media/image/JpgImageCodec.h"
#endif

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace nuv {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

bool HaveConvert() {
    return std::system("convert -version >/dev/null 2>&1") == 0;
}

// stdout of a shell command; false when it fails.
bool Shell(const std::string& command, Bytes* output = nullptr) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    Bytes bytes;
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    const int status = pclose(pipe);
    if (output) *output = std::move(bytes);
    return status == 0;
}

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class ImageOracle : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
        dir_ = fs::temp_directory_path() / ("nuv_image_oracle_" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        if (!dir_.empty()) fs::remove_all(dir_, ec);
    }

    // Makes name with convert from a seeded plasma picture and the given options.
    // prefix names the output format where the extension does not say enough ("BMP3:").
    fs::path Make(const std::string& name, int width, int height, const std::string& options,
                  const std::string& prefix = "") {
        const fs::path path = dir_ / name;
        const std::string command = "convert -seed 7 -size " + std::to_string(width) + "x" + std::to_string(height) +
                                    " plasma: " + options + " " + prefix + "'" + path.string() + "'";
        EXPECT_TRUE(Shell(command)) << command;
        return path;
    }

    // ImageMagick's pixels of path, rows turned round so that row 0 is the bottom row as in our
    // images; layout "rgb", "rgba" or "gray". ImageMagick keeps a Targa's rows as stored and
    // records the origin apart; -auto-orient applies it.
    static Bytes Reference(const fs::path& path, const std::string& layout, int width, int height) {
        Bytes top;
        EXPECT_TRUE(Shell("convert '" + path.string() + "' -auto-orient -depth 8 " + layout + ":-", &top));
        const size_t row = top.size() / size_t(height);
        EXPECT_EQ(row * size_t(height), top.size());
        EXPECT_EQ(row % size_t(width), 0u);
        Bytes bottom;
        for (int y = height - 1; y >= 0; --y) bottom.insert(bottom.end(), top.begin() + row * y, top.begin() + row * (y + 1));
        return bottom;
    }

    static Pointer<Image> Decode(ImageCodec& codec, const fs::path& path) {
        const Bytes file = ReadFile(path);
        Pointer<Image> image = new Image;
        EXPECT_EQ(codec.Decode(file.data(), int(file.size()), *image, path.filename().c_str()), 0) << path;
        return image;
    }

    static Bytes PixelsOf(const Image& image) {
        return image.HasPixels() ? Bytes(image.GetPixels(), image.GetPixels() + image.GetDataSize()) : Bytes();
    }

    static int MaxDifference(const Bytes& a, const Bytes& b) {
        if (a.size() != b.size()) return 256;
        int worst = 0;
        for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
        return worst;
    }

    fs::path dir_;
};

TEST_F(ImageOracle, BitmapsWrittenByImageMagickDecodeExactly) {
    BmpImageCodec codec;
    int eightBit = 0;
    for (int width : {37, 40, 1, 2}) {
        // BMP3 has the 40-byte header; plain BMP a larger one that moves the pixels further on.
        for (const char* prefix : {"BMP3:", "BMP:"}) {
            const fs::path path = Make("c" + std::to_string(width) + ".bmp", width, 9, "-type TrueColor", prefix);
            Pointer<Image> image = Decode(codec, path);
            EXPECT_EQ(image->GetFormat(), Image::kRgb);
            EXPECT_EQ(PixelsOf(*image), Reference(path, "rgb", width, 9)) << prefix << " width " << width;
        }
        const fs::path grey = Make("g" + std::to_string(width) + ".bmp", width, 9, "-colorspace Gray -type Palette -compress None", "BMP3:");
        const Bytes file = ReadFile(grey);
        // ImageMagick picks fewer bits for a picture of few colours.
        if (file.size() > 28 && file[28] == 8) {
            ++eightBit;
            Pointer<Image> image = Decode(codec, grey);
            EXPECT_EQ(image->GetFormat(), Image::kOneChannel);
            EXPECT_EQ(PixelsOf(*image), Reference(grey, "gray", width, 9)) << "8-bit, width " << width;
        }
    }
    EXPECT_GE(eightBit, 2);
}

TEST_F(ImageOracle, TargasWrittenByImageMagickDecodeExactly) {
    TgaImageCodec codec;
    const std::string alpha = "-alpha set -channel A -fx 'u.r*0.9' +channel";
    struct Case {
        const char* name;
        std::string options;
        int type;
        int bits;
        bool top;
    } cases[] = {
        {"raw24.tga", "-alpha off", 2, 24, false},
        {"raw32.tga", alpha, 2, 32, false},
        {"rle24.tga", "-alpha off -compress RLE", 10, 24, false},
        {"rle32.tga", alpha + " -compress RLE", 10, 32, false},
        {"raw24top.tga", "-alpha off -orient TopLeft", 2, 24, true},
        {"rle32top.tga", alpha + " -compress RLE -orient TopLeft", 10, 32, true},
    };
    for (const Case& c : cases) {
        const fs::path path = Make(c.name, 33, 21, c.options);
        const Bytes file = ReadFile(path);
        ASSERT_GE(file.size(), 18u);
        // The case really is what it says.
        ASSERT_EQ(file[2], c.type) << c.name;
        ASSERT_EQ(file[16], c.bits) << c.name;
        ASSERT_EQ((file[17] & 0x20) != 0, c.top) << c.name;
        Pointer<Image> image = Decode(codec, path);
        EXPECT_EQ(PixelsOf(*image), Reference(path, c.bits == 32 ? "rgba" : "rgb", 33, 21)) << c.name;
    }
}

#ifdef NUV_HAVE_JPEG
TEST_F(ImageOracle, JpegsWrittenByImageMagickDecodeAlike) {
    JpgImageCodec codec;
    struct Case {
        const char* name;
        const char* options;
        bool grey;
    } cases[] = {
        {"base.jpg", "-quality 85", false},
        {"prog.jpg", "-quality 85 -interlace JPEG", false},
        {"grey.jpg", "-colorspace Gray -quality 75", true},
        {"greyprog.jpg", "-colorspace Gray -interlace JPEG", true},
        {"sub.jpg", "-quality 60 -sampling-factor 2x2", false},
    };
    for (const Case& c : cases) {
        const fs::path path = Make(c.name, 45, 31, c.options);
        Pointer<Image> image = Decode(codec, path);
        EXPECT_EQ(image->GetFormat(), c.grey ? Image::kOneChannel : Image::kRgb) << c.name;
        // The usual IDCT tolerance; the same library usually gives the very same bytes.
        EXPECT_LE(MaxDifference(PixelsOf(*image), Reference(path, c.grey ? "gray" : "rgb", 45, 31)), 2) << c.name;
    }
}
#endif

TEST_F(ImageOracle, PicturesWeWriteReadBackTheSameInImageMagick) {
    Pointer<Image> rgb = new Image("rgb", 37, 13, Image::kRgb);
    Pointer<Image> rgba = new Image("rgba", 37, 13, Image::kRgba);
    Pointer<Image> grey = new Image("grey", 37, 13, Image::kOneChannel);
    for (Image* image : {rgb.Get(), rgba.Get(), grey.Get()})
        for (int i = 0; i < image->GetDataSize(); ++i) image->GetPixels()[i] = uint8_t((i * 37) ^ (i >> 3));
    struct Case {
        ImageCodec* codec;
        Image* image;
        const char* name;
        const char* layout;
    };
    BmpImageCodec bmp;
    TgaImageCodec tga;
    const Case cases[] = {
        {&bmp, rgb.Get(), "ours24.bmp", "rgb"},
        {&bmp, grey.Get(), "ours8.bmp", "gray"},
        {&tga, rgb.Get(), "ours24.tga", "rgb"},
        {&tga, rgba.Get(), "ours32.tga", "rgba"},
    };
    for (const Case& c : cases) {
        Bytes file;
        ASSERT_EQ(c.codec->Encode(*c.image, file), 0) << c.name;
        WriteFile(dir_ / c.name, file);
        EXPECT_EQ(Reference(dir_ / c.name, c.layout, 37, 13), PixelsOf(*c.image)) << c.name;
    }
#ifdef NUV_HAVE_JPEG
    // A smooth picture, so that the comparison says something about row and channel order.
    Pointer<Image> smooth = new Image("smooth", 48, 24, Image::kRgb);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 48; ++x) {
            uint8_t* p = smooth->GetPixels() + (y * 48 + x) * 3;
            p[0] = uint8_t(x * 5), p[1] = uint8_t(y * 10), p[2] = uint8_t(200 - x * 2);
        }
    JpgImageCodec jpg;
    for (Image* image : {smooth.Get(), grey.Get()}) {
        Bytes file;
        ASSERT_EQ(jpg.Encode(*image, file), 0);
        const fs::path path = dir_ / (image->GetName().GetText() + std::string(".jpg"));
        WriteFile(path, file);
        Pointer<Image> ours = Decode(jpg, path);
        const char* layout = image->GetFormat() == Image::kOneChannel ? "gray" : "rgb";
        EXPECT_LE(MaxDifference(PixelsOf(*ours), Reference(path, layout, image->GetWidth(), image->GetHeight())), 2);
        if (image == smooth.Get()) {
            EXPECT_LE(MaxDifference(PixelsOf(*ours), PixelsOf(*image)), 16);
        }
        Bytes quality;
        ASSERT_TRUE(Shell("identify -format %Q '" + path.string() + "'", &quality));
        EXPECT_EQ(std::string(quality.begin(), quality.end()), "50");
    }
#endif
}

} // namespace
} // namespace nuv
