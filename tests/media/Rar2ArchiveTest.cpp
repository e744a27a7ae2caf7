#include "media/rar/Rar2Archive.h"
#include "media/rar/Crc32.h"
#include "media/rar/Rar2Unpacker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace nuv {
namespace {

namespace rar2test {

std::string TestDataPath(const std::string& name) {
    const char* root = std::getenv("NUV_TESTDATA");
    return std::string(root && *root ? root : "/work/shared/testdata") + "/rar/" + name;
}

std::vector<uint8_t> ReadTestFile(const std::string& name) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(TestDataPath(name).c_str(), "rb");
    if (!f) return bytes;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    return bytes;
}

// Most-significant-first bit writer, the order the decoder reads.
class BitWriter {
public:
    void Put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            if (used_ == 0) bytes_.push_back(0);
            if ((value >> i) & 1) bytes_.back() |= uint8_t(0x80 >> used_);
            used_ = (used_ + 1) & 7;
        }
    }
    std::vector<uint8_t> Finish(size_t padding = 0) const {
        std::vector<uint8_t> out = bytes_;
        out.insert(out.end(), padding, 0);
        return out;
    }

private:
    std::vector<uint8_t> bytes_;
    int used_ = 0;
};

// Tables in which every symbol of a table has the same code length, so a symbol's code is
// its own number: literal/length 9 bits, distance 6, repeat length 5; audio 9 bits.
// The 19 bit-length codes all have 5 bits, so each code length is written as 5 bits.
void PutFlatTables(BitWriter& w, bool audio = false, int channels = 1) {
    w.Put(audio ? 1 : 0, 1);
    w.Put(0, 1);  // do not keep the previous lengths
    if (audio) w.Put(uint32_t(channels - 1), 2);
    for (int i = 0; i < 19; ++i) w.Put(5, 4);
    if (audio) {
        for (int i = 0; i < channels * 257; ++i) w.Put(9, 5);
        return;
    }
    for (int i = 0; i < 298; ++i) w.Put(9, 5);
    for (int i = 0; i < 48; ++i) w.Put(6, 5);
    for (int i = 0; i < 28; ++i) w.Put(5, 5);
}

struct HandEntry {
    std::string name;
    std::vector<uint8_t> packed;
    uint32_t unpackedSize = 0;
    uint32_t crc = 0;
    uint8_t method = 0x30;
    uint16_t flags = 0x8000;
    uint8_t unpackVersion = 20;
    uint32_t attributes = 0x20;
};

void Put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

// A stored entry whose CRC is that of its bytes.
HandEntry Stored(const std::string& name, const std::string& text) {
    HandEntry e;
    e.name = name;
    e.packed.assign(text.begin(), text.end());
    e.unpackedSize = uint32_t(text.size());
    e.crc = Crc32::Compute(text.data(), text.size());
    return e;
}

// Header CRC: low 16 bits of the CRC-32 of the header after its CRC field.
void SealHeader(std::vector<uint8_t>& out, size_t start) {
    const uint32_t crc = Crc32::Compute(out.data() + start + 2, out.size() - start - 2);
    out[start] = uint8_t(crc);
    out[start + 1] = uint8_t(crc >> 8);
}

void AppendFileHeader(std::vector<uint8_t>& out, const HandEntry& e) {
    const size_t start = out.size();
    Put16(out, 0);
    out.push_back(0x74);
    Put16(out, e.flags);
    Put16(out, uint32_t(32 + e.name.size()));
    Put32(out, uint32_t(e.packed.size()));
    Put32(out, e.unpackedSize);
    out.push_back(2);  // Win32 host
    Put32(out, e.crc);
    Put32(out, 0);
    out.push_back(e.unpackVersion);
    out.push_back(e.method);
    Put16(out, uint32_t(e.name.size()));
    Put32(out, e.attributes);
    out.insert(out.end(), e.name.begin(), e.name.end());
    SealHeader(out, start);
    out.insert(out.end(), e.packed.begin(), e.packed.end());
}

std::vector<uint8_t> ArchiveStart(uint16_t mainFlags = 0) {
    std::vector<uint8_t> out = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
    const size_t start = out.size();
    Put16(out, 0);
    out.push_back(0x73);
    Put16(out, mainFlags);
    Put16(out, 13);
    Put16(out, 0);
    Put32(out, 0);
    SealHeader(out, start);
    return out;
}

std::vector<uint8_t> MakeArchive(const std::vector<HandEntry>& entries, uint16_t mainFlags = 0) {
    std::vector<uint8_t> out = ArchiveStart(mainFlags);
    for (const HandEntry& e : entries) AppendFileHeader(out, e);
    return out;
}

} // namespace rar2test

