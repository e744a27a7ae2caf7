// The look of the shipped scene's seven shots, kept: each shot is drawn by nuvtool as the
// screensaver starts (particles warmed up, fixed steps and seed), shrunk to a thumbnail of
// 10 x 10 pixel averages and compared with the thumbnail committed in look/. Work on the
// renderer's speed must not lose a shadow, a reflection, the glow or the sky on the way.
//   NUV_LOOK_UPDATE=FOLDER writes the thumbnails into FOLDER instead (to replace the committed
//   ones, with a reason, when the look is meant to change).
#include "TgaPicture.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kBlock = 10;
// A block counts as changed when a channel of its average moved by more than this.
constexpr int kChangedLevel = 6;
// More changed blocks than this (of 80 x 60) and the shot no longer looks as it did. The
// snow is the same flakes every run (fixed seed); what is allowed is rounding in the passes.
constexpr int kChangedBlocksAllowed = 4;

const char* const kShots[] = {"Camera Pond",    "Camera Ice",  "Camera Skater", "Camera Snowman",
                              "Camera Garlands", "Camera Fire", "Camera High"};

struct Thumbnail {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

Thumbnail Shrink(const TgaPicture& p) {
    Thumbnail t;
    t.width = p.width / kBlock;
    t.height = p.height / kBlock;
    t.rgb.resize(size_t(t.width) * size_t(t.height) * 3);
    for (int ty = 0; ty < t.height; ++ty)
        for (int tx = 0; tx < t.width; ++tx)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int y = ty * kBlock; y < (ty + 1) * kBlock; ++y)
                    for (int x = tx * kBlock; x < (tx + 1) * kBlock; ++x)
                        sum += p.rgb[(size_t(y) * size_t(p.width) + size_t(x)) * 3 + size_t(c)];
                t.rgb[(size_t(ty) * size_t(t.width) + size_t(tx)) * 3 + size_t(c)] =
                    uint8_t((sum + kBlock * kBlock / 2) / (kBlock * kBlock));
            }
    return t;
}

// Binary PPM (P6), the simplest picture any viewer opens.
bool WritePpm(const fs::path& path, const Thumbnail& t) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << t.width << " " << t.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(t.rgb.data()), std::streamsize(t.rgb.size()));
    return bool(out);
}

bool ReadPpm(const fs::path& path, Thumbnail& t) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    if (!(in >> magic >> t.width >> t.height >> maxValue) || magic != "P6" || maxValue != 255 || t.width <= 0 ||
        t.height <= 0 || t.width > 1000 || t.height > 1000)
        return false;
    in.get();
    t.rgb.resize(size_t(t.width) * size_t(t.height) * 3);
    return bool(in.read(reinterpret_cast<char*>(t.rgb.data()), std::streamsize(t.rgb.size())));
}

// Blocks whose average moved by more than kChangedLevel in any channel; -1 when the sizes differ.
int ChangedBlocks(const Thumbnail& a, const Thumbnail& b) {
    if (a.width != b.width || a.height != b.height) return -1;
    int changed = 0;
    for (size_t i = 0; i < a.rgb.size(); i += 3) {
        int most = 0;
        for (size_t c = 0; c < 3; ++c) most = std::max(most, std::abs(int(a.rgb[i + c]) - int(b.rgb[i + c])));
        changed += most > kChangedLevel;
    }
    return changed;
}

std::string FileName(const std::string& camera) {
    std::string name = camera;
    std::replace(name.begin(), name.end(), ' ', '_');
    return name + ".ppm";
}

class ContentLook : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("nuv-content-look-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir_);
    }
    // The shot's second frame, a tenth of a second after the warmed-up first.
    bool Draw(const std::string& camera, const std::string& options, Thumbnail& thumbnail) {
        const fs::path out = dir_ / (FileName(camera) + options);
        const std::string command = std::string("env -u DISPLAY -u WAYLAND_DISPLAY '") + NUVTOOL_PATH +
                                    "' render Main.STR --media '" + NUV_MEDIA_ARCHIVE + "' --camera '" + camera +
                                    "' --warm-up --seed 7 --frames 2 --step 0.1 " + options + " --out '" +
                                    out.string() + "' > /dev/null 2>&1";
        const int status = std::system(command.c_str());
        TgaPicture picture;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !picture.Read(out / "frame_0001.tga")) return false;
        thumbnail = Shrink(picture);
        return true;
    }
    fs::path dir_;
};

TEST_F(ContentLook, EveryShotLooksAsItsThumbnail) {
    const char* update = std::getenv("NUV_LOOK_UPDATE");
    for (const char* camera : kShots) {
        Thumbnail drawn, kept;
        ASSERT_TRUE(Draw(camera, "", drawn)) << camera;
        if (update && *update) {
            ASSERT_TRUE(WritePpm(fs::path(update) / FileName(camera), drawn)) << camera;
            continue;
        }
        ASSERT_TRUE(ReadPpm(fs::path(NUV_LOOK_DIR) / FileName(camera), kept)) << camera;
        const int changed = ChangedBlocks(drawn, kept);
        std::printf("%-16s %4d changed blocks\n", camera, changed);
        EXPECT_GE(changed, 0) << camera << ": the thumbnail's size changed";
        EXPECT_LE(changed, kChangedBlocksAllowed) << camera;
        if (changed != 0) WritePpm(dir_ / ("drawn-" + FileName(camera)), drawn);
    }
}

// The tolerance is tight enough to see what the speed work could lose: a shot drawn without
// its shadows or without the glow does not pass as the thumbnail.
TEST_F(ContentLook, ALostShadowOrGlowIsSeen) {
    struct Case {
        const char* camera;
        const char* options;
    };
    const Case cases[] = {
        {"Camera Pond", "--no-shadows"}, {"Camera Snowman", "--no-shadows"}, {"Camera Fire", "--no-shadows"},
        {"Camera Pond", "--no-shine"},   {"Camera Ice", "--no-shine"},       {"Camera High", "--no-shine"},
    };
    for (const Case& c : cases) {
        Thumbnail drawn, kept;
        ASSERT_TRUE(Draw(c.camera, c.options, drawn)) << c.camera << " " << c.options;
        ASSERT_TRUE(ReadPpm(fs::path(NUV_LOOK_DIR) / FileName(c.camera), kept)) << c.camera;
        const int changed = ChangedBlocks(drawn, kept);
        std::printf("%-16s %-13s %4d changed blocks\n", c.camera, c.options, changed);
        EXPECT_GT(changed, kChangedBlocksAllowed) << c.camera << " " << c.options;
    }
}

} // namespace
