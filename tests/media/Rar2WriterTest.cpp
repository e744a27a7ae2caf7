#include "MediaTestSupport.h"
#include "media/rar/Crc32.h"
#include "media/rar/Rar2Archive.h"
#include "media/rarwriter/BitWriter.h"
#include "media/rarwriter/HuffmanCodeBuilder.h"
#include "media/rarwriter/Rar2Encoder.h"
#include "media/rarwriter/Rar2Writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace nuv {
namespace {

using Bytes = std::vector<uint8_t>;
using test::Noise;

// Text-like data: words from a small vocabulary with some randomness in their order.
Bytes Text(size_t size, uint32_t seed) {
    static const char* const kWords[16] = {"snow ", "lamp ", "the ", "ice ", "garland ", "of ", "light\n", "winter ",
                                           "scene ", "camera ", "shot, ", "fades ", "and ", "falls. ", "glow ", "tree "};
    return test::WordText(size, seed + 7, kWords);
}

double KraftSum(const uint8_t* lengths, int count) {
    double sum = 0;
    for (int i = 0; i < count; ++i) {
        if (lengths[i] != 0) sum += std::ldexp(1.0, -lengths[i]);
    }
    return sum;
}

TEST(HuffmanCodeBuilder, LengthsAreLimitedAndComplete) {
    // Fibonacci frequencies force depths far beyond 15 in an unlimited Huffman code.
    std::vector<uint32_t> fib(298, 0);
    uint32_t a = 1, b = 1;
    for (int i = 0; i < 40; ++i) {
        fib[size_t(i * 7)] = a;
        const uint32_t c = a + b;
        a = b;
        b = c;
    }
    const std::vector<std::vector<uint32_t>> cases = {
        fib,
        std::vector<uint32_t>(298, 5),
        {0, 0, 9, 0},         // a single used symbol still gets a complete code
        {0, 0, 0, 0, 0, 0},   // nothing used at all
        {1000000, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
    };
    for (const auto& freqs : cases) {
        std::vector<uint8_t> lengths(freqs.size(), 99);
        HuffmanCodeBuilder::BuildLengths(freqs.data(), int(freqs.size()), 15, lengths.data());
        int used = 0;
        for (size_t i = 0; i < freqs.size(); ++i) {
            EXPECT_LE(lengths[i], 15);
            if (freqs[i] > 0) {
                EXPECT_GT(lengths[i], 0) << "symbol " << i;
            }
            used += lengths[i] != 0;
        }
        EXPECT_GE(used, 2);
        EXPECT_DOUBLE_EQ(KraftSum(lengths.data(), int(lengths.size())), 1.0);
    }
    // The Fibonacci case must really have been cut down to 15.
    std::vector<uint8_t> lengths(298);
    HuffmanCodeBuilder::BuildLengths(fib.data(), 298, 15, lengths.data());
    EXPECT_EQ(*std::max_element(lengths.begin(), lengths.end()), 15);
}

TEST(HuffmanCodeBuilder, CanonicalCodesArePrefixFreeAndOrdered) {
    const uint8_t lengths[] = {3, 3, 3, 3, 3, 2, 4, 4, 0, 5, 5};
    uint16_t codes[11];
    HuffmanCodeBuilder::BuildCodes(lengths, 11, codes);
    // Shortest code is all zeros; within one length, codes follow symbol order.
    EXPECT_EQ(codes[5], 0u);
    EXPECT_EQ(codes[0] + 1, codes[1]);
    EXPECT_EQ(codes[6] + 1, codes[7]);
    for (int i = 0; i < 11; ++i) {
        for (int j = 0; j < 11; ++j) {
            if (i == j || lengths[i] == 0 || lengths[j] == 0 || lengths[i] > lengths[j]) continue;
            EXPECT_NE(codes[j] >> (lengths[j] - lengths[i]), codes[i]) << i << " is a prefix of " << j;
        }
    }
}

TEST(BitWriter, WritesMostSignificantBitFirst) {
    Bytes out;
    BitWriter bits(out);
    bits.Write(1, 1);
    bits.Write(0, 2);
    bits.Write(0x1F, 5);
    bits.Write(0x2AB, 10);
    EXPECT_EQ(bits.BitCount(), 18u);
    bits.Flush();
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], 0x9F);
    EXPECT_EQ(out[1], 0xAA);
    EXPECT_EQ(out[2], 0xC0);
}