using namespace rar2test;

// ---------------------------------------------------------------------------------------
// Every archive of the test data: what must decode, what must be refused and how.

struct ManifestFact {
    const char* file;
    const char* entry;
    Rar2Result expected;  // for Ok: size and crc are checked against the decoded bytes
    uint32_t size;
    uint32_t crc;
};

constexpr Rar2Result kOk = Rar2Result::Ok;
constexpr Rar2Result kDir = Rar2Result::IsDirectory;
constexpr Rar2Result kVersion = Rar2Result::UnsupportedVersion;
constexpr Rar2Result kPassword = Rar2Result::MissingPassword;
constexpr Rar2Result kTruncated = Rar2Result::Truncated;
constexpr Rar2Result kCorrupt = Rar2Result::CorruptData;

const ManifestFact kFacts[] = {
    {"junrar__abnormal__bad-header-crc.rar", "payload.txt", kOk, 27, 0x1d02b36e},
    {"junrar__abnormal__method36.rar", "foo\\bar.txt", kVersion, 0, 0},
    {"junrar__abnormal__method36.rar", "foo", kDir, 0, 0},
    {"junrar__abnormal__void-dist-v20.rar", "void20", kCorrupt, 0, 0},
    {"junrar__audio__BoatModernEnglish-audio-text-unpack20.rar", "BoatModernEnglish.wav", kOk, 56464, 0x82d2ed89},
    {"junrar__audio__BoatModernEnglish-audio-text-unpack20.rar", "LICENSE.txt", kOk, 107, 0x8eaf20c4},
    {"junrar__audio__BoatModernEnglish-regular-unpack20.rar", "BoatModernEnglish.wav", kOk, 56464, 0x82d2ed89},
    {"junrar__audio__BoatModernEnglish-regular-unpack20.rar", "LICENSE.txt", kOk, 107, 0x8eaf20c4},
    {"junrar__rar15-password-compressed.rar", "SECRET.TXT", kPassword, 0, 0},
    {"junrar__rar20-password-compressed.rar", "SECRET.TXT", kPassword, 0, 0},
    {"junrar__rar20-password-stored.rar", "SECRET.TXT", kPassword, 0, 0},
    {"junrar__sibling-prefix-traversal.rar", "../extract_evil/pwned.txt", kOk, 24, 0x1e109f1c},
    {"junrar__solid__v20-solid-negative-backref.rar", "f1", kCorrupt, 0, 0},
    {"libarchive__test_read_format_rar.rar", "test.txt", kOk, 20, 0xbec8a242},
    {"libarchive__test_read_format_rar.rar", "testlink", kOk, 8, 0xb6c9447b},
    {"libarchive__test_read_format_rar.rar", "testdir\\test.txt", kOk, 20, 0xbec8a242},
    {"libarchive__test_read_format_rar.rar", "testdir", kDir, 0, 0},
    {"libarchive__test_read_format_rar.rar", "testemptydir", kDir, 0, 0},
    {"libarchive__test_read_format_rar_invalid1.rar", "test", kVersion, 0, 0},
    {"libarchive__test_read_format_rar_noeof.rar", "test.txt", kOk, 20, 0xbec8a242},
    {"rarfile__rar15-comment.rar", "FILE2.TXT", kOk, 8, 0x3c4306f7},
    {"rarfile__rar2-unix-owner.rar", "file.txt", kOk, 4, 0x7e3265a8},
    {"rarfile__rar202-comment-nopsw.rar", "FILE1.TXT", kOk, 7, 0x7a197dba},
    {"rarfile__rar202-comment-nopsw.rar", "FILE2.TXT", kOk, 7, 0x785fc3e3},
    {"rarfile__rar202-comment-psw.rar", "FILE1.TXT", kPassword, 0, 0},
    {"rarfile__rar3-solid.rar", "stest1.txt", kVersion, 0, 0},
    {"rarfile__rar3-solid.rar", "stest2.txt", kVersion, 0, 0},
    {"rarfile__seektest.rar", "stest1.txt", kVersion, 0, 0},
    {"rarfile__seektest.rar", "stest2.txt", kOk, 2048, 0xc5b7e6a2},
    {"sharpc__Rar.none.rar", "exe\\test.exe", kOk, 45056, 0xcfb109c8},
    {"sharpc__Rar.none.rar", "jpg\\test.jpg", kOk, 40372, 0x088814e3},
    {"sharpc__Rar.none.rar", "Empty", kDir, 0, 0},
    {"sharpc__Rar2.multi.rar", "exe", kDir, 0, 0},
    {"sharpc__Rar2.multi.rar", "exe\\test.exe", kTruncated, 0, 0},
    {"sharpc__Rar2.multi.r02", "jpg\\test.jpg", kTruncated, 0, 0},
    {"sharpc__Rar2.rar", "exe", kDir, 0, 0},
    {"sharpc__Rar2.rar", "exe\\test.exe", kOk, 45056, 0xcfb109c8},
    {"sharpc__Rar2.rar", "jpg\\test.jpg", kOk, 40372, 0x088814e3},
    {"sharpc__Rar2.rar", "????.txt", kOk, 15498, 0x9bd160fa},
    {"sharpc__Rar4.rar", "exe\\test.exe", kVersion, 0, 0},
    {"sharpc__Rar4.rar", "jpg", kDir, 0, 0},
    {"zxtune__test_v2.rar", "p0.bin", kOk, 16384, 0x10751aba},
    {"zxtune__test_v2.rar", "p1.bin", kOk, 16384, 0x10751aba},
    {"zxtune__test_v2.rar", "p2.bin", kOk, 16384, 0x10751aba},
    {"zxtune__test_v2.rar", "p3.bin", kOk, 16384, 0x10751aba},
    {"zxtune__test_v2.rar", "p4.bin", kOk, 16384, 0x10751aba},
    {"zxtune__test_v2.rar", "p5.bin", kOk, 16384, 0x10751aba},
    {"zxtune__test_v2.rar", "pMM.bin", kOk, 16384, 0x10751aba},
    {"zxtune__test_v2solid5.rar", "p5_solid.bin", kOk, 16384, 0x10751aba},
    {"zxtune__test_v2solid5.rar", "p5.bin", kOk, 16384, 0x10751aba},
};

