#include "media/rar/Crc32.h"
#include "media/rar/Rar2Archive.h"
#include "media/rar/Rar2UnicodeName.h"
#include "media/rar/Rar2Unpacker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace nuv {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr Rar2Result kOk = Rar2Result::Ok;
constexpr Rar2Result kDir = Rar2Result::IsDirectory;
constexpr Rar2Result kVersion = Rar2Result::UnsupportedVersion;
constexpr Rar2Result kPassword = Rar2Result::MissingPassword;
constexpr Rar2Result kTruncated = Rar2Result::Truncated;
constexpr Rar2Result kCorrupt = Rar2Result::CorruptData;

Bytes ReadTestFile(const std::string& name) {
    const char* root = std::getenv("NUV_TESTDATA");
    const std::string path = std::string(root && *root ? root : "/work/shared/testdata") + "/rar/" + name;
    Bytes bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(uint8_t(c));
        std::fclose(f);
    }
    return bytes;
}

std::string Text(const Bytes& v) { return std::string(v.begin(), v.end()); }

// Most-significant-first bit writer, the order the decoder reads.
struct BitWriter {
    Bytes bytes;
    int used = 0;
    void Put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            if (used == 0) bytes.push_back(0);
            if ((value >> i) & 1) bytes.back() |= uint8_t(0x80 >> used);
            used = (used + 1) & 7;
        }
    }
    Bytes Padded(size_t zeros) const {
        Bytes out = bytes;
        out.resize(out.size() + zeros);
        return out;
    }
};

// Tables where every symbol of a table has the same length, so a code is the symbol itself:
// literal/length 9 bits, distance 6, repeat length 5, audio 9. The 19 bit-length codes all
// have 5 bits, so each code length goes out as 5 bits.
void PutTables(BitWriter& w, const std::vector<int>& lengths, bool audio = false, int channels = 1) {
    w.Put(audio, 1);
    w.Put(0, 1);
    if (audio) w.Put(uint32_t(channels - 1), 2);
    for (int i = 0; i < 19; ++i) w.Put(5, 4);
    for (int l : lengths) w.Put(uint32_t(l), 5);
}

void PutFlatTables(BitWriter& w, bool audio = false, int channels = 1) {
    std::vector<int> lengths(audio ? size_t(channels) * 257 : 374, 9);
    for (size_t i = 298; !audio && i < lengths.size(); ++i) lengths[i] = i < 346 ? 6 : 5;
    PutTables(w, lengths, audio, channels);
}