TEST(Rar2Writer, DosTimeAndNames) {
    EXPECT_EQ(Rar2Writer::DosTime(0), 0x00210000u);  // clamped to 1980-01-01 00:00:00
    // 2026-12-08 15:21:37 UTC: odd seconds round down to the 2-second resolution.
    EXPECT_EQ(Rar2Writer::DosTime(1796743297), (46u << 25) | (12u << 21) | (8u << 16) | (15u << 11) | (21u << 5) | 18u);
    // 2000-02-29 is a leap day.
    EXPECT_EQ(Rar2Writer::DosTime(951782400), (20u << 25) | (2u << 21) | (29u << 16));

    std::string out;
    EXPECT_TRUE(Rar2Writer::NormalizeName("a/b\\c.txt", out));
    EXPECT_EQ(out, "a\\b\\c.txt");
    for (const char* bad : {"", "/abs", "\\abs", "a/../b", "..", "a//b", "a/", "C:x", "./a"}) {
        std::string kept = "kept";
        EXPECT_FALSE(Rar2Writer::NormalizeName(bad, kept)) << bad;
        EXPECT_EQ(kept, "kept");
    }
    EXPECT_FALSE(Rar2Writer::NormalizeName(std::string(259, 'n'), out));
}

TEST(Rar2Writer, LayoutDirectoriesFirstAndRejections) {
    Rar2Writer w;
    const Bytes text = Text(5000, 1);
    ASSERT_EQ(w.AddFile("top/inner/file.txt", text.data(), text.size(), 0x5B886B20), 0);
    EXPECT_EQ(w.AddDirectory("top", 0), 0);  // already added as a parent: nothing happens
    EXPECT_NE(w.AddFile("TOP/Inner/FILE.TXT", text.data(), 1, 0), 0);  // readers would not tell them apart
    EXPECT_NE(w.AddFile("top/inner/file.txt/x", text.data(), 1, 0), 0);  // a file in the way
    EXPECT_NE(w.AddFile("../escape", text.data(), 1, 0), 0);
    ASSERT_EQ(w.AddFile("undated", text.data(), 1, 0), 0);  // no month or day: readers reject it
    EXPECT_FALSE(w.LastError().empty());
    const Bytes archive = w.GetBytes();

    // Marker and a 13-byte main header whose CRC covers the bytes after the CRC field.
    ASSERT_GT(archive.size(), 20u);
    EXPECT_EQ(Bytes(archive.begin(), archive.begin() + 7), (Bytes{0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00}));
    EXPECT_EQ(archive[9], 0x73);
    EXPECT_EQ(archive[12] | archive[13] << 8, 13);
    EXPECT_EQ(archive[7] | archive[8] << 8, int(Crc32::Compute(archive.data() + 9, 11) & 0xFFFF));

    Rar2Archive reader(archive.data(), archive.size());
    ASSERT_TRUE(reader.IsOpen());
    const auto& e = reader.GetEntries();
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[3].fileTime, 0x00210000u);  // 1980-01-01
    EXPECT_EQ(e[0].name, "top");
    EXPECT_EQ(e[1].name, "top\\inner");
    EXPECT_EQ(e[2].name, "top\\inner\\file.txt");
    EXPECT_TRUE(e[0].IsDirectory() && e[1].IsDirectory());
    EXPECT_EQ(e[0].attributes, 0x10u);
    EXPECT_EQ(e[2].method, 0x33);
    EXPECT_EQ(e[2].unpackVersion, 20);
    EXPECT_EQ(e[2].flags & 0xE0, 0x80);  // 1 MiB dictionary
    EXPECT_EQ(e[2].fileTime, 0x5B886B20u);
    EXPECT_EQ(e[2].fileCrc, Crc32::Compute(text.data(), text.size()));
    // Every file header's CRC is right.
    size_t pos = 20;
    for (const Rar2Entry& entry : e) {
        const size_t headerSize = archive[pos + 5] | archive[pos + 6] << 8;
        EXPECT_EQ(archive[pos] | archive[pos + 1] << 8,
                  int(Crc32::Compute(archive.data() + pos + 2, headerSize - 2) & 0xFFFF)) << entry.name;
        pos += headerSize + entry.packedSize;
    }
    EXPECT_EQ(pos, archive.size());
}