TEST(Rar2Archive, ManifestEntriesDecodeOrFailAsListed) {
    for (const ManifestFact& f : kFacts) {
        SCOPED_TRACE(std::string(f.file) + " : " + f.entry);
        const std::vector<uint8_t> bytes = ReadTestFile(f.file);
        ASSERT_FALSE(bytes.empty());
        Rar2Archive archive(bytes.data(), bytes.size());
        ASSERT_TRUE(archive.IsOpen());
        std::vector<uint8_t> out = {1, 2, 3};
        EXPECT_EQ(archive.ExtractByName(f.entry, "", out), f.expected);
        if (f.expected == kOk) {
            EXPECT_EQ(out.size(), f.size);
            EXPECT_EQ(Crc32::Compute(out.data(), out.size()), f.crc);
        } else {
            EXPECT_TRUE(out.empty());
        }
    }
}

TEST(Rar2Archive, ManifestListingsAndRejectedArchives) {
    struct Listing {
        const char* file;
        bool open;
        size_t entries;
        bool solid;
    };
    const Listing listings[] = {
        {"sharpc__Rar2.rar", true, 5, false},  // no end block: the walk stops at the end
        {"sharpc__Rar.none.rar", true, 6, false},
        {"zxtune__test_v2solid5.rar", true, 2, true},
        {"rarfile__rar2-unix-owner.rar", true, 1, false},  // owner sub-block and recovery record skipped
        {"rardecode__rar2-authenticity-block.rar", true, 0, false},
        {"libarchive__test_read_format_rar_endarc_huge.rar", false, 0, false},
        {"libarchive__test_read_format_rar_newsub_huge.rar", false, 0, false},
        {"libarchive__test_read_format_rar_symlink_huge.rar", false, 0, false},
        {"zxtune__etalon.bin", false, 0, false},
    };
    for (const Listing& l : listings) {
        SCOPED_TRACE(l.file);
        const std::vector<uint8_t> bytes = ReadTestFile(l.file);
        ASSERT_FALSE(bytes.empty());
        Rar2Archive archive(bytes.data(), bytes.size());
        EXPECT_EQ(archive.IsOpen(), l.open);
        EXPECT_EQ(archive.GetEntries().size(), l.entries);
        EXPECT_EQ(archive.IsSolid(), l.solid);
    }

    const std::vector<uint8_t> bytes = ReadTestFile("sharpc__Rar2.rar");
    Rar2Archive archive(bytes.data(), bytes.size());
    const Rar2Entry& exe = archive.GetEntries()[2];
    EXPECT_EQ(exe.name, "exe\\test.exe");
    EXPECT_EQ(exe.packedSize, 18349u);
    EXPECT_EQ(exe.unpackedSize, 45056u);
    EXPECT_EQ(exe.method, 0x35);
    EXPECT_EQ(exe.unpackVersion, 20);
    EXPECT_EQ(exe.fileCrc, 0xcfb109c8u);
    EXPECT_EQ(archive.GetEntries()[4].name, "????.txt");  // the Unicode part after the zero is dropped
    EXPECT_TRUE(archive.GetEntries()[0].IsDirectory());
}