void Put(Bytes& v, uint32_t x, int size) {
    for (int i = 0; i < size; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

// Appends a block whose header CRC is right; body follows the 7 common bytes.
void PutBlock(Bytes& out, uint8_t type, uint16_t flags, const Bytes& body, const Bytes& data = {}) {
    Bytes h;
    h.push_back(type);
    Put(h, flags, 2);
    Put(h, uint32_t(body.size() + 7), 2);
    h.insert(h.end(), body.begin(), body.end());
    Put(out, Crc32::Compute(h.data(), h.size()) & 0xFFFF, 2);
    out.insert(out.end(), h.begin(), h.end());
    out.insert(out.end(), data.begin(), data.end());
}

struct Entry {
    std::string name;
    Bytes packed;
    uint32_t size;
    uint32_t crc;
    uint8_t method = 0x30;
    uint16_t flags = 0x8000;
    uint8_t version = 20;
};

Entry Stored(const std::string& name, const std::string& text) {
    return {name, Bytes(text.begin(), text.end()), uint32_t(text.size()), Crc32::Compute(text.data(), text.size())};
}

void PutFile(Bytes& out, const Entry& e) {
    Bytes body;
    Put(body, uint32_t(e.packed.size()), 4);
    Put(body, e.size, 4);
    body.push_back(2);  // Win32 host
    Put(body, e.crc, 4);
    Put(body, 0, 4);
    body.push_back(e.version);
    body.push_back(e.method);
    Put(body, uint32_t(e.name.size()), 2);
    Put(body, 0x20, 4);
    body.insert(body.end(), e.name.begin(), e.name.end());
    PutBlock(out, 0x74, e.flags, body, e.packed);
}

Bytes MakeArchive(const std::vector<Entry>& entries, uint16_t mainFlags = 0) {
    Bytes out = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
    PutBlock(out, 0x73, mainFlags, Bytes(6, 0));
    for (const Entry& e : entries) PutFile(out, e);
    return out;
}

// ---------------------------------------------------------------------------------------
// The real archives of the test data.

TEST(Rar2Archive, ManifestEntriesDecodeOrFailAsListed) {
    struct Fact {
        const char* file;
        const char* entry;
        Rar2Result expected;  // for Ok the decoded bytes have this size and CRC
        uint32_t size;
        uint32_t crc;
    };
    const Fact facts[] = {
        {"junrar__abnormal__bad-header-crc.rar", "payload.txt", kOk, 27, 0x1d02b36e},
        {"junrar__abnormal__method36.rar", "foo\\bar.txt", kVersion, 0, 0},
        {"junrar__abnormal__method36.rar", "foo", kDir, 0, 0},
        {"junrar__abnormal__void-dist-v20.rar", "void20", kCorrupt, 0, 0},
        {"junrar__audio__BoatModernEnglish-audio-text-unpack20.rar", "LICENSE.txt", kOk, 107, 0x8eaf20c4},
        {"junrar__audio__BoatModernEnglish-regular-unpack20.rar", "BoatModernEnglish.wav", kOk, 56464, 0x82d2ed89},
        {"junrar__rar15-password-compressed.rar", "SECRET.TXT", kVersion, 0, 0},
        {"junrar__rar20-password-compressed.rar", "SECRET.TXT", kPassword, 0, 0},
        {"junrar__sibling-prefix-traversal.rar", "../extract_evil/pwned.txt", kOk, 24, 0x1e109f1c},
        {"junrar__solid__v20-solid-negative-backref.rar", "f1", kCorrupt, 0, 0},
        {"libarchive__test_read_format_rar.rar", "testlink", kOk, 8, 0xb6c9447b},
        {"libarchive__test_read_format_rar.rar", "testdir\\test.txt", kOk, 20, 0xbec8a242},
        {"libarchive__test_read_format_rar.rar", "testemptydir", kDir, 0, 0},
        {"libarchive__test_read_format_rar_invalid1.rar", "test", kVersion, 0, 0},
        {"libarchive__test_read_format_rar_noeof.rar", "test.txt", kOk, 20, 0xbec8a242},
        {"rarfile__rar15-comment.rar", "FILE2.TXT", kOk, 8, 0x3c4306f7},  // stored by the older version
        {"rarfile__rar15-comment.rar", "FILE1.TXT", kVersion, 0, 0},       // packed by the older compressor
        {"junrar__audio__BoatModernEnglish-regular-unpack15-dos.rar", "LICENSE.TXT", kVersion, 0, 0},
        {"sharpc__Rar15.rar", "EXE\\TEST.EXE", kVersion, 0, 0},
        {"rarfile__rar2-unix-owner.rar", "file.txt", kOk, 4, 0x7e3265a8},
        {"rarfile__rar202-comment-nopsw.rar", "FILE2.TXT", kOk, 7, 0x785fc3e3},
        {"rarfile__rar3-solid.rar", "stest2.txt", kVersion, 0, 0},
        {"rarfile__seektest.rar", "stest1.txt", kVersion, 0, 0},
        {"rarfile__seektest.rar", "stest2.txt", kOk, 2048, 0xc5b7e6a2},
        {"sharpc__Rar.none.rar", "jpg\\test.jpg", kOk, 40372, 0x088814e3},
        {"sharpc__Rar2.multi.rar", "exe\\test.exe", kTruncated, 0, 0},  // continues in the next volume
        {"sharpc__Rar2.multi.r02", "jpg\\test.jpg", kTruncated, 0, 0},
        {"sharpc__Rar2.rar", "exe", kDir, 0, 0},
        {"sharpc__Rar2.rar", "exe\\test.exe", kOk, 45056, 0xcfb109c8},
        {"sharpc__Rar2.rar", "jpg\\test.jpg", kOk, 40372, 0x088814e3},
        {"sharpc__Rar2.rar", "????.txt", kOk, 15498, 0x9bd160fa},  // Unicode part of the name dropped
        {"sharpc__Rar4.rar", "exe\\test.exe", kVersion, 0, 0},
    };
    for (const Fact& f : facts) {
        SCOPED_TRACE(std::string(f.file) + " : " + f.entry);
        const Bytes bytes = ReadTestFile(f.file);
        Rar2Archive archive(bytes.data(), bytes.size());
        ASSERT_TRUE(archive.IsOpen());
        Bytes out = {1, 2, 3};
        EXPECT_EQ(archive.ExtractByName(f.entry, "", out), f.expected);
        EXPECT_EQ(out.size(), f.size);
        EXPECT_EQ(Crc32::Compute(out.data(), out.size()), f.crc);
    }
}

TEST(Rar2Archive, ManifestListings) {
    struct Listing {
        const char* file;
        bool open;
        size_t entries;
    };
    const Listing listings[] = {
        {"sharpc__Rar2.rar", true, 5},              // no end block: the walk ends with the data
        {"rarfile__rar2-unix-owner.rar", true, 1},  // owner sub-block and recovery record skipped
        {"rardecode__rar2-authenticity-block.rar", true, 0},
        {"libarchive__test_read_format_rar_endarc_huge.rar", false, 0},
        {"libarchive__test_read_format_rar_newsub_huge.rar", false, 0},
        {"libarchive__test_read_format_rar_symlink_huge.rar", false, 0},
        {"zxtune__etalon.bin", false, 0},
    };
    for (const Listing& l : listings) {
        const Bytes bytes = ReadTestFile(l.file);
        ASSERT_FALSE(bytes.empty()) << l.file;
        Rar2Archive archive(bytes.data(), bytes.size());
        EXPECT_EQ(archive.IsOpen(), l.open) << l.file;
        EXPECT_EQ(archive.GetEntries().size(), l.entries) << l.file;
    }
    const Bytes bytes = ReadTestFile("sharpc__Rar2.rar");
    const Rar2Entry exe = Rar2Archive(bytes.data(), bytes.size()).GetEntries()[2];
    EXPECT_EQ(exe.name, "exe\\test.exe");
    EXPECT_EQ(exe.packedSize, 18349u);
    EXPECT_EQ(exe.unpackedSize, 45056u);
    EXPECT_EQ(exe.method, 0x35);
    EXPECT_EQ(exe.fileCrc, 0xcfb109c8u);
}

TEST(Rar2Archive, HeaderCrcIsReportedNotEnforced) {
    const Bytes bad = ReadTestFile("junrar__abnormal__bad-header-crc.rar");
    EXPECT_FALSE(Rar2Archive(bad.data(), bad.size()).GetEntries().at(0).headerCrcOk);
    // RAR 2.02 leaves embedded comments out of the header CRC; those headers still check.
    for (const char* name : {"rarfile__rar202-comment-nopsw.rar", "sharpc__Rar.none.rar"}) {
        const Bytes bytes = ReadTestFile(name);
        Rar2Archive archive(bytes.data(), bytes.size());
        for (const Rar2Entry& e : archive.GetEntries()) EXPECT_TRUE(e.headerCrcOk) << name << " " << e.name;
    }
}

TEST(Rar2Archive, DecodedBytesEqualReferenceFiles) {
    const Bytes etalon = ReadTestFile("zxtune__etalon.bin");
    Bytes out;
    for (const char* file : {"zxtune__test_v2.rar", "zxtune__test_v2solid5.rar"}) {
        const Bytes bytes = ReadTestFile(file);
        Rar2Archive archive(bytes.data(), bytes.size());
        for (size_t i = 0; i < archive.GetEntries().size(); ++i) {  // methods 0x30..0x35 and -mm
            EXPECT_EQ(archive.Extract(i, "", out), kOk) << file << " " << i;
            EXPECT_TRUE(out == etalon) << file << " " << i;
        }
    }
    // The multimedia archive switches into audio mode after its first table.
    const Bytes audio = ReadTestFile("junrar__audio__BoatModernEnglish-audio-text-unpack20.rar");
    Rar2Archive archive(audio.data(), audio.size());
    EXPECT_EQ(archive.Extract(0, "", out), kOk);
    EXPECT_TRUE(out == ReadTestFile("junrar__audio__BoatModernEnglish.wav"));
}

TEST(Rar2Archive, SolidEntriesInAnyOrderAndAsSequence) {
    const Bytes bytes = ReadTestFile("zxtune__test_v2solid5.rar");
    Rar2Archive archive(bytes.data(), bytes.size());
    ASSERT_TRUE(archive.IsSolid());
    Bytes out;
    for (size_t index : {1, 0, 1, 1}) EXPECT_EQ(archive.Extract(index, "", out), kOk) << index;
    std::vector<Rar2Result> results;
    archive.ExtractAll("", [&](size_t, Rar2Result r, const Bytes& data) {
        EXPECT_EQ(Crc32::Compute(data.data(), data.size()), 0x10751abau);
        results.push_back(r);
    });
    EXPECT_EQ(results, (std::vector<Rar2Result>{kOk, kOk}));

    // The solid member lives on the first one's window: damage there breaks both.
    Bytes broken = bytes;
    broken[archive.GetEntries()[0].dataOffset + 4000] ^= 0x55;
    Rar2Archive damaged(broken.data(), broken.size());
    EXPECT_NE(damaged.Extract(1, "", out), kOk);
    EXPECT_NE(damaged.Extract(0, "", out), kOk);
}

TEST(Rar2Archive, CorruptedPackedByteFails) {
    const Bytes original = ReadTestFile("sharpc__Rar2.rar");
    const std::vector<Rar2Entry> entries = Rar2Archive(original.data(), original.size()).GetEntries();
    Bytes out;
    for (size_t index : {2, 3, 4}) {
        const Rar2Entry& e = entries[index];
        for (size_t at : {size_t(0), e.dataSize / 3, e.dataSize - 16}) {
            Bytes bytes = original;
            bytes[e.dataOffset + at] ^= 0xFF;
            const Rar2Result r = Rar2Archive(bytes.data(), bytes.size()).Extract(index, "", out);
            EXPECT_TRUE(r == Rar2Result::CrcMismatch || r == kCorrupt) << e.name << " at " << at;
            EXPECT_TRUE(out.empty());
        }
    }
    Bytes stored = ReadTestFile("zxtune__test_v2.rar");
    stored[Rar2Archive(stored.data(), stored.size()).GetEntries()[0].dataOffset + 100] ^= 1;
    EXPECT_EQ(Rar2Archive(stored.data(), stored.size()).Extract(0, "", out), Rar2Result::CrcMismatch);
}

TEST(Rar2Archive, EveryTruncationFailsCleanly) {
    for (const char* file : {"rarfile__rar2-unix-owner.rar", "rarfile__rar202-comment-nopsw.rar",
                             "zxtune__test_v2solid5.rar"}) {
        const Bytes whole = ReadTestFile(file);
        Bytes out;
        for (size_t len = 0; len < whole.size(); len += whole.size() > 4096 ? 7 : 1) {
            // A copy of exactly len bytes, so that the sanitizer sees any read past it.
            const Bytes cut(whole.begin(), whole.begin() + std::ptrdiff_t(len));
            Rar2Archive archive(cut.data(), cut.size());
            for (size_t i = 0; i < archive.GetEntries().size(); ++i) {
                const Rar2Result r = archive.Extract(i, "", out);
                if (archive.GetEntries()[i].dataOffset + archive.GetEntries()[i].packedSize > len) {
                    EXPECT_NE(r, kOk) << file << " cut at " << len;
                }
            }
        }
    }
}

TEST(Rar2Archive, EncryptedEntriesNeedTheUnavailableCipher) {
    Bytes out;
    for (const char* file : {"junrar__rar20-password-stored.rar", "rarfile__rar202-comment-psw.rar"}) {
        const Bytes bytes = ReadTestFile(file);
        Rar2Archive archive(bytes.data(), bytes.size());
        EXPECT_EQ(archive.Extract(0, "", out), kPassword) << file;
        EXPECT_EQ(archive.Extract(0, "password", out), kVersion) << file;
    }
}

// ---------------------------------------------------------------------------------------
// Hand-made archives for what no real file covers.

TEST(Rar2Archive, NameMatchingFoldsCaseAndSeparators) {
    const Bytes bytes = MakeArchive({Stored("Digits\\digit_1.tga", "one"), Stored("Digits\\digit_0.tga", "zero")});
    Rar2Archive archive(bytes.data(), bytes.size());
    Bytes out;
    for (const char* name : {"Digits\\digit_0.tga", "DIGITS/DIGIT_0.TGA", "digits_digit_0.tga"}) {
        EXPECT_EQ(archive.ExtractByName(name, "", out), kOk) << name;
        EXPECT_EQ(Text(out), "zero") << name;
    }
    EXPECT_EQ(archive.ExtractByName("digit_0.tga", "", out), Rar2Result::NotFound);
    EXPECT_TRUE(Rar2Archive::NamesMatch(std::string(512, 'a') + "x", std::string(512, 'A') + "yz"));
    EXPECT_FALSE(Rar2Archive::NamesMatch(std::string(511, 'a') + "x", std::string(511, 'a') + "y"));
}

// The Unicode form of a name made on Windows: the real archive's Cyrillic name, whose narrow
// form is only question marks, and the name still matched by its stored bytes.
TEST(Rar2Archive, UnicodeNamesAreKeptBesideTheStoredBytes) {
    const Bytes bytes = ReadTestFile("sharpc__Rar2.rar");
    ASSERT_FALSE(bytes.empty());
    Rar2Archive archive(bytes.data(), bytes.size());
    ASSERT_EQ(archive.GetEntries().size(), 5u);
    const Rar2Entry& e = archive.GetEntries()[4];
    EXPECT_EQ(e.name, "????.txt");
    std::string name;
    ASSERT_TRUE(Rar2UnicodeName::Unpack(e.name, e.packedUnicodeName, name));
    EXPECT_EQ(name, "тест.txt");
    EXPECT_TRUE(archive.GetEntries()[2].packedUnicodeName.empty());
    Bytes out;
    EXPECT_EQ(archive.ExtractByName("????.TXT", "", out), kOk);
    EXPECT_EQ(archive.ExtractByName("тест.txt", "", out), Rar2Result::NotFound);
}

TEST(Rar2UnicodeName, EveryRunKind) {
    struct Case {
        std::string narrow, packed;
        bool ok;
        std::string utf8;
    };
    const Case cases[] = {
        // high byte 0x04; four units "low byte + high byte"; then a copy of 4 narrow bytes
        {"????.txt", std::string("\x04\x55\x42\x35\x41\x42\xC0\x02", 8), true, "тест.txt"},
        // whole units (opcode 2): U+20AC and U+00E9
        {"??", std::string("\x00\xA0\xAC\x20\xE9\x00", 6), true, "€é"},
        // a corrected copy: narrow 0x32 0x35 + 0x10 under high byte 0x04 gives U+0442 U+0445
        {"25", std::string("\x04\xC0\x80\x10", 4), true, "тх"},
        // low bytes with high byte 0 (opcode 0), a zero unit ends the name
        {"ab", std::string("\x00\x00\x61\x62\x00\x63", 6), true, "ab"},
        // a surrogate pair joins; a lone surrogate is no name
        {"?", std::string("\x00\xA0\x3D\xD8\x00\xDE", 6), true, "\xF0\x9F\x98\x80"},
        {"?", std::string("\x00\x80\x3D\xD8", 4), false, ""},
        // empty, cut short, or a copy longer than the narrow name: no overrun
        {"x", "", false, ""},
        {"x", std::string("\x04", 1), false, ""},
        {"x", std::string("\x04\xFF", 2), false, ""},
        {"ab", std::string("\x00\xC0\x7F", 3), true, "ab"},
    };
    for (const Case& c : cases) {
        std::string utf8 = "old";
        EXPECT_EQ(Rar2UnicodeName::Unpack(c.narrow, c.packed, utf8), c.ok) << c.utf8;
        EXPECT_EQ(utf8, c.utf8);
    }
}

TEST(Rar2Archive, BlockWalk) {
    Bytes bytes = MakeArchive({Stored("a", "first")});
    PutBlock(bytes, 0x77, 0x8000, {3, 0, 0, 0}, {'x', 'y', 'z'});  // sub-block: skipped, not the end
    PutFile(bytes, Stored("b", "second"));
    PutBlock(bytes, 0x7B, 0, {});  // end of archive: nothing after it is read
    PutFile(bytes, Stored("c", "after the end"));
    Rar2Archive archive(bytes.data(), bytes.size());
    ASSERT_EQ(archive.GetEntries().size(), 2u);
    Bytes out;
    EXPECT_EQ(archive.ExtractByName("b", "", out), kOk);
    EXPECT_EQ(Text(out), "second");

    const Bytes good = MakeArchive({Stored("a", "1"), Stored("b", "2")});
    const size_t second = good.size() - 34;
    struct Patch {
        size_t offset;
        Bytes bytes;
        size_t entries;
    };
    const Patch patches[] = {
        {second + 5, {31, 0}, 1},      // header size below the fixed part
        {second + 5, {6, 0}, 1},       // header size below 7
        {second + 26, {2, 0}, 1},      // name longer than the header
        {second + 5, {0xFF, 0xFF}, 1}, // header past the end
        {7 + 5, {12, 0}, 0},           // short main header
        {7 + 2, {0x74}, 0},            // main header of another type
        {3, {'?'}, 0},                 // other marker
    };
    for (const Patch& p : patches) {
        Bytes patched = good;
        std::copy(p.bytes.begin(), p.bytes.end(), patched.begin() + std::ptrdiff_t(p.offset));
        EXPECT_EQ(Rar2Archive(patched.data(), patched.size()).GetEntries().size(), p.entries) << p.offset;
    }

    const Entry longName = Stored(std::string(65535 - 32, 'n'), "data");  // largest header
    const Bytes big = MakeArchive({longName});
    EXPECT_EQ(Rar2Archive(big.data(), big.size()).ExtractByName(longName.name, "", out), kOk);
}

TEST(Rar2Archive, ForgedSizesAreRefused) {
    Entry huge = Stored("huge", "tiny");
    huge.size = 0xFFFFFFF0u;
    Entry compressed = Stored("compressed", "tiny");
    compressed.method = 0x33;
    compressed.size = 1u << 30;  // accepted, but four bytes cannot make it
    Entry shortStored = Stored("short", "abc");
    shortStored.size = 10;
    Entry version = Stored("v29", "abc");
    version.version = 29;
    Entry method = Stored("m36", "abc");
    method.method = 0x36;
    Entry empty = Stored("empty", "");
    empty.method = 0x33;
    Entry cut = Stored("cut", "0123456789");
    Bytes bytes = MakeArchive({huge, compressed, shortStored, version, method, empty, cut});
    bytes.resize(bytes.size() - 4);
    Rar2Archive archive(bytes.data(), bytes.size());
    const Rar2Result expected[] = {Rar2Result::TooLarge, kCorrupt, kCorrupt, kVersion, kVersion, kOk, kTruncated};
    Bytes out;
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(archive.Extract(i, "", out), expected[i]) << i;
        EXPECT_EQ(out.capacity(), 0u) << i;
    }
    EXPECT_EQ(archive.GetEntries()[6].dataSize, 6u);
}

TEST(Rar2Archive, DirectoryRules) {
    Rar2Entry e;
    e.hostOs = 3;
    e.attributes = 0x81B4;  // Unix rw-rw-r--: 0x10 is group write, not a directory
    EXPECT_FALSE(e.IsDirectory());
    e.attributes = 0x41ED;
    EXPECT_TRUE(e.IsDirectory());
    e.hostOs = 2;
    e.attributes = 0x10;
    EXPECT_TRUE(e.IsDirectory());
    e.attributes = 0x20;
    e.flags = 0x80E0;
    EXPECT_TRUE(e.IsDirectory());
}

// ---------------------------------------------------------------------------------------
// Hand-made compressed streams with the flat tables above.

Bytes Unpack(const Bytes& packed, uint32_t size, Rar2Result& result, Rar2Unpacker* unpacker = nullptr,
             bool solid = false) {
    Rar2Unpacker local;
    Bytes out;
    result = (unpacker ? *unpacker : local).Unpack(packed.data(), packed.size(), size, solid, &out);
    return out;
}

TEST(Rar2Unpacker, MatchesRepeatsAndShortDistances) {
    BitWriter w;
    PutFlatTables(w);
    for (char c : std::string("abc")) w.Put(uint8_t(c), 9);
    w.Put(270, 9);      // length 3,
    w.Put(2, 6);        // distance 3: "abc"
    w.Put(256, 9);      // the last match again: "abc"
    w.Put(262, 9);      // short distance 4 + 1 + 2 bits = 6, length 2: "ab"
    w.Put(1, 2);
    w.Put(258, 9);      // second newest distance (3), repeat length 0 + 2: "ca"
    w.Put(0, 5);
    w.Put('z', 9);
    w.Put(270 + 8, 9);  // length 8 + 3 + 1 extra bit = 12,
    w.Put(1, 1);
    w.Put(0, 6);        // distance 1: the overlapping copy repeats "z"
    Rar2Result r;
    EXPECT_EQ(Text(Unpack(w.Padded(4), 26, r)), std::string("abcabcabcabca").append(13, 'z'));
    EXPECT_EQ(r, kOk);
}

TEST(Rar2Unpacker, MalformedStreamsAreCorrupt) {
    Rar2Result r;
    BitWriter early;  // distance 3 with two bytes written
    PutFlatTables(early);
    for (uint32_t s : {uint32_t('a'), uint32_t('b'), 270u}) early.Put(s, 9);
    early.Put(2, 6);
    Unpack(early.Padded(4), 5, r);
    EXPECT_EQ(r, kCorrupt);

    BitWriter repeat;  // "the last match" before any match
    PutFlatTables(repeat);
    repeat.Put(256, 9);
    Unpack(repeat.Padded(4), 5, r);
    EXPECT_EQ(r, kCorrupt);

    BitWriter switches;  // table after table without output
    PutFlatTables(switches);
    for (int i = 0; i < 40; ++i) {
        switches.Put(269, 9);
        PutFlatTables(switches);
    }
    Unpack(switches.Padded(64), 100, r);
    EXPECT_EQ(r, kCorrupt);

    BitWriter first;  // "repeat the previous code length" at the first one
    first.Put(0, 2);
    for (int i = 0; i < 19; ++i) first.Put(5, 4);
    first.Put(16, 5);
    Unpack(first.Padded(64), 10, r);
    EXPECT_EQ(r, kCorrupt);

    BitWriter end;  // zero bits past the end would be literals 0 for ever
    PutFlatTables(end);
    end.Put('a', 9);
    EXPECT_LT(Unpack(end.bytes, 1u << 30, r).size(), 1u << 16);
    EXPECT_EQ(r, kCorrupt);

    // Here zero bits past the end are the longest match at distance 1, again and again.
    std::vector<int> lengths(374, 0);
    lengths['a'] = 2;
    lengths[297] = 1;        // code 0
    lengths[298] = 1;        // distance symbol 0: code 0
    BitWriter matches;
    PutTables(matches, lengths);
    matches.Put(2, 2);       // 'a'
    EXPECT_LT(Unpack(matches.bytes, 1u << 30, r).size(), 1u << 16);
    EXPECT_EQ(r, kCorrupt);
    Unpack({}, 10, r);
    EXPECT_EQ(r, kCorrupt);
}

TEST(Rar2Unpacker, AudioChannelsPredictFromTheirOwnBytes) {
    // While the weights are zero (a channel's first 32 bytes) the prediction is the
    // channel's previous byte, so each byte is previous - symbol.
    const uint8_t symbols[] = {0xFF, 0xFE, 0x03, 0x01, 0xF0, 0x80, 0x7F, 0x00};
    for (int channels : {1, 2, 3}) {
        BitWriter w;
        PutFlatTables(w, true, channels);
        for (uint8_t s : symbols) w.Put(s, 9);
        Rar2Result r;
        const Bytes out = Unpack(w.Padded(8), sizeof(symbols), r);
        ASSERT_EQ(r, kOk);
        uint8_t last[3] = {};
        for (size_t i = 0; i < sizeof(symbols); ++i) {
            last[i % channels] = uint8_t(last[i % channels] - symbols[i]);
            EXPECT_EQ(out[i], last[i % channels]) << channels << " channels, byte " << i;
        }
    }
}

TEST(Rar2Unpacker, SolidFileContinuesWindowAndTables) {
    Rar2Unpacker unpacker;
    BitWriter first;
    PutFlatTables(first);
    for (char c : std::string("hello")) first.Put(uint8_t(c), 9);
    BitWriter second;        // no tables of its own
    second.Put(270 + 2, 9);  // length 2 + 3,
    second.Put(4, 6);        // distance 4 + 1 + 1 extra bit
    second.Put(0, 1);
    Rar2Result r;
    EXPECT_EQ(Text(Unpack(first.bytes, 5, r, &unpacker)), "hello");
    EXPECT_EQ(Text(Unpack(second.Padded(2), 5, r, &unpacker, true)), "hello");
    EXPECT_EQ(r, kOk);
    unpacker.Restart();  // nothing left to continue
    Unpack(second.Padded(2), 5, r, &unpacker, true);
    EXPECT_EQ(r, kCorrupt);
}

// A match of any length (3..258, more by the distance's bonus) and distance (1..2^20) in the
// flat tables' codes, through the literal/length symbols 270..297.
void PutMatch(BitWriter& w, uint32_t length, uint32_t distance) {
    static constexpr uint32_t kLengthBase[28] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10,  12,  14,  16,  20,
                                                 24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
    static constexpr int kLengthBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                            2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
    auto bitsOf = [](int symbol) { return symbol < 4 ? 0 : symbol >= 34 ? 16 : (symbol - 2) / 2; };
    int d = 0;
    uint32_t base = 0;
    while (d < 47 && distance - 1 >= base + (1u << bitsOf(d))) base += 1u << bitsOf(d++);
    const int dBits = bitsOf(d);
    const uint32_t stored = length - 3 - (distance >= 0x2000) - (distance >= 0x40000);
    int l = 27;
    while (kLengthBase[l] > stored) --l;
    w.Put(uint32_t(270 + l), 9);
    w.Put(stored - kLengthBase[l], kLengthBits[l]);
    w.Put(uint32_t(d), 6);
    w.Put(distance - 1 - base, dBits);
}

// Matches are copied in whole words past their ends; whatever that overwrites must be out of
// reach. Each short match is followed by one from the farthest distance, which reads the bytes
// just past it as they were a whole window earlier; the stream runs on past twice the window
// so that matches also cross the decoder's ring end. Checked against a byte-by-byte model.
TEST(Rar2Unpacker, WholeWordCopiesKeepTheFarthestHistory) {
    constexpr uint32_t kFar = 1u << 20;
    const std::pair<uint32_t, uint32_t> cases[] = {{3, 1},  {3, 2},   {5, 5},   {9, 7},    {12, 8},   {20, 12},
                                                   {31, 16}, {40, 17}, {100, 64}, {258, 300}, {258, kFar}};
    BitWriter w;
    PutFlatTables(w);
    Bytes want;
    uint32_t x = 7;
    while (want.size() < kFar) {
        want.push_back(uint8_t((x = x * 1103515245u + 12345u) >> 24));
        w.Put(want.back(), 9);
    }
    auto match = [&](uint32_t length, uint32_t distance) {
        PutMatch(w, length, distance);
        for (uint32_t i = 0; i < length; ++i) want.push_back(want[want.size() - distance]);
    };
    while (want.size() < 2 * kFar + 100000) {
        for (const auto& [length, distance] : cases) {
            match(length, distance);
            match(19, kFar);
        }
    }
    Rar2Result r;
    const Bytes got = Unpack(w.Padded(8), uint32_t(want.size()), r);
    EXPECT_EQ(r, kOk);
    ASSERT_EQ(got.size(), want.size());
    size_t first = 0;
    while (first < got.size() && got[first] == want[first]) ++first;
    EXPECT_EQ(first, want.size()) << "first difference at byte " << first;
}

// A test run keeps no bytes but must judge every entry as extraction does, damaged ones too.
TEST(Rar2Archive, CheckingWithoutBytesJudgesLikeExtraction) {
    for (const char* file : {"sharpc__Rar2.rar", "zxtune__test_v2solid5.rar", "zxtune__test_v2.rar"}) {
        const Bytes original = ReadTestFile(file);
        for (int damage = 0; damage < 3; ++damage) {
            Bytes bytes = original;
            const std::vector<Rar2Entry> entries = Rar2Archive(bytes.data(), bytes.size()).GetEntries();
            ASSERT_FALSE(entries.empty()) << file;
            const Rar2Entry& last = entries.back();
            if (damage == 1) {
                bytes[last.dataOffset + last.dataSize / 2] ^= 0x10;  // packed data
            } else if (damage == 2) {
                // The stored CRC, the last copy of its bytes in the header before the data.
                const uint8_t crc[4] = {uint8_t(last.fileCrc), uint8_t(last.fileCrc >> 8), uint8_t(last.fileCrc >> 16),
                                        uint8_t(last.fileCrc >> 24)};
                size_t at = last.dataOffset - 4;
                while (std::memcmp(&bytes[at], crc, 4) != 0) --at;
                bytes[at] ^= 1;
            }
            std::vector<Rar2Result> kept, checked;
            Rar2Archive archive(bytes.data(), bytes.size());
            archive.ExtractAll("", [&](size_t, Rar2Result result, const Bytes&) { kept.push_back(result); });
            archive.ExtractAll("", [&](size_t, Rar2Result result, const Bytes& data) {
                EXPECT_TRUE(data.empty());
                checked.push_back(result);
            }, false);
            EXPECT_EQ(checked, kept) << file << " damage " << damage;
            if (damage == 0) {
                EXPECT_EQ(kept.back(), kOk) << file;
            } else if (damage == 2) {
                EXPECT_EQ(kept.back(), Rar2Result::CrcMismatch) << file;
            }
        }
    }
}

} // namespace
} // namespace nuv
