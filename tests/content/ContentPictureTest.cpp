// The default scene drawn offscreen by nuvtool, as a person making content would look at it:
// the garlands shine in the shot made for them, and snow is seen against the sky in every shot.
#include "TgaPicture.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Picture = TgaPicture;

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
    // Every frame of a shot, `step` seconds apart, after the extra render options. The snow is
    // the same every run (a fixed seed), so what these tests count does not change by chance.
    bool DrawAll(const std::string& camera, int frames, const std::string& step, const std::string& options,
                 std::vector<Picture>& pictures) {
        const fs::path out = dir_ / camera;
        const std::string command = std::string("env -u DISPLAY -u WAYLAND_DISPLAY '") + NUVTOOL_PATH +
                                    "' render Main.STR --seed 7 --media '" + NUV_MEDIA_ARCHIVE + "' --camera '" + camera +
                                    "' --frames " + std::to_string(frames) + " --step " + step + " " + options +
                                    " --out '" + out.string() + "' > /dev/null 2>&1";
        const int status = std::system(command.c_str());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
        pictures.resize(size_t(frames));
        for (int i = 0; i < frames; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "frame_%04d.tga", i);
            if (!pictures[size_t(i)].Read(out / name)) return false;
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
        int total = 0;
        for (size_t i = 0; i < frames.size(); ++i) {
            const int flakes = CountFlakePixels(frames[i], frames[i].height / 3);
            std::printf("%-16s frame %zu: %4d flake pixels in the sky\n", camera, i, flakes);
            EXPECT_GT(flakes, 10) << camera << " frame " << i;
            total += flakes;
        }
        EXPECT_GT(total, 60) << camera;
    }
}

// Stars: sharp single bright pixels against the dark sky.
std::vector<std::pair<int, int>> Stars(const Picture& p, int lastRow) {
    std::vector<std::pair<int, int>> stars;
    auto lum = [&](int x, int y) {
        const uint8_t* q = &p.rgb[(size_t(y) * size_t(p.width) + size_t(x)) * 3];
        return (q[0] + q[1] + q[2]) / 3;
    };
    for (int y = 1; y + 1 < lastRow; ++y)
        for (int x = 1; x + 1 < p.width; ++x) {
            const int l = lum(x, y);
            if (l > 90 && l > lum(x - 1, y) + 40 && l > lum(x + 1, y) + 40 && l > lum(x, y - 1) + 40 &&
                l > lum(x, y + 1) + 40)
                stars.emplace_back(x, y);
        }
    return stars;
}

// Centres of the flake blobs (connected pixels of the flake mask).
std::vector<std::pair<double, double>> Flakes(const Picture& p, int lastRow) {
    std::vector<uint8_t> mask = FlakeMask(p, lastRow);
    std::vector<std::pair<double, double>> centres;
    for (int y = 0; y < lastRow; ++y)
        for (int x = 0; x < p.width; ++x) {
            if (!mask[size_t(y) * size_t(p.width) + size_t(x)]) continue;
            std::vector<std::pair<int, int>> stack{{x, y}};
            mask[size_t(y) * size_t(p.width) + size_t(x)] = 0;
            double sx = 0, sy = 0;
            int n = 0;
            while (!stack.empty()) {
                const auto [cx, cy] = stack.back();
                stack.pop_back();
                sx += cx;
                sy += cy;
                ++n;
                for (const auto& [dx, dy] : {std::pair{1, 0}, std::pair{-1, 0}, std::pair{0, 1}, std::pair{0, -1}}) {
                    const int nx = cx + dx, ny = cy + dy;
                    if (nx < 0 || ny < 0 || nx >= p.width || ny >= lastRow) continue;
                    uint8_t& m = mask[size_t(ny) * size_t(p.width) + size_t(nx)];
                    if (m) {
                        m = 0;
                        stack.emplace_back(nx, ny);
                    }
                }
            }
            centres.emplace_back(sx / n, sy / n);
        }
    return centres;
}

// How far the sky itself moved between two frames (the camera turning): the offset that lays
// the most stars of a onto stars of b.
std::pair<int, int> SkyShift(const Picture& a, const Picture& b, int lastRow) {
    const auto sa = Stars(a, lastRow), sb = Stars(b, lastRow);
    std::set<std::pair<int, int>> in(sb.begin(), sb.end());
    std::pair<int, int> best{0, 0};
    int bestCount = -1;
    for (int dy = -12; dy <= 12; ++dy)
        for (int dx = -12; dx <= 12; ++dx) {
            int count = 0;
            for (const auto& [x, y] : sa) count += in.count({x + dx, y + dy}) ? 1 : 0;
            if (count > bestCount) {
                bestCount = count;
                best = {dx, dy};
            }
        }
    return best;
}

// Each flake of a followed to the nearest flake of b, after the sky's own shift: how many went
// down and how many went up by more than half a row.
std::pair<int, int> FlakeMoves(const Picture& a, const Picture& b, int lastRow) {
    const auto shift = SkyShift(a, b, lastRow);
    const auto fa = Flakes(a, lastRow), fb = Flakes(b, lastRow);
    int down = 0, up = 0;
    for (const auto& [x, y] : fa) {
        double best = 1e9, fall = 0;
        for (const auto& [u, v] : fb) {
            const double dx = u - (x + shift.first), dy = v - (y + shift.second);
            const double d = dx * dx + dy * dy;
            if (d < best) {
                best = d;
                fall = dy;
            }
        }
        if (best > 12.0 * 12.0) continue;
        down += fall > 0.5 ? 1 : 0;
        up += fall < -0.5 ? 1 : 0;
    }
    return {down, up};
}

// Falling flakes: followed from one frame to the next a tenth of a second later (the sky's own
// shift, from its stars, taken out), far more of them go down than up.
TEST_F(ContentPictures, SnowFallsAgainstTheSky) {
    int allDown = 0, allUp = 0;
    for (const char* camera : {"Camera Pond", "Camera Ice", "Camera Skater", "Camera Snowman", "Camera Garlands",
                               "Camera Fire", "Camera High"}) {
        std::vector<Picture> frames;
        ASSERT_TRUE(DrawAll(camera, 2, "0.1", "--warm-up", frames)) << camera;
        const int rows = frames[0].height / 3;
        const auto [down, up] = FlakeMoves(frames[0], frames[1], rows);
        std::printf("%-16s flakes going down %3d, going up %3d\n", camera, down, up);
        // A shot with few flakes in its sky says little on its own.
        if (down + up >= 15) {
            EXPECT_GT(down, up) << camera;
        }
        allDown += down;
        allUp += up;
    }
    EXPECT_GT(allDown, 60);
    EXPECT_GT(allDown, 2 * allUp);
}

} // namespace
