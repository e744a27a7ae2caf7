// nuvtool render, run as a person runs it: the default scene drawn offscreen from its media
// archive into pictures, and the answers to bad requests.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class RenderCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("nuvtool-render-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir_);
    }
    int Run(const std::string& args) {
        const std::string command = std::string("env -u DISPLAY -u WAYLAND_DISPLAY '") + NUVTOOL_PATH + "' render " + args +
                                    " > '" + (dir_ / "out.txt").string() + "' 2> '" + (dir_ / "err.txt").string() + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    fs::path dir_;
    const std::string scene_ = std::string("Main.STR --media '") + NUV_MEDIA_ARCHIVE + "'";
};

TEST_F(RenderCommandTest, DrawsEveryFrameAtTheAskedSize) {
    ASSERT_EQ(Run(scene_ + " --size 96x64 --frames 2 --out '" + (dir_ / "frames").string() + "'"), 0);
    for (const char* name : {"frame_0000.tga", "frame_0001.tga"}) {
        const std::vector<uint8_t> tga = ReadBytes(dir_ / "frames" / name);
        ASSERT_EQ(tga.size(), 18u + 96u * 64u * 3u) << name;
        EXPECT_EQ(tga[2], 2);  // uncompressed true colour
        EXPECT_EQ(tga[12] | tga[13] << 8, 96);
        EXPECT_EQ(tga[14] | tga[15] << 8, 64);
        // Sky, snow, houses and lit windows: far more than the clear colour.
        std::set<uint32_t> colours;
        for (size_t i = 18; i + 2 < tga.size(); i += 3) colours.insert(uint32_t(tga[i] | tga[i + 1] << 8 | tga[i + 2] << 16));
        EXPECT_GT(colours.size(), 50u) << name;
    }
}

// The profile's table: a header, one row per section (name, ms, pixels, runs) and a total whose
// pixels are the rows' sum; the glow's composite covers the whole picture once.
TEST_F(RenderCommandTest, ProfileListsEverySectionAndItsPixels) {
    ASSERT_EQ(Run(scene_ + " --size 96x64 --profile --out '" + (dir_ / "frames").string() + "'"), 0);
    std::ifstream in(dir_ / "out.txt");
    std::string line;
    while (std::getline(in, line) && line.rfind("profile over 1 frame(s)", 0) != 0) {}
    ASSERT_FALSE(in.eof()) << "no profile";
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line.rfind("section", 0), 0u) << line;
    std::set<std::string> names;
    long long sum = 0, total = -1, composite = -1;
    while (std::getline(in, line)) {
        // The name may hold spaces; the three figures close the row.
        std::istringstream fields(line);
        std::vector<std::string> words;
        for (std::string w; fields >> w;) words.push_back(w);
        if (!words.empty() && words[0] == "total") {
            ASSERT_EQ(words.size(), 3u) << line;
            EXPECT_GE(std::stod(words[1]), 0.0) << line;
            total = std::stoll(words[2]);
            break;
        }
        ASSERT_GE(words.size(), 4u) << line;
        std::string name = words[0];
        for (size_t i = 1; i + 3 < words.size(); ++i) name += " " + words[i];
        EXPECT_TRUE(names.insert(name).second) << "twice: " << name;
        EXPECT_GE(std::stod(words[words.size() - 3]), 0.0) << line;
        const long long pixels = std::stoll(words[words.size() - 2]);
        EXPECT_GE(pixels, 0) << line;
        EXPECT_GE(std::stod(words[words.size() - 1]), 1.0) << line;
        sum += pixels;
        if (name == "glow composite") composite = pixels;
    }
    EXPECT_EQ(total, sum);
    EXPECT_EQ(composite, 96 * 64);
    for (const char* name : {"opaque", "opaque [Screen Texture]", "sprites [Screen Texture]"})
        EXPECT_TRUE(names.count(name)) << name;
    bool shadow = false;
    for (const std::string& name : names) shadow = shadow || name.rfind("shadow depth [", 0) == 0;
    EXPECT_TRUE(shadow);
}

// The same seed draws the same picture again, and each of the screensaver's options changes it
// (the shot looks over the pond, with snow falling, lamps glowing and figures casting shadows).
// With --format none the frames are drawn and nothing is written.
TEST_F(RenderCommandTest, TheOptionsTakeOutWhatTheyDrawAndFormatNoneWritesNothing) {
    auto draw = [&](const std::string& name, const std::string& options) {
        const fs::path out = dir_ / name;
        fs::create_directories(out);
        EXPECT_EQ(Run(scene_ + " --camera 'Camera Pond' --size 160x120 --warm-up --seed 7 " + options + " --out '" +
                      out.string() + "'"),
                  0)
            << options;
        return ReadBytes(out / "frame_0000.tga");
    };
    const std::vector<uint8_t> all = draw("all", "");
    ASSERT_EQ(all.size(), 18u + 160u * 120u * 3u);
    EXPECT_EQ(draw("again", ""), all);
    for (const char* option : {"--no-reflections", "--no-shadows", "--no-snow", "--no-shine"}) {
        const std::vector<uint8_t> without = draw(option + 2, option);
        ASSERT_EQ(without.size(), all.size()) << option;
        size_t changed = 0;
        for (size_t i = 18; i < all.size(); ++i) changed += all[i] != without[i];
        EXPECT_GT(changed, 100u) << option;
    }

    const fs::path none = dir_ / "none";
    fs::create_directories(none);
    ASSERT_EQ(Run(scene_ + " --size 96x64 --frames 3 --format none --out '" + none.string() + "'"), 0);
    EXPECT_TRUE(fs::is_empty(none));
    std::ifstream out(dir_ / "out.txt");
    const std::string text((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("3 frame(s) drawn"), std::string::npos) << text;
    EXPECT_NE(text.find("0.0 ms reading back and writing"), std::string::npos) << text;
}

TEST_F(RenderCommandTest, BadRequestsGetClearAnswers) {
    EXPECT_EQ(Run(""), 2);
    EXPECT_EQ(Run("'" + (dir_ / "missing.STR").string() + "'"), 2);
    EXPECT_EQ(Run("Nope.STR --media '" + std::string(NUV_MEDIA_ARCHIVE) + "'"), 2);
    EXPECT_EQ(Run(scene_ + " --size 10"), 2);
    EXPECT_EQ(Run(scene_ + " --frames 0"), 2);
    EXPECT_EQ(Run(scene_ + " --format png"), 2);
    for (const char* seed : {"-1", "x", "3abc", "", "2147483648"})
        EXPECT_EQ(Run(scene_ + " --seed '" + seed + "'"), 2) << seed;
    EXPECT_EQ(Run("Main.STR --media '" + (dir_ / "none.rar2").string() + "'"), 2);
    EXPECT_EQ(Run(scene_ + " --camera 'No Such Camera' --out '" + dir_.string() + "'"), 1);
    std::ifstream err(dir_ / "err.txt");
    const std::string text((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("no camera 'No Such Camera'"), std::string::npos) << text;
}

} // namespace