TEST(Rar2Archive, HeaderCrcIsReportedNotEnforced) {
    const std::vector<uint8_t> bad = ReadTestFile("junrar__abnormal__bad-header-crc.rar");
    Rar2Archive badArchive(bad.data(), bad.size());
    ASSERT_EQ(badArchive.GetEntries().size(), 1u);
    EXPECT_FALSE(badArchive.GetEntries()[0].headerCrcOk);
    // Embedded comments of RAR 2.02 lie outside the header CRC; those headers still check.
    for (const char* name : {"rarfile__rar202-comment-nopsw.rar", "sharpc__Rar2.rar", "sharpc__Rar.none.rar"}) {
        const std::vector<uint8_t> bytes = ReadTestFile(name);
        Rar2Archive archive(bytes.data(), bytes.size());
        for (const Rar2Entry& e : archive.GetEntries()) EXPECT_TRUE(e.headerCrcOk) << name << " " << e.name;
    }
}

TEST(Rar2Archive, DecodedBytesEqualReferenceFiles) {
    const std::vector<uint8_t> etalon = ReadTestFile("zxtune__etalon.bin");
    const std::vector<uint8_t> wav = ReadTestFile("junrar__audio__BoatModernEnglish.wav");
    ASSERT_EQ(etalon.size(), 16384u);
    ASSERT_EQ(wav.size(), 56464u);
    std::vector<uint8_t> out;
    for (const char* file : {"zxtune__test_v2.rar", "zxtune__test_v2solid5.rar"}) {
        const std::vector<uint8_t> bytes = ReadTestFile(file);
        Rar2Archive archive(bytes.data(), bytes.size());
        for (size_t i = 0; i < archive.GetEntries().size(); ++i) {
            ASSERT_EQ(archive.Extract(i, "", out), kOk) << file << " " << i;
            EXPECT_TRUE(out == etalon) << file << " " << i;
        }
    }
    // The multimedia archive switches into audio mode after its first table.
    const std::vector<uint8_t> audio = ReadTestFile("junrar__audio__BoatModernEnglish-audio-text-unpack20.rar");
    Rar2Archive archive(audio.data(), audio.size());
    ASSERT_EQ(archive.Extract(0, "", out), kOk);
    EXPECT_TRUE(out == wav);
}

TEST(Rar2Archive, SolidEntriesDecodeInAnyOrderAndOnceInSequence) {
    const std::vector<uint8_t> bytes = ReadTestFile("zxtune__test_v2solid5.rar");
    std::vector<uint8_t> out;
    {
        // The second entry alone: the first is decoded behind the scenes.
        Rar2Archive archive(bytes.data(), bytes.size());
        EXPECT_EQ(archive.Extract(1, "", out), kOk);
        EXPECT_EQ(archive.Extract(0, "", out), kOk);
        EXPECT_EQ(archive.Extract(1, "", out), kOk);
        EXPECT_EQ(archive.Extract(1, "", out), kOk);
    }
    Rar2Archive archive(bytes.data(), bytes.size());
    std::vector<Rar2Result> results;
    archive.ExtractAll("", [&](size_t index, Rar2Result r, const std::vector<uint8_t>& data) {
        EXPECT_EQ(index, results.size());
        EXPECT_EQ(Crc32::Compute(data.data(), data.size()), 0x10751abau);
        results.push_back(r);
    });
    EXPECT_EQ(results, (std::vector<Rar2Result>{kOk, kOk}));

    // The solid member continues the first one's window: without it the stream is meaningless.
    std::vector<uint8_t> broken = bytes;
    const Rar2Entry first = archive.GetEntries()[0];
    broken[first.dataOffset + first.dataSize / 2] ^= 0x55;
    Rar2Archive damaged(broken.data(), broken.size());
    EXPECT_NE(damaged.Extract(0, "", out), kOk);
    EXPECT_NE(damaged.Extract(1, "", out), kOk);
}