TEST(Rar2Writer, IncompressibleDataIsStoredAndEmptyFilesAreStored) {
    Rar2Writer w;
    const Bytes noise = Noise(3000, 5);
    ASSERT_EQ(w.AddFile("noise", noise.data(), noise.size(), 0), 0);
    ASSERT_EQ(w.AddFile("empty", nullptr, 0, 0), 0);
    Rar2Archive reader(w.GetBytes().data(), w.GetBytes().size());
    ASSERT_EQ(reader.GetEntries().size(), 2u);
    EXPECT_EQ(reader.GetEntries()[0].method, 0x30);
    EXPECT_EQ(reader.GetEntries()[0].packedSize, 3000u);
    EXPECT_EQ(reader.GetEntries()[1].method, 0x30);
    EXPECT_EQ(reader.GetEntries()[1].packedSize, 0u);
}

struct Case {
    std::string name;
    Bytes data;
};

std::vector<Case> Corpus() {
    std::vector<Case> c;
    c.push_back({"empty.bin", {}});
    c.push_back({"one.bin", {0x42}});
    c.push_back({"zeros.bin", Bytes(300000, 0)});
    Bytes pattern;
    for (int i = 0; i < 100000; ++i) pattern.push_back(uint8_t("abcabd"[i % 6] + (i / 5000)));
    c.push_back({"pattern.bin", pattern});
    c.push_back({"noise.bin", Noise(70000, 3)});
    c.push_back({"text.txt", Text(400000, 9)});
    // Text, then noise, then the same text again: tables must change, and the repeat is
    // found 256 KiB back, where matches carry a length bonus.
    Bytes mixed = Text(100000, 4);
    const Bytes n = Noise(300000, 8);
    mixed.insert(mixed.end(), n.begin(), n.end());
    mixed.insert(mixed.end(), mixed.begin(), mixed.begin() + 100000);
    c.push_back({"mixed.bin", mixed});
    return c;
}

// Packs the cases, decodes them with our reader and compares every byte.
void RoundTrip(const Rar2Writer::Options& options, const std::vector<Case>& cases) {
    Rar2Writer w(options);
    for (const Case& c : cases) ASSERT_EQ(w.AddFile(c.name, c.data.data(), c.data.size(), 0), 0) << w.LastError();
    const Bytes& archive = w.GetBytes();
    Rar2Archive reader(archive.data(), archive.size());
    ASSERT_TRUE(reader.IsOpen());
    ASSERT_EQ(reader.GetEntries().size(), cases.size());
    EXPECT_EQ(reader.IsSolid(), options.solid);
    size_t index = 0;
    reader.ExtractAll("", [&](size_t i, Rar2Result r, const Bytes& data) {
        EXPECT_EQ(i, index++);
        EXPECT_EQ(r, Rar2Result::Ok) << cases[i].name << ": " << Rar2Archive::Describe(r);
        EXPECT_TRUE(data == cases[i].data) << cases[i].name;
    });
    EXPECT_EQ(index, cases.size());
    // One entry out of order too (a solid archive decodes its predecessors).
    Bytes last;
    EXPECT_EQ(reader.Extract(cases.size() - 1, "", last), Rar2Result::Ok);
    EXPECT_TRUE(last == cases.back().data);
}

TEST(Rar2Writer, RoundTripThroughOurDecoder) {
    RoundTrip({}, Corpus());
}

TEST(Rar2Writer, RoundTripSolid) {
    Rar2Writer::Options o;
    o.solid = true;
    RoundTrip(o, Corpus());
}

TEST(Rar2Writer, RoundTripBeyondTheWindow) {
    // 3 MiB of text with long-range repeats: the decoder's window wraps several times.
    Bytes big = Text(1 << 20, 11);
    const Bytes more = Text(1 << 20, 12);
    big.insert(big.end(), more.begin(), more.end());
    big.insert(big.end(), big.begin() + 500000, big.begin() + 500000 + (1 << 20));
    RoundTrip({}, {{"big.txt", big}});
}

// 16-bit PCM of two slowly beating tones, and a little noise.
Bytes Pcm(size_t frames, int channels) {
    Bytes b;
    int32_t a = 0, v = 3000, c = 0, w = -2000;
    uint32_t x = 1;
    for (size_t i = 0; i < frames; ++i) {
        v -= a / 40;
        a += v / 40;
        w -= c / 25;
        c += w / 25;
        for (int ch = 0; ch < channels; ++ch) {
            x = x * 1664525u + 1013904223u;
            const int32_t s = (ch == 0 ? a : c) + int32_t(x >> 29);
            b.push_back(uint8_t(s));
            b.push_back(uint8_t(s >> 8));
        }
    }
    return b;
}

