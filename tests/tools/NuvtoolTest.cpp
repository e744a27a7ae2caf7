#include "media/rar/Crc32.h"

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

namespace nuv {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

void WriteFile(const fs::path& path, const Bytes& data) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string ReadText(const fs::path& path) {
    const Bytes b = ReadFile(path);
    return std::string(b.begin(), b.end());
}

Bytes Sample(size_t size, uint32_t seed) {
    Bytes b(size);
    uint32_t x = seed;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        b[i] = (i % 3 == 0) ? uint8_t(x >> 24) : uint8_t('a' + (x >> 28));  // partly compressible
    }
    return b;
}

// Every regular file and directory below root, by relative path (directories map to "<dir>").
std::map<std::string, Bytes> Tree(const fs::path& root) {
    std::map<std::string, Bytes> tree;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string rel = fs::relative(e.path(), root).generic_string();
        tree[rel] = e.is_directory() ? Bytes{'<', 'd', 'i', 'r', '>'} : ReadFile(e.path());
    }
    return tree;
}

void Put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A stored-only archive with names exactly as given, which our writer would refuse.
Bytes HandMadeArchive(const std::vector<std::pair<std::string, std::string>>& entries) {
    Bytes b = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
    const Bytes mainHeader = {0, 0, 0x73, 0, 0, 13, 0, 0, 0, 0, 0, 0, 0};
    b.insert(b.end(), mainHeader.begin(), mainHeader.end());
    for (const auto& [name, content] : entries) {
        const size_t start = b.size();
        Put16(b, 0);
        b.push_back(0x74);
        Put16(b, 0x8000);
        Put16(b, uint32_t(32 + name.size()));
        Put32(b, uint32_t(content.size()));
        Put32(b, uint32_t(content.size()));
        b.push_back(2);
        Put32(b, Crc32::Compute(content.data(), content.size()));
        Put32(b, 0x5B886B20);
        b.push_back(20);
        b.push_back(0x30);
        Put16(b, uint32_t(name.size()));
        Put32(b, 0x20);
        b.insert(b.end(), name.begin(), name.end());
        const uint32_t crc = Crc32::Compute(b.data() + start + 2, b.size() - start - 2);
        b[start] = uint8_t(crc);
        b[start + 1] = uint8_t(crc >> 8);
        b.insert(b.end(), content.begin(), content.end());
    }
    return b;
}

class NuvtoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / ("nuvtool-" + std::to_string(getpid()) + "-" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir_);
    }

    // Runs nuvtool with args (already quoted as needed); keeps stdout and stderr.
    int Run(const std::string& args) {
        const std::string command = std::string("'") + NUVTOOL_PATH + "' " + args + " > '" +
                                    (dir_ / "stdout.txt").string() + "' 2> '" + (dir_ / "stderr.txt").string() + "'";
        const int status = std::system(command.c_str());
        out_ = ReadText(dir_ / "stdout.txt");
        err_ = ReadText(dir_ / "stderr.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Q(const fs::path& p) const { return std::string("'").append(p.string()).append("'"); }

    void MakeSource(const fs::path& src) {
        WriteFile(src / "Main.STR", Sample(40000, 1));
        WriteFile(src / "Textures" / "snow.tga", Sample(70000, 2));
        WriteFile(src / "Textures" / "Deep" / "x.bin", Sample(3, 3));
        WriteFile(src / "Sounds" / "empty.ogg", {});
        fs::create_directories(src / "EmptyFolder");
    }

    fs::path dir_;
    std::string out_, err_;
};

TEST_F(NuvtoolTest, PackListTestExtractGivesTheSameTree) {
    const fs::path src = dir_ / "src";
    MakeSource(src);
    for (const char* options : {"", "--solid", "--store", "--audio"}) {
        SCOPED_TRACE(options);
        const fs::path archive = dir_ / "media.rar2";
        ASSERT_EQ(Run("rar pack " + Q(archive) + " " + Q(src) + " " + options + " --time=1700000000"), 0) << err_;

        ASSERT_EQ(Run("rar list " + Q(archive)), 0) << err_;
        EXPECT_NE(out_.find("Textures\\Deep\\x.bin"), std::string::npos) << out_;
        // Directories come before their contents, and "Main.STR" sits at the top.
        EXPECT_LT(out_.find("Textures\n"), out_.find("Textures\\snow.tga")) << out_;
        EXPECT_NE(out_.find("  Main.STR"), std::string::npos) << out_;

        ASSERT_EQ(Run("rar test " + Q(archive)), 0) << err_;
        EXPECT_NE(out_.find("tested 4 of 4 files"), std::string::npos) << out_;

        const fs::path target = dir_ / (std::string("out") + options);
        ASSERT_EQ(Run("rar extract " + Q(archive) + " " + Q(target)), 0) << err_;
        EXPECT_EQ(Tree(target), Tree(src));
        fs::remove(archive);
    }
}

TEST_F(NuvtoolTest, PackIsDeterministic) {
    const fs::path src = dir_ / "src";
    MakeSource(src);
    ASSERT_EQ(Run("rar pack " + Q(dir_ / "a.rar") + " " + Q(src) + " --solid --time=1700000000"), 0);
    ASSERT_EQ(Run("rar pack " + Q(dir_ / "b.rar") + " " + Q(src) + " --solid --time=1700000000"), 0);
    EXPECT_TRUE(ReadFile(dir_ / "a.rar") == ReadFile(dir_ / "b.rar"));
    // Packing again into an archive inside the folder leaves the old archive out.
    ASSERT_EQ(Run("rar pack " + Q(src / "self.rar") + " " + Q(src) + " --solid --time=1700000000"), 0);
    ASSERT_EQ(Run("rar pack " + Q(src / "self.rar") + " " + Q(src) + " --solid --time=1700000000"), 0);
    ASSERT_EQ(Run("rar list " + Q(src / "self.rar")), 0);
    EXPECT_EQ(out_.find("self.rar\n"), std::string::npos) << out_;
    EXPECT_TRUE(ReadFile(src / "self.rar") == ReadFile(dir_ / "a.rar"));
}

TEST_F(NuvtoolTest, BadInputGivesClearMessagesAndExitCodes) {
    EXPECT_EQ(Run("--help"), 0);
    EXPECT_NE(out_.find("usage"), std::string::npos);
    EXPECT_EQ(Run("rar --help"), 0);
    EXPECT_NE(out_.find("extract"), std::string::npos);
    EXPECT_EQ(Run(""), 2);
    EXPECT_EQ(Run("frobnicate"), 2);
    EXPECT_NE(err_.find("unknown command"), std::string::npos);
    EXPECT_EQ(Run("rar shuffle x"), 2);
    EXPECT_EQ(Run("rar list"), 2);
    EXPECT_NE(err_.find("usage"), std::string::npos);

    EXPECT_EQ(Run("rar list " + Q(dir_ / "missing.rar")), 2);
    EXPECT_NE(err_.find("cannot read"), std::string::npos) << err_;
    WriteFile(dir_ / "notrar.rar", Sample(100, 5));
    EXPECT_EQ(Run("rar test " + Q(dir_ / "notrar.rar")), 2);
    EXPECT_NE(err_.find("not a RAR 2.0 archive"), std::string::npos) << err_;
    EXPECT_EQ(Run("rar pack " + Q(dir_ / "x.rar") + " " + Q(dir_ / "nofolder")), 2);
    EXPECT_NE(err_.find("not a folder"), std::string::npos) << err_;
    EXPECT_EQ(Run("rar pack " + Q(dir_ / "x.rar") + " " + Q(dir_) + " --fast"), 2);
    EXPECT_NE(err_.find("unknown option"), std::string::npos) << err_;

    // A damaged byte in packed data: the entry fails its CRC, the others still pass.
    const fs::path src = dir_ / "src";
    MakeSource(src);
    ASSERT_EQ(Run("rar pack " + Q(dir_ / "c.rar") + " " + Q(src)), 0);
    Bytes archive = ReadFile(dir_ / "c.rar");
    archive[archive.size() - 100] ^= 0x10;  // inside the last file's data
    WriteFile(dir_ / "c.rar", archive);
    EXPECT_EQ(Run("rar test " + Q(dir_ / "c.rar")), 1);
    EXPECT_NE(err_.find("FAILED"), std::string::npos) << err_;
    EXPECT_NE(out_.find("OK      Main.STR"), std::string::npos) << out_;
}

// An entry whose header CRC is wrong is never called OK, by test or by extract; its data,
// which passes its own CRC, is still extracted.
TEST_F(NuvtoolTest, HeaderCrcFailuresAreReported) {
    Bytes archive = HandMadeArchive({{"good.txt", "fine"}, {"bad.txt", "data intact"}});
    const size_t second = 7 + 13 + 32 + 8 + 4;  // marker, main header, first header, its name and data
    ASSERT_EQ(archive[second + 2], 0x74);
    archive[second] ^= 0x5A;
    WriteFile(dir_ / "h.rar", archive);
    EXPECT_EQ(Run("rar test " + Q(dir_ / "h.rar")), 1);
    EXPECT_NE(out_.find("OK      good.txt"), std::string::npos) << out_;
    EXPECT_EQ(out_.find("OK      bad.txt"), std::string::npos) << out_;
    EXPECT_NE(err_.find("FAILED  bad.txt: header CRC mismatch"), std::string::npos) << err_;
    EXPECT_NE(out_.find("tested 1 of 2 files, 1 failed"), std::string::npos) << out_;
    EXPECT_EQ(Run("rar extract " + Q(dir_ / "h.rar") + " " + Q(dir_ / "x")), 1);
    EXPECT_NE(err_.find("FAILED  bad.txt: header CRC mismatch"), std::string::npos) << err_;
    EXPECT_EQ(ReadText(dir_ / "x" / "bad.txt"), "data intact");
    EXPECT_EQ(ReadText(dir_ / "x" / "good.txt"), "fine");
}

TEST_F(NuvtoolTest, ExtractionNeverLeavesTheTarget) {
    const std::vector<std::pair<std::string, std::string>> entries = {
        {"..\\evil1.txt", "escape"},
        {"sub\\..\\..\\evil2.txt", "escape"},
        {"\\evil3.txt", "absolute"},
        {"/tmp/evil4.txt", "absolute"},
        {"C:evil5.txt", "drive"},
        {".\\C:\\evil7.txt", "drive behind a dot"},
        {"good\\file.txt", "fine"},
        {"link\\evil6.txt", "through a link"},
    };
    WriteFile(dir_ / "hostile.rar", HandMadeArchive(entries));
    const fs::path target = dir_ / "box" / "target";
    fs::create_directories(target);
    fs::create_directories(dir_ / "outside");
    fs::create_directory_symlink(dir_ / "outside", target / "link");

    EXPECT_EQ(Run("rar extract " + Q(dir_ / "hostile.rar") + " " + Q(target)), 1);
    for (const auto& e : entries) {
        if (e.first != "good\\file.txt") {
            EXPECT_NE(err_.find("SKIPPED " + e.first), std::string::npos) << e.first;
        }
    }
    EXPECT_EQ(ReadText(target / "good" / "file.txt"), "fine");
    // Nothing anywhere above or beside the target.
    EXPECT_TRUE(fs::is_empty(dir_ / "outside"));
    EXPECT_EQ(Tree(dir_ / "box").size(), 4u) << "target, link, good, good/file.txt";
    EXPECT_FALSE(fs::exists("/tmp/evil4.txt") && ReadText("/tmp/evil4.txt") == "absolute");
}

// Names that are not ASCII reach the file system and the listing in UTF-8, whatever their
// form in the archive; no byte becomes '?', and no two entries end up in one file.
TEST_F(NuvtoolTest, NamesAreDecodedForTheFileSystem) {
    struct Case {
        const char* stored;  // the name bytes in the header
        const char* options; // extra command-line options
        const char* written; // the file that must appear, UTF-8
    };
    const Case cases[] = {
        {"\xE2\xA5\xE1\xE2.txt", "", "тест.txt"},                             // DOS/Windows OEM, Cyrillic (the default)
        {"\xE2\xA5\xE1\xE2.txt", "--codepage=CP1251", "вҐбв.txt"},            // the same bytes read as Windows-1251
        {"\x82\x8A.txt", "--codepage=CP437", "éè.txt"},                       // a Western OEM code page
        {"\xD1\x81\xD0\xBD\xD0\xB5\xD0\xB3\\\xD0\xB4.txt", "", "снег/д.txt"}, // valid UTF-8 kept, folders too
        {"a\xE2"
         "b.txt",
         "--codepage=ASCII", "a%E2b.txt"}, // a byte the code page lacks
    };
    for (const Case& c : cases) {
        fs::remove_all(dir_ / "x");
        WriteFile(dir_ / "n.rar", HandMadeArchive({{c.stored, "content"}}));
        ASSERT_EQ(Run("rar extract " + Q(dir_ / "n.rar") + " " + Q(dir_ / "x") + " " + c.options), 0)
            << c.written << err_;
        EXPECT_EQ(ReadText(dir_ / "x" / c.written), "content") << c.written;
        EXPECT_EQ(Tree(dir_ / "x").size(), std::string(c.written).find('/') == std::string::npos ? 1u : 2u)
            << c.written;
        ASSERT_EQ(Run("rar list " + Q(dir_ / "n.rar") + " " + c.options), 0);
        std::string listed = c.written;
        for (char& ch : listed)
            if (ch == '/') ch = '\\';
        EXPECT_NE(out_.find(listed), std::string::npos) << out_;
        EXPECT_EQ(out_.find('?'), std::string::npos) << out_;
    }
    EXPECT_EQ(Run("rar list " + Q(dir_ / "n.rar") + " --codepage=NO-SUCH-PAGE"), 2);
    EXPECT_NE(err_.find("unknown code page 'NO-SUCH-PAGE'"), std::string::npos) << err_;
}

TEST_F(NuvtoolTest, EntriesOfOneNameNeverShareAFile) {
    // The same name twice, and two spellings that decode to one name.
    WriteFile(dir_ / "c.rar", HandMadeArchive({{"same.txt", "first"},
                                               {"same.txt", "second"},
                                               {"\xD1\x82.txt", "utf-8"},
                                               {"\xE2.txt", "oem"},
                                               {"noext", "a"},
                                               {"noext", "b"}}));
    ASSERT_EQ(Run("rar extract " + Q(dir_ / "c.rar") + " " + Q(dir_ / "x")), 0) << err_;
    const auto tree = Tree(dir_ / "x");
    EXPECT_EQ(tree.size(), 6u);
    EXPECT_EQ(ReadText(dir_ / "x" / "same.txt"), "first");
    EXPECT_EQ(ReadText(dir_ / "x" / "same (2).txt"), "second");
    EXPECT_EQ(ReadText(dir_ / "x" / "т.txt"), "utf-8");
    EXPECT_EQ(ReadText(dir_ / "x" / "т (2).txt"), "oem");
    EXPECT_EQ(ReadText(dir_ / "x" / "noext (2)"), "b");
    EXPECT_NE(err_.find("RENAMED same.txt: an earlier entry has the same name; written as 'same (2).txt'"),
              std::string::npos)
        << err_;
    EXPECT_NE(err_.find("RENAMED т.txt"), std::string::npos) << err_;
}

} // namespace
} // namespace nuv