TEST(Rar2Archive, CorruptedPackedByteFails) {
    const std::vector<uint8_t> original = ReadTestFile("sharpc__Rar2.rar");
    Rar2Archive reference(original.data(), original.size());
    std::vector<uint8_t> out;
    for (size_t index : {size_t(2), size_t(3), size_t(4)}) {
        const Rar2Entry e = reference.GetEntries()[index];
        for (size_t at : {size_t(0), e.dataSize / 3, e.dataSize - 16}) {
            std::vector<uint8_t> bytes = original;
            bytes[e.dataOffset + at] ^= 0xFF;
            Rar2Archive archive(bytes.data(), bytes.size());
            const Rar2Result r = archive.Extract(index, "", out);
            EXPECT_TRUE(r == Rar2Result::CrcMismatch || r == kCorrupt) << e.name << " at " << at;
            EXPECT_TRUE(out.empty());
        }
    }
    // A stored entry is still checked.
    std::vector<uint8_t> bytes = ReadTestFile("zxtune__test_v2.rar");
    Rar2Archive stored(bytes.data(), bytes.size());
    bytes[stored.GetEntries()[0].dataOffset + 100] ^= 1;
    Rar2Archive damaged(bytes.data(), bytes.size());
    EXPECT_EQ(damaged.Extract(0, "", out), Rar2Result::CrcMismatch);
}

