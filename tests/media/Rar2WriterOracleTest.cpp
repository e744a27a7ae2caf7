// Archives from our writer must be read by programs nobody here wrote: lsar verifies
// every entry's CRC and unar extracts them, byte for byte.
#include "MediaTestSupport.h"
#include "media/rar/Rar2Archive.h"
#include "media/rarwriter/Rar2Writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace nuv {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using test::Noise;

Bytes Text(size_t size, uint32_t seed) {
    static const char* const kWords[16] = {"frost ", "candle ", "the ", "pine ", "bell ", "over ", "night\n", "silver ",
                                           "moon ", "river ", "sleigh, ", "drifts ", "and ", "quiet. ", "star ", "hill "};
    return test::WordText(size, seed + 3, kWords);
}

// 16-bit stereo sine-like PCM, as the audio mode is meant for.
Bytes Pcm(size_t frames) {
    Bytes b;
    int32_t a = 0, v = 3000, c = 0, w = -2000;
    for (size_t i = 0; i < frames; ++i) {
        v -= a / 40;
        a += v / 40;
        w -= c / 25;
        c += w / 25;
        for (int32_t s : {a, c}) {
            b.push_back(uint8_t(s));
            b.push_back(uint8_t(s >> 8));
        }
    }
    return b;
}

bool HaveTools() { return std::system("command -v lsar >/dev/null 2>&1 && command -v unar >/dev/null 2>&1") == 0; }

class OracleTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTools()) GTEST_SKIP() << "lsar/unar not installed";
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("nuv-oracle-" + std::to_string(getpid()) + "-" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!dir_.empty() && !HasFailure()) fs::remove_all(dir_);
    }

    // Writes the archive, checks it with lsar -t, extracts it with unar and compares.
    void Check(const Rar2Writer& writer, const std::map<std::string, Bytes>& files,
               const std::vector<std::string>& dirs = {}) {
        const fs::path archive = dir_ / "a.rar";
        {
            std::ofstream out(archive, std::ios::binary);
            out.write(reinterpret_cast<const char*>(writer.GetBytes().data()), std::streamsize(writer.GetBytes().size()));
        }
        const std::string lsar = "lsar -t '" + archive.string() + "' > '" + (dir_ / "lsar.txt").string() + "' 2>&1";
        EXPECT_EQ(std::system(lsar.c_str()), 0) << "lsar -t failed, see " << (dir_ / "lsar.txt");
        std::ifstream report(dir_ / "lsar.txt");
        const std::string text((std::istreambuf_iterator<char>(report)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find(" passed, 0 failed"), std::string::npos) << text;

        const fs::path out = dir_ / "out";
        const std::string unar = "unar -q -D -o '" + out.string() + "' '" + archive.string() + "' > '" +
                                 (dir_ / "unar.txt").string() + "' 2>&1";
        ASSERT_EQ(std::system(unar.c_str()), 0) << "unar failed, see " << (dir_ / "unar.txt");
        size_t found = 0;
        for (const auto& entry : fs::recursive_directory_iterator(out)) {
            if (entry.is_regular_file()) ++found;
        }
        EXPECT_EQ(found, files.size());
        for (const auto& [name, data] : files) {
            std::ifstream in(out / name, std::ios::binary);
            ASSERT_TRUE(in) << name << " was not extracted";
            const Bytes got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_TRUE(got == data) << name << ": " << got.size() << " bytes, expected " << data.size();
        }
        for (const std::string& d : dirs) EXPECT_TRUE(fs::is_directory(out / d)) << d;
    }

    fs::path dir_;
};

std::map<std::string, Bytes> Corpus() {
    std::map<std::string, Bytes> c;
    c["empty.bin"] = {};
    c["one.bin"] = {0x42};
    c["zeros.bin"] = Bytes(200000, 0);
    c["noise.bin"] = Noise(50000, 1);
    c["text.txt"] = Text(300000, 2);
    Bytes mixed = Text(80000, 5);
    const Bytes n = Noise(280000, 6);
    mixed.insert(mixed.end(), n.begin(), n.end());
    mixed.insert(mixed.end(), mixed.begin(), mixed.begin() + 80000);
    c["mixed.bin"] = mixed;
    return c;
}