TEST(Rar2Writer, RoundTripAudio) {
    for (int channels = 1; channels <= 4; ++channels) {
        for (bool solid : {false, true}) {
            SCOPED_TRACE(testing::Message() << channels << " channels, solid " << solid);
            Rar2Writer::Options o;
            o.audio = true;
            o.audioChannels = channels;
            o.solid = solid;
            // Lengths not divisible by the channel count, and enough data for table changes.
            RoundTrip(o, {{"a.pcm", Pcm(40001, 2)}, {"b.pcm", Pcm(9, 1)}, {"c.txt", Text(20000, 3)},
                          {"d.pcm", Pcm(30000, 1)}});
        }
    }
    // The predictor pays: mono 16-bit PCM shrinks well below what LZ achieves.
    const Bytes pcm = Pcm(100000, 1);
    Rar2Encoder::Settings audio;
    audio.audio = true;
    audio.channels = 2;
    Rar2Encoder a(audio), lz;
    Bytes pa, pl;
    a.Encode(pcm.data(), pcm.size(), pa);
    lz.Encode(pcm.data(), pcm.size(), pl);
    EXPECT_LT(pa.size() * 10, pl.size() * 8) << pa.size() << " vs " << pl.size();
}

TEST(Rar2Writer, RoundTripManyFilesAndDirectories) {
    std::vector<Case> cases;
    Rar2Writer::Options o;
    o.solid = true;
    Rar2Writer w(o);
    for (int i = 0; i < 150; ++i) {
        const std::string name = std::string("d").append(std::to_string(i % 3)) + "/e" + std::to_string(i % 5) + "/f" + std::to_string(i);
        const Bytes data = (i % 4 == 3) ? Noise(size_t(i * 13), uint32_t(i)) : Text(size_t(i * 97), uint32_t(i % 7));
        ASSERT_EQ(w.AddFile(name, data.data(), data.size(), 0), 0);
        cases.push_back({name, data});
    }
    const Bytes& archive = w.GetBytes();
    Rar2Archive reader(archive.data(), archive.size());
    size_t files = 0;
    reader.ExtractAll("", [&](size_t i, Rar2Result r, const Bytes& data) {
        const Rar2Entry& e = reader.GetEntries()[i];
        if (e.IsDirectory()) return;
        ASSERT_EQ(r, Rar2Result::Ok) << e.name;
        const Case& c = cases[files++];
        EXPECT_TRUE(Rar2Archive::NamesMatch(e.name, c.name)) << e.name;
        EXPECT_TRUE(data == c.data) << e.name;
    });
    EXPECT_EQ(files, cases.size());
    EXPECT_EQ(reader.GetEntries().size(), cases.size() + 3 + 15);  // d0..d2 and 15 subfolders
}

TEST(Rar2Writer, SameInputSameBytes) {
    for (bool solid : {false, true}) {
        Rar2Writer::Options o;
        o.solid = solid;
        Rar2Writer a(o), b(o);
        for (const Case& c : Corpus()) {
            a.AddFile(c.name, c.data.data(), c.data.size(), 1234);
            b.AddFile(c.name, c.data.data(), c.data.size(), 1234);
        }
        EXPECT_TRUE(a.GetBytes() == b.GetBytes());
    }
    // A reused encoder gives the same stream after Reset as a fresh one.
    const Bytes text = Text(50000, 2);
    Rar2Encoder e1, e2;
    Bytes p1, p2, scratch;
    e1.Encode(text.data(), text.size(), scratch);
    e1.Reset();
    e1.Encode(text.data(), text.size(), p1);
    e2.Encode(text.data(), text.size(), p2);
    EXPECT_TRUE(p1 == p2);
}

TEST(Rar2Writer, CompressesTextAndFindsFarRepeats) {
    const Bytes text = Text(200000, 21);
    Rar2Encoder e;
    Bytes packed;
    ASSERT_EQ(e.Encode(text.data(), text.size(), packed), 0);
    EXPECT_LT(packed.size(), text.size() / 5);
    // Noise repeated 600 KiB later: only a dictionary that reaches that far finds it.
    Bytes twice = Noise(600000, 4);
    twice.insert(twice.end(), twice.begin(), twice.end());
    e.Reset();
    ASSERT_EQ(e.Encode(twice.data(), twice.size(), packed), 0);
    EXPECT_LT(packed.size(), 600000u + 6000u);
}

} // namespace
} // namespace nuv