TEST(Rar2Archive, EveryTruncationFailsCleanly) {
    for (const char* file : {"rarfile__rar2-unix-owner.rar", "junrar__abnormal__void-dist-v20.rar",
                             "rarfile__rar202-comment-nopsw.rar", "zxtune__test_v2solid5.rar"}) {
        const std::vector<uint8_t> whole = ReadTestFile(file);
        const size_t step = whole.size() > 4096 ? 7 : 1;
        std::vector<uint8_t> out;
        for (size_t len = 0; len < whole.size(); len += step) {
            // A copy of exactly len bytes, so that the sanitizer sees any read past it.
            std::vector<uint8_t> cut(whole.begin(), whole.begin() + std::ptrdiff_t(len));
            Rar2Archive archive(cut.data(), cut.size());
            for (size_t i = 0; i < archive.GetEntries().size(); ++i) {
                const Rar2Entry& e = archive.GetEntries()[i];
                const Rar2Result r = archive.Extract(i, "", out);
                if (e.dataOffset + e.packedSize > len) {
                    EXPECT_NE(r, kOk) << file << " cut at " << len;
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------------------
// Hand-made archives for the cases no real file covers.

TEST(Rar2Archive, NameMatchingFoldsCaseAndSeparators) {
    const std::vector<uint8_t> bytes =
        MakeArchive({Stored("Digits\\digit_1.tga", "one"), Stored("Digits\\digit_0.tga", "zero")});
    Rar2Archive archive(bytes.data(), bytes.size());
    std::vector<uint8_t> out;
    for (const char* name : {"Digits\\digit_0.tga", "DIGITS/DIGIT_0.TGA", "digits_digit_0.tga"}) {
        ASSERT_EQ(archive.ExtractByName(name, "", out), kOk) << name;
        EXPECT_EQ(std::string(out.begin(), out.end()), "zero") << name;
    }
    EXPECT_EQ(archive.ExtractByName("digit_0.tga", "", out), Rar2Result::NotFound);
    EXPECT_EQ(archive.ExtractByName("Digits\\digit_0.tg", "", out), Rar2Result::NotFound);

    // Only the first 512 characters take part.
    const std::string longA = std::string(512, 'a') + "x";
    const std::string longB = std::string(512, 'A') + "yz";
    EXPECT_TRUE(Rar2Archive::NamesMatch(longA, longB));
    EXPECT_FALSE(Rar2Archive::NamesMatch(std::string(511, 'a') + "x", std::string(511, 'a') + "y"));
    EXPECT_FALSE(Rar2Archive::NamesMatch("\xE9", "\xC9"));  // letters beyond ASCII are left alone
}

TEST(Rar2Archive, BlockWalkToleratesAndStops) {
    std::vector<uint8_t> bytes = ArchiveStart();
    AppendFileHeader(bytes, Stored("a.txt", "first"));
    // A sub-block with added data between two files is skipped, not taken for the end.
    const size_t sub = bytes.size();
    Put16(bytes, 0);
    bytes.push_back(0x77);
    Put16(bytes, 0x8000);
    Put16(bytes, 11);
    Put32(bytes, 3);
    SealHeader(bytes, sub);
    bytes.insert(bytes.end(), {'x', 'y', 'z'});
    AppendFileHeader(bytes, Stored("b.txt", "second"));
    // The end-of-archive block ends the walk; what follows is not read.
    const size_t end = bytes.size();
    Put16(bytes, 0);
    bytes.push_back(0x7B);
    Put16(bytes, 0);
    Put16(bytes, 7);
    SealHeader(bytes, end);
    AppendFileHeader(bytes, Stored("c.txt", "after the end"));

    Rar2Archive archive(bytes.data(), bytes.size());
    ASSERT_EQ(archive.GetEntries().size(), 2u);
    std::vector<uint8_t> out;
    EXPECT_EQ(archive.ExtractByName("b.txt", "", out), kOk);
    EXPECT_EQ(std::string(out.begin(), out.end()), "second");
}

TEST(Rar2Archive, MalformedHeadersEndTheListing) {
    const std::vector<uint8_t> good = MakeArchive({Stored("a", "1"), Stored("b", "2")});
    const size_t second = good.size() - (32 + 1 + 1);
    struct Patch {
        const char* what;
        size_t offset;
        std::vector<uint8_t> bytes;
        size_t entries;
    };
    const Patch patches[] = {
        {"header size below the fixed part", second + 5, {31, 0}, 1},
        {"header size below 7", second + 5, {6, 0}, 1},
        {"name longer than the header", second + 26, {2, 0}, 1},
        {"header size past the end", second + 5, {0xFF, 0xFF}, 1},
        {"main header shorter than 13", 7 + 5, {12, 0}, 0},
        {"main header of another type", 7 + 2, {0x74}, 0},
        {"other marker", 3, {'?'}, 0},
    };
    for (const Patch& p : patches) {
        std::vector<uint8_t> bytes = good;
        std::copy(p.bytes.begin(), p.bytes.end(), bytes.begin() + std::ptrdiff_t(p.offset));
        Rar2Archive archive(bytes.data(), bytes.size());
        EXPECT_EQ(archive.GetEntries().size(), p.entries) << p.what;
    }

    // A name of 64 KiB - 1 bytes fills a header of the largest size.
    HandEntry big = Stored(std::string(65535 - 32, 'n'), "data");
    const std::vector<uint8_t> bytes = MakeArchive({big});
    Rar2Archive archive(bytes.data(), bytes.size());
    ASSERT_EQ(archive.GetEntries().size(), 1u);
    std::vector<uint8_t> out;
    EXPECT_EQ(archive.ExtractByName(big.name, "", out), kOk);
}

TEST(Rar2Archive, ForgedSizesAreRefused) {
    std::vector<uint8_t> out;
    HandEntry huge = Stored("huge", "tiny");
    huge.unpackedSize = 0xFFFFFFF0u;
    HandEntry compressed = Stored("compressed", "tiny");
    compressed.method = 0x33;
    compressed.unpackedSize = 1u << 30;  // accepted size, but 4 bytes cannot produce it
    HandEntry shortStored = Stored("short", "abc");
    shortStored.unpackedSize = 10;
    HandEntry version = Stored("v29", "abc");
    version.unpackVersion = 29;
    HandEntry method = Stored("m36", "abc");
    method.method = 0x36;
    const std::vector<uint8_t> bytes = MakeArchive({huge, compressed, shortStored, version, method});
    Rar2Archive archive(bytes.data(), bytes.size());
    ASSERT_EQ(archive.GetEntries().size(), 5u);
    EXPECT_EQ(archive.Extract(0, "", out), Rar2Result::TooLarge);
    EXPECT_EQ(archive.Extract(1, "", out), kCorrupt);
    EXPECT_LT(out.capacity(), size_t(1) << 20);
    EXPECT_EQ(archive.Extract(2, "", out), kCorrupt);
    EXPECT_EQ(archive.Extract(3, "", out), kVersion);
    EXPECT_EQ(archive.Extract(4, "", out), kVersion);
    EXPECT_EQ(archive.Extract(5, "", out), Rar2Result::NotFound);

    // A packed size reaching past the end of the archive.
    std::vector<uint8_t> cut = MakeArchive({Stored("x", "0123456789")});
    cut.resize(cut.size() - 4);
    Rar2Archive truncated(cut.data(), cut.size());
    ASSERT_EQ(truncated.GetEntries().size(), 1u);
    EXPECT_EQ(truncated.GetEntries()[0].dataSize, 6u);
    EXPECT_EQ(truncated.Extract(0, "", out), kTruncated);
}

TEST(Rar2Archive, DirectoryRules) {
    HandEntry unixFile = Stored("mode664", "text");
    unixFile.attributes = 0x81B4;  // rw-rw-r--: 0x10 is group write here, not a directory
    std::vector<uint8_t> bytes = MakeArchive({unixFile});
    bytes[7 + 13 + 15] = 3;  // host OS Unix
    Rar2Archive archive(bytes.data(), bytes.size());
    ASSERT_EQ(archive.GetEntries().size(), 1u);
    EXPECT_FALSE(archive.GetEntries()[0].IsDirectory());
    Rar2Entry e;
    e.hostOs = 2;
    e.attributes = 0x10;
    EXPECT_TRUE(e.IsDirectory());
    e.hostOs = 3;
    e.attributes = 0x41ED;
    EXPECT_TRUE(e.IsDirectory());
    e.attributes = 0x10;
    e.flags = 0x80E0;
    EXPECT_TRUE(e.IsDirectory());
}

// ---------------------------------------------------------------------------------------
// Hand-made compressed streams, with the flat tables of PutFlatTables.

std::vector<uint8_t> Unpack(const std::vector<uint8_t>& packed, uint32_t size, Rar2Result& result,
                            Rar2Unpacker* unpacker = nullptr, bool solid = false) {
    Rar2Unpacker local;
    std::vector<uint8_t> out;
    result = (unpacker ? *unpacker : local).Unpack(packed.data(), packed.size(), size, solid, &out);
    return out;
}

std::string Text(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

TEST(Rar2Unpacker, MatchesRepeatsAndShortDistances) {
    BitWriter w;
    PutFlatTables(w);
    for (char c : std::string("abc")) w.Put(uint8_t(c), 9);
    w.Put(270, 9);  // length 3 ...
    w.Put(2, 6);    // ... distance 3: "abc"
    w.Put(256, 9);  // the same again: "abc"
    w.Put(262, 9);  // short distance 4 + 1 + 2 bits
    w.Put(1, 2);    // distance 6, length 2: "ab"
    w.Put(258, 9);  // second newest distance (3), repeat length 0 + 2, +0 below 257: "ca"
    w.Put(0, 5);
    w.Put(uint8_t('z'), 9);
    w.Put(270 + 8, 9);  // length base 8 + 3 + 1 extra bit
    w.Put(1, 1);        // = 12
    w.Put(0, 6);        // distance 1: an overlapping copy repeats "z"
    Rar2Result r;
    const std::vector<uint8_t> out = Unpack(w.Finish(4), 3 + 3 + 3 + 2 + 2 + 1 + 12, r);
    EXPECT_EQ(r, kOk);
    EXPECT_EQ(Text(out), "abcabcabcabca" + std::string(13, 'z'));
}

TEST(Rar2Unpacker, DistanceBeforeTheFirstByteIsCorrupt) {
    BitWriter w;
    PutFlatTables(w);
    w.Put('a', 9);
    w.Put('b', 9);
    w.Put(270, 9);
    w.Put(2, 6);  // distance 3 with only 2 bytes written
    Rar2Result r;
    Unpack(w.Finish(4), 5, r);
    EXPECT_EQ(r, kCorrupt);

    BitWriter repeat;
    PutFlatTables(repeat);
    repeat.Put(256, 9);  // "the last match" before any match
    Unpack(repeat.Finish(4), 5, r);
    EXPECT_EQ(r, kCorrupt);
}

TEST(Rar2Unpacker, EndlessTableSwitchesAreCorrupt) {
    BitWriter w;
    PutFlatTables(w);
    for (int i = 0; i < 40; ++i) {
        w.Put(269, 9);
        PutFlatTables(w);
    }
    Rar2Result r;
    Unpack(w.Finish(64), 100, r);
    EXPECT_EQ(r, kCorrupt);

    // A few switches with output in between are normal.
    BitWriter ok;
    PutFlatTables(ok);
    for (int i = 0; i < 20; ++i) {
        ok.Put('0' + i % 10, 9);
        ok.Put(269, 9);
        PutFlatTables(ok);
    }
    const std::vector<uint8_t> out = Unpack(ok.Finish(64), 20, r);
    EXPECT_EQ(r, kOk);
    EXPECT_EQ(Text(out), "01234567890123456789");
}

TEST(Rar2Unpacker, StreamEndingEarlyIsCorrupt) {
    BitWriter w;
    PutFlatTables(w);
    w.Put('a', 9);
    const std::vector<uint8_t> packed = w.Finish();
    Rar2Result r;
    // Zero bits past the end would decode as literals 0 forever; the reader notices instead.
    const std::vector<uint8_t> out = Unpack(packed, 1u << 30, r);
    EXPECT_EQ(r, kCorrupt);
    EXPECT_LT(out.size(), size_t(1) << 16);
    Unpack(std::vector<uint8_t>(), 10, r);
    EXPECT_EQ(r, kCorrupt);

    BitWriter first;
    first.Put(0, 2);
    for (int i = 0; i < 19; ++i) first.Put(5, 4);
    first.Put(16, 5);  // "repeat the previous length" with none before it
    Unpack(first.Finish(64), 10, r);
    EXPECT_EQ(r, kCorrupt);
}

TEST(Rar2Unpacker, AudioChannelsPredictFromTheirOwnBytes) {
    // While the weights are still zero (the first 32 bytes of a channel) the prediction is
    // the channel's previous byte, so each output byte is previous - symbol.
    const uint8_t symbols[] = {0xFF, 0xFE, 0x03, 0x01, 0xF0, 0x80, 0x7F, 0x00};
    for (int channels : {1, 2, 3}) {
        BitWriter w;
        PutFlatTables(w, true, channels);
        for (uint8_t s : symbols) w.Put(s, 9);
        Rar2Result r;
        const std::vector<uint8_t> out = Unpack(w.Finish(8), sizeof(symbols), r);
        ASSERT_EQ(r, kOk) << channels;
        uint8_t last[3] = {};
        for (size_t i = 0; i < sizeof(symbols); ++i) {
            const uint8_t expected = uint8_t(last[i % channels] - symbols[i]);
            EXPECT_EQ(out[i], expected) << channels << " channels, byte " << i;
            last[i % channels] = expected;
        }
    }
}

TEST(Rar2Unpacker, SolidFileContinuesWindowAndTables) {
    Rar2Unpacker unpacker;
    BitWriter first;
    PutFlatTables(first);
    for (char c : std::string("hello")) first.Put(uint8_t(c), 9);
    BitWriter second;  // no tables of its own
    second.Put(270 + 2, 9);  // length 2 + 3
    second.Put(4, 6);        // distance 4 + 1 + 1 extra bit
    second.Put(0, 1);
    Rar2Result r;
    EXPECT_EQ(Text(Unpack(first.Finish(), 5, r, &unpacker)), "hello");
    EXPECT_EQ(r, kOk);
    EXPECT_EQ(Text(Unpack(second.Finish(2), 5, r, &unpacker, true)), "hello");
    EXPECT_EQ(r, kOk);
    // Without the first file there is nothing to continue.
    unpacker.Restart();
    Unpack(second.Finish(2), 5, r, &unpacker, true);
    EXPECT_EQ(r, kCorrupt);
}

TEST(Rar2Archive, HandMadeSolidArchive) {
    BitWriter first;
    PutFlatTables(first);
    for (char c : std::string("solid!")) first.Put(uint8_t(c), 9);
    BitWriter second;
    second.Put(270 + 3, 9);  // length 3 + 3
    second.Put(4, 6);        // distance 4 + 1 + 1 extra bit
    second.Put(1, 1);
    HandEntry a;
    a.name = "a";
    a.packed = first.Finish();
    a.unpackedSize = 6;
    a.crc = Crc32::Compute("solid!", 6);
    a.method = 0x33;
    HandEntry s = Stored("stored in between", "-");
    HandEntry b = a;
    b.name = "b";
    b.packed = second.Finish(2);
    b.flags = 0x8010;
    const std::vector<uint8_t> bytes = MakeArchive({a, s, b}, 0x08);
    Rar2Archive archive(bytes.data(), bytes.size());
    std::vector<uint8_t> out;
    ASSERT_EQ(archive.Extract(2, "", out), kOk);
    EXPECT_EQ(Text(out), "solid!");
    int calls = 0;
    archive.ExtractAll("", [&](size_t, Rar2Result result, const std::vector<uint8_t>&) {
        EXPECT_EQ(result, kOk);
        ++calls;
    });
    EXPECT_EQ(calls, 3);
}

TEST(Rar2Archive, EncryptedEntriesNeedTheUnavailableCipher) {
    std::vector<uint8_t> out;
    for (const char* file : {"junrar__rar20-password-compressed.rar", "junrar__rar20-password-stored.rar"}) {
        const std::vector<uint8_t> bytes = ReadTestFile(file);
        Rar2Archive archive(bytes.data(), bytes.size());
        ASSERT_EQ(archive.GetEntries().size(), 1u);
        EXPECT_TRUE(archive.GetEntries()[0].IsEncrypted());
        EXPECT_EQ(archive.Extract(0, "", out), kPassword);
        EXPECT_EQ(archive.Extract(0, "password", out), kVersion);
        EXPECT_TRUE(out.empty());
    }
}

} // namespace
} // namespace nuv
