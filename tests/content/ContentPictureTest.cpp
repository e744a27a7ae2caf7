// The default scene drawn offscreen by nuvtool, as a person making content would look at it:
// the garlands shine in the shot made for them, and snow is seen against the sky in every shot.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <algorithm>
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
        std::vector<Picture> pictures;
        if (!DrawAll(camera, frames, "0.1", "", pictures)) return false;
        picture = std::move(pictures.back());
        return true;
    }
    // Every frame of a shot, `step` seconds apart, after the extra render options.
    bool DrawAll(const std::string& camera, int frames, const std::string& step, const std::string& options,
                 std::vector<Picture>& pictures) {
        const fs::path out = dir_ / camera;
        const std::string command = std::string("env -u DISPLAY -u WAYLAND_DISPLAY '") + NUVTOOL_PATH +
                                    "' render Main.STR --media '" + NUV_MEDIA_ARCHIVE + "' --camera '" + camera +
                                    "' --frames " + std::to_string(frames) + " --step " + step + " " + options +
                                    " --out '" + out.string() + "' > /dev/null 2>&1";
        const int status = std::system(command.c_str());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
        pictures.resize(size_t(frames));
        for (int i = 0; i < frames; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "frame_%04d.tga", i);
            if (!ReadTga(out / name, pictures[size_t(i)])) return false;
        }
        return true;
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

// Snowflakes as the pictures show them: soft white spots at least two pixels across. Stars are
// single sharp pixels, smoke and fire are grey or coloured.
std::vector<uint8_t> FlakeMask(const Picture& p, int lastRow) {
    std::vector<uint8_t> mask(size_t(p.width) * size_t(lastRow), 0);
    auto at = [&](int x, int y) { return &p.rgb[(size_t(y) * size_t(p.width) + size_t(x)) * 3]; };
    auto light = [&](int x, int y) {
        const uint8_t* q = at(x, y);
        const int lo = std::min({q[0], q[1], q[2]}), hi = std::max({q[0], q[1], q[2]});
        return (q[0] + q[1] + q[2]) / 3 > 85 && hi - lo < 45;
    };
    // The night sky: dark and blue.
    auto sky = [&](int x, int y) {
        const uint8_t* q = at(x, y);
        return (q[0] + q[1] + q[2]) / 3 < 70 && q[2] > q[0] + 12;
    };
    const int r = 6;
    for (int y = r; y + r < lastRow; ++y)
        for (int x = r; x + r < p.width; ++x)
            if (light(x, y) && (light(x + 1, y) || light(x - 1, y)) && (light(x, y + 1) || light(x, y - 1)) &&
                sky(x - r, y) && sky(x + r, y) && sky(x, y - r) && sky(x, y + r))
                mask[size_t(y) * size_t(p.width) + size_t(x)] = 1;
    return mask;
}

int CountFlakePixels(const Picture& p, int lastRow) {
    int n = 0;
    for (uint8_t m : FlakeMask(p, lastRow)) n += m;
    return n;
}

// Every shot that shows sky shows snow: soft white spots against the night sky in each frame of
// a short run started as the screensaver starts (after its warm-up).
TEST_F(ContentPictures, SnowIsSeenAgainstTheSkyInEveryShot) {
    for (const char* camera : {"Camera Pond", "Camera Ice", "Camera Skater", "Camera Snowman", "Camera Garlands",
                               "Camera Fire", "Camera High"}) {
        std::vector<Picture> frames;
        ASSERT_TRUE(DrawAll(camera, 3, "0.5", "--warm-up", frames)) << camera;
        for (size_t i = 0; i < frames.size(); ++i) {
            const int flakes = CountFlakePixels(frames[i], frames[i].height / 3);
            std::printf("%-16s frame %zu: %4d flake pixels in the sky\n", camera, i, flakes);
            EXPECT_GT(flakes, 20) << camera << " frame " << i;
        }
    }
}

} // namespace
