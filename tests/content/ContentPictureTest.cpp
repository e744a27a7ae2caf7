// The default scene drawn offscreen by nuvtool, as a person making content would look at it:
// the garlands shine in the shot made for them.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // top row first
};

// An uncompressed true-colour TGA as nuvtool writes it.
bool ReadTga(const fs::path& path, Picture& picture) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> tga((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (tga.size() < 18 || tga[2] != 2) return false;
    picture.width = tga[12] | tga[13] << 8;
    picture.height = tga[14] | tga[15] << 8;
    const int bytes = tga[16] / 8;
    const bool topFirst = (tga[17] & 0x20) != 0;
    const size_t start = 18 + tga[0];
    if (bytes < 3 || tga.size() < start + size_t(picture.width) * size_t(picture.height) * size_t(bytes)) return false;
    picture.rgb.resize(size_t(picture.width) * size_t(picture.height) * 3);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const int row = topFirst ? y : picture.height - 1 - y;
            const uint8_t* p = &tga[start + (size_t(row) * size_t(picture.width) + size_t(x)) * size_t(bytes)];
            uint8_t* q = &picture.rgb[(size_t(y) * size_t(picture.width) + size_t(x)) * 3];
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
        }
    return true;
}

int Count(const Picture& p, int firstRow, const std::function<bool(int, int, int)>& test) {
    int n = 0;
    for (int y = firstRow; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* q = &p.rgb[(size_t(y) * size_t(p.width) + size_t(x)) * 3];
            n += test(q[0], q[1], q[2]);
        }
    return n;
}

class ContentPictures : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("nuv-content-pictures-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir_);
    }
    // The last of `frames` frames of a shot; frames are a tenth of a second apart.
    bool Draw(const std::string& camera, int frames, Picture& picture) {
        const fs::path out = dir_ / camera;
        const std::string command = std::string("env -u DISPLAY -u WAYLAND_DISPLAY '") + NUVTOOL_PATH +
                                    "' render Main.STR --media '" + NUV_MEDIA_ARCHIVE + "' --camera '" + camera +
                                    "' --frames " + std::to_string(frames) + " --step 0.1 --out '" + out.string() +
                                    "' > /dev/null 2>&1";
        const int status = std::system(command.c_str());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
        char name[32];
        std::snprintf(name, sizeof name, "frame_%04d.tga", frames - 1);
        return ReadTga(out / name, picture);
    }
    fs::path dir_;
};

TEST_F(ContentPictures, TheGarlandsShineInTheirShot) {
    Picture lane;
    // A little over a second in: the red and the blue lamps are lit (the first dark group, the
    // red one, has passed).
    ASSERT_TRUE(Draw("Camera Garlands", 12, lane));
    // Against walls and windows that are orange or yellow, needles that are dark and a sky that
    // is a deep dull blue, nothing else is so pure a red or so bright a blue.
    const int red = Count(lane, 0, [](int r, int g, int b) { return r > 170 && g < 90 && b < 90; });
    const int blue = Count(lane, 0, [](int r, int g, int b) { return b > 170 && r < 130 && g < 200; });
    EXPECT_GT(red, 10);
    EXPECT_GT(blue, 10);
}

} // namespace
