// nuvtool's archives and names against unar and lsar, programs nobody here wrote: a real
// archive made on Windows extracts to the names unar gives, and a solid archive packed from a
// folder that mixes empty, small and large files passes lsar -t and unar.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const Bytes& data) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

// Every file and folder below root by relative path; folders map to "<dir>".
std::map<std::string, Bytes> Tree(const fs::path& root) {
    std::map<std::string, Bytes> tree;
    for (const auto& e : fs::recursive_directory_iterator(root))
        tree[fs::relative(e.path(), root).string()] =
            e.is_directory() ? Bytes{'<', 'd', 'i', 'r', '>'} : ReadFile(e.path());
    return tree;
}

fs::path TestData() {
    const char* root = std::getenv("NUV_TESTDATA");
    return fs::path(root && *root ? root : "/work/shared/testdata") / "rar";
}

class NuvtoolOracle : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::system("command -v lsar >/dev/null 2>&1 && command -v unar >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "lsar/unar not installed";
        dir_ = fs::temp_directory_path() / ("nuvtool-oracle-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!dir_.empty() && !HasFailure()) fs::remove_all(dir_);
    }
    // Runs a command line; its output goes to out.txt, returned in out_.
    int Shell(const std::string& command) {
        const int status = std::system((command + " > '" + (dir_ / "out.txt").string() + "' 2>&1").c_str());
        const Bytes text = ReadFile(dir_ / "out.txt");
        out_.assign(text.begin(), text.end());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Q(const fs::path& p) const { return "'" + p.string() + "'"; }

    fs::path dir_;
    std::string out_;
};

TEST_F(NuvtoolOracle, ARealArchiveExtractsToTheNamesUnarGives) {
    const fs::path archive = TestData() / "sharpc__Rar2.rar";
    ASSERT_TRUE(fs::exists(archive)) << archive;
    ASSERT_EQ(Shell(std::string("'") + NUVTOOL_PATH + "' rar extract " + Q(archive) + " " + Q(dir_ / "ours")), 0)
        << out_;
    ASSERT_EQ(Shell("unar -q -D -o " + Q(dir_ / "unar") + " " + Q(archive)), 0) << out_;
    const auto ours = Tree(dir_ / "ours");
    EXPECT_EQ(ours, Tree(dir_ / "unar"));
    EXPECT_EQ(ours.count("тест.txt"), 1u);
    ASSERT_EQ(Shell(std::string("'") + NUVTOOL_PATH + "' rar list " + Q(archive)), 0);
    EXPECT_NE(out_.find("  тест.txt\n"), std::string::npos) << out_;
}

TEST_F(NuvtoolOracle, ASolidPackOfEmptySmallAndLargeFilesIsReadByEveryone) {
    const fs::path src = dir_ / "src";
    Bytes large(150000), again;
    uint32_t x = 7;
    for (size_t i = 0; i < large.size(); ++i) {
        x = x * 1664525u + 1013904223u;
        large[i] = uint8_t('a' + (x >> 28));
    }
    again = large;
    again[100] ^= 1;
    // Sorted by name, the empty files and the folder fall between the compressed files.
    WriteFile(src / "a_large.txt", large);
    WriteFile(src / "b_empty", {});
    WriteFile(src / "c_small.txt", {'x'});
    WriteFile(src / "d" / "e_empty", {});
    WriteFile(src / "d" / "f_again.txt", again);
    WriteFile(src / "g_empty", {});
    WriteFile(src / "h_small.txt", {'y', 'z'});
    fs::create_directories(src / "i_folder");
    const fs::path archive = dir_ / "s.rar";
    ASSERT_EQ(Shell(std::string("'") + NUVTOOL_PATH + "' rar pack " + Q(archive) + " " + Q(src) + " --solid"), 0)
        << out_;
    EXPECT_EQ(Shell("lsar -t " + Q(archive)), 0) << out_;
    EXPECT_NE(out_.find("9 passed, 0 failed"), std::string::npos) << out_;
    ASSERT_EQ(Shell("unar -q -D -o " + Q(dir_ / "unar") + " " + Q(archive)), 0) << out_;
    EXPECT_EQ(Tree(dir_ / "unar"), Tree(src));
    ASSERT_EQ(Shell(std::string("'") + NUVTOOL_PATH + "' rar extract " + Q(archive) + " " + Q(dir_ / "ours")), 0)
        << out_;
    EXPECT_EQ(Tree(dir_ / "ours"), Tree(src));
}

} // namespace