void AddAll(Rar2Writer& w, const std::map<std::string, Bytes>& files) {
    for (const auto& [name, data] : files) ASSERT_EQ(w.AddFile(name, data.data(), data.size(), 0x5A8C6B20), 0);
}

TEST_F(OracleTest, CompressedEntries) {
    Rar2Writer w;
    const auto files = Corpus();
    AddAll(w, files);
    Check(w, files);
}

TEST_F(OracleTest, SolidArchive) {
    Rar2Writer::Options o;
    o.solid = true;
    Rar2Writer w(o);
    auto files = Corpus();
    // Near-copies of earlier files, which a solid stream codes in a few bytes.
    files["text2.txt"] = Text(300000, 2);
    files["text2.txt"][1000] ^= 1;
    AddAll(w, files);
    Check(w, files);
}

// Empty files and directories met between the files of a solid run, as a folder walk meets
// them: every entry still passes lsar -t and unar extracts them all.
TEST_F(OracleTest, SolidRunWithEmptyFilesAndFoldersBetween) {
    Rar2Writer::Options o;
    o.solid = true;
    Rar2Writer w(o);
    Bytes near = Text(120000, 7);
    near[500] ^= 1;
    const std::vector<std::pair<std::string, Bytes>> order = {
        {"a.txt", Text(120000, 7)}, {"b_empty", {}}, {"c_small.txt", {'h', 'i'}}, {"d/e_empty", {}},
        {"d/f.txt", near},          {"g_empty", {}}, {"h.bin", Noise(3000, 8)},   {"i_empty", {}},
    };
    std::map<std::string, Bytes> files;
    for (const auto& [name, data] : order) {
        if (name == "d/e_empty") {
            ASSERT_EQ(w.AddDirectory("d", 0x5A8C6B20), 0);
        }
        ASSERT_EQ(w.AddFile(name, data.data(), data.size(), 0x5A8C6B20), 0) << name;
        files[name] = data;
    }
    Check(w, files, {"d"});
    // Our own reader agrees, one entry at a time and as a sequence.
    Rar2Archive archive(w.GetBytes().data(), w.GetBytes().size());
    Bytes out;
    for (size_t i = 0; i < archive.GetEntries().size(); ++i) {
        const Rar2Result r = archive.Extract(i, "", out);
        EXPECT_TRUE(r == Rar2Result::Ok || r == Rar2Result::IsDirectory) << archive.GetEntries()[i].name;
    }
}

TEST_F(OracleTest, StoredEntries) {
    Rar2Writer::Options o;
    o.store = true;
    Rar2Writer w(o);
    const auto files = Corpus();
    AddAll(w, files);
    Check(w, files);
}

TEST_F(OracleTest, NestedDirectoriesAndManyFiles) {
    Rar2Writer w;
    std::map<std::string, Bytes> files;
    ASSERT_EQ(w.AddDirectory("empty/dir", 0), 0);
    for (int i = 0; i < 60; ++i) {
        const std::string name = std::string("a").append(std::to_string(i % 2)) + "/b" + std::to_string(i % 3) + "/c/f" + std::to_string(i) + ".txt";
        files[name] = Text(size_t(i * 211), uint32_t(i));
        ASSERT_EQ(w.AddFile(name, files[name].data(), files[name].size(), 0), 0);
    }
    Check(w, files, {"empty/dir", "a0/b0/c", "a1/b2/c"});
}

TEST_F(OracleTest, BeyondTheWindow) {
    Bytes big = Text(1 << 20, 30);
    const Bytes noise = Noise(600000, 31);
    big.insert(big.end(), noise.begin(), noise.end());
    big.insert(big.end(), big.begin() + 100, big.begin() + 100 + 900000);
    Rar2Writer w;
    ASSERT_EQ(w.AddFile("big.bin", big.data(), big.size(), 0), 0);
    Check(w, {{"big.bin", big}});
}

TEST_F(OracleTest, AudioModeSolid) {
    Rar2Writer::Options o;
    o.audio = true;
    o.solid = true;
    o.audioChannels = 4;  // 16-bit stereo: four byte lanes
    Rar2Writer w(o);
    std::map<std::string, Bytes> files;
    files["a.pcm"] = Pcm(60000);  // long enough for table changes
    files["b.pcm"] = Pcm(7);
    files["c.txt"] = Text(5000, 1);
    AddAll(w, files);
    Check(w, files);
}

} // namespace
} // namespace nuv
