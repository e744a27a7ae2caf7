// "nuvtool image" as a content maker runs it: exit codes, the info line, conversions between
// formats, and files it must refuse.
#include "media/image/BmpImageCodec.h"
#include "media/image/Image.h"
#include "media/image/TgaImageCodec.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace nuv {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class ImageTool : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("nuv_image_tool_" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    // Exit code of nuvtool image ARGS; its standard output in out.
    int Tool(const std::string& args, std::string* out = nullptr) {
        FILE* pipe = popen((std::string(NUVTOOL_PATH) + " image " + args + " 2>/dev/null").c_str(), "r");
        if (!pipe) return -1;
        std::string text;
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) text.append(buffer, n);
        const int status = pclose(pipe);
        if (out) *out = text;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Path(const char* name) const { return "'" + (dir_ / name).string() + "'"; }
    void Write(const char* name, const Bytes& bytes) const {
        std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    Bytes Read(const char* name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    fs::path dir_;
};

TEST_F(ImageTool, InfoAndConvertBetweenFormats) {
    Pointer<Image> image = new Image("rgba", 5, 3, Image::kRgba);
    for (int i = 0; i < image->GetDataSize(); ++i) image->GetPixels()[i] = uint8_t(i * 11);
    Bytes tga;
    ASSERT_EQ(TgaImageCodec().Encode(*image, tga), 0);
    Write("in.tga", tga);

    std::string out;
    ASSERT_EQ(Tool("info " + Path("in.tga"), &out), 0);
    EXPECT_NE(out.find("TGAImageCodec 5x3, format 1 (RGBA), 60 bytes of pixels"), std::string::npos) << out;

    // A bitmap holds no alpha: the colour channels arrive, the alpha is dropped.
    ASSERT_EQ(Tool("convert " + Path("in.tga") + " " + Path("out.bmp")), 0);
    const Bytes bmp = Read("out.bmp");
    Pointer<Image> back = new Image;
    ASSERT_EQ(BmpImageCodec().Decode(bmp.data(), int(bmp.size()), *back, "out.bmp"), 0);
    ASSERT_EQ(back->GetFormat(), Image::kRgb);
    for (int i = 0; i < 15; ++i)
        for (int c = 0; c < 3; ++c) ASSERT_EQ(back->GetPixels()[i * 3 + c], image->GetPixels()[i * 4 + c]);

    // And back to a Targa, byte for byte what our encoder writes for those pixels.
    ASSERT_EQ(Tool("convert " + Path("out.bmp") + " " + Path("again.tga")), 0);
    Bytes expected;
    ASSERT_EQ(TgaImageCodec().Encode(*back, expected), 0);
    EXPECT_EQ(Read("again.tga"), expected);
}

TEST_F(ImageTool, RefusesWhatItCannotRead) {
    Write("broken.tga", Bytes(40, 7));
    Write("picture.png", Bytes(40, 7));
    EXPECT_EQ(Tool("info " + Path("broken.tga")), 1);
    EXPECT_EQ(Tool("info " + Path("picture.png")), 2);
    EXPECT_EQ(Tool("info " + Path("missing.bmp")), 2);
    EXPECT_EQ(Tool("convert " + Path("broken.tga") + " " + Path("x.bmp")), 1);
    EXPECT_FALSE(fs::exists(dir_ / "x.bmp"));
    EXPECT_EQ(Tool("frobnicate"), 2);
    EXPECT_EQ(Tool("info"), 2);
    EXPECT_EQ(Tool("--help"), 0);
}

} // namespace
} // namespace nuv
