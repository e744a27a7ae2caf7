// The four image codecs on hand-made files: byte layouts, row order, channel order, padding,
// run-length packets, and files that must be refused before anything is allocated.
#include "core/Log.h"
#include "media/image/BmpImageCodec.h"
#include "media/image/CubeImageCodec.h"
#include "media/image/Image.h"
#include "media/image/TgaImageCodec.h"
#include "media/image/VolumeImage.h"
#ifdef NUV_HAVE_JPEG
#include "media/image/JpgImageCodec.h"
#endif
#include "../core/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace nuv {
namespace {

using Bytes = std::vector<uint8_t>;

// A picture whose every byte depends on its position, so that a swapped row or channel shows.
Pointer<Image> MakeImage(int width, int height, int format) {
    Pointer<Image> image = new Image("made", width, height, format);
    for (int i = 0; i < image->GetDataSize(); ++i) image->GetPixels()[i] = uint8_t(i * 7 + 3);
    return image;
}

Bytes PixelsOf(const Image& image) {
    return Bytes(image.GetPixels(), image.GetPixels() + image.GetDataSize());
}

void Put16(Bytes& b, int offset, int v) {
    b[offset] = uint8_t(v);
    b[offset + 1] = uint8_t(v >> 8);
}
void Put32(Bytes& b, int offset, uint32_t v) {
    Put16(b, offset, int(v & 0xFFFF));
    Put16(b, offset + 2, int(v >> 16));
}

Bytes TgaHeader(int type, int width, int height, int bits, int descriptor) {
    Bytes b(18, 0);
    b[2] = uint8_t(type);
    Put16(b, 12, width);
    Put16(b, 14, height);
    b[16] = uint8_t(bits);
    b[17] = uint8_t(descriptor);
    return b;
}

// Every refused file leaves the image it was decoded into as it was.
void ExpectRefused(ImageCodec& codec, const Bytes& file, int status = 1) {
    Pointer<Image> image = MakeImage(2, 2, Image::kRgb);
    const Bytes before = PixelsOf(*image);
    EXPECT_EQ(codec.Decode(file.data(), int(file.size()), *image, "bad"), status);
    EXPECT_EQ(image->GetWidth(), 2);
    EXPECT_EQ(PixelsOf(*image), before);
}

TEST(BmpCodec, OddWidthRowsArePaddedAndStoredBlueGreenRed) {
    BmpImageCodec codec;
    Pointer<Image> image = MakeImage(3, 2, Image::kRgb);
    Bytes file;
    ASSERT_EQ(codec.Encode(*image, file), 0);
    ASSERT_EQ(file.size(), 54u + 2 * 12);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[10], 54);
    EXPECT_EQ(file[28], 24);
    const uint8_t* px = image->GetPixels();
    // Memory row 0 is the file's first row; pixel bytes reversed; three zero bytes of padding.
    EXPECT_EQ(file[54], px[2]);
    EXPECT_EQ(file[56], px[0]);
    EXPECT_EQ(Bytes(file.begin() + 63, file.begin() + 66), Bytes(3, 0));
    EXPECT_EQ(file[66], px[9 + 2]);

    Pointer<Image> back = new Image;
    ASSERT_EQ(codec.Decode(file.data(), int(file.size()), *back, "odd"), 0);
    EXPECT_EQ(back->GetFormat(), Image::kRgb);
    EXPECT_EQ(PixelsOf(*back), PixelsOf(*image));

    ASSERT_EQ(codec.Encode(*MakeImage(4, 2, Image::kRgb), file), 0);
    EXPECT_EQ(file.size(), 54u + 2 * 12);  // four pixels fill a row exactly
}

TEST(BmpCodec, OneChannelRoundTripsThroughTheGreyPalette) {
    BmpImageCodec codec;
    Pointer<Image> image = MakeImage(5, 3, Image::kOneChannel);
    Bytes file;
    ASSERT_EQ(codec.Encode(*image, file), 0);
    EXPECT_EQ(file[28], 8);
    Pointer<Image> back = new Image;
    ASSERT_EQ(codec.Decode(file.data(), int(file.size()), *back, "grey"), 0);
    EXPECT_EQ(back->GetFormat(), Image::kOneChannel);
    EXPECT_EQ(PixelsOf(*back), PixelsOf(*image));
    EXPECT_EQ(codec.Encode(*MakeImage(2, 2, Image::kRgba), file), 3);
}

TEST(BmpCodec, TopDownRowsEndUpBottomFirst) {
    BmpImageCodec codec;
    Pointer<Image> image = MakeImage(4, 3, Image::kRgb);
    Bytes file;
    ASSERT_EQ(codec.Encode(*image, file), 0);
    // Same file with a negative height and the rows in the opposite order.
    Bytes flipped = file;
    Put32(flipped, 22, uint32_t(-3));
    for (int r = 0; r < 3; ++r)
        std::copy(file.begin() + 54 + 12 * r, file.begin() + 66 + 12 * r, flipped.begin() + 54 + 12 * (2 - r));
    Pointer<Image> back = new Image;
    ASSERT_EQ(codec.Decode(flipped.data(), int(flipped.size()), *back, "topdown"), 0);
    EXPECT_EQ(PixelsOf(*back), PixelsOf(*image));
}

TEST(BmpCodec, RefusesBadFiles) {
    BmpImageCodec codec;
    Bytes good;
    ASSERT_EQ(codec.Encode(*MakeImage(3, 3, Image::kRgb), good), 0);
    ExpectRefused(codec, Bytes(good.begin(), good.end() - 1));  // cut short
    ExpectRefused(codec, Bytes(good.begin(), good.begin() + 40));
    Bytes b = good;
    Put32(b, 18, 60000);
    Put32(b, 22, 60000);
    ExpectRefused(codec, b);  // forged size: refused before the block is allocated
    Put32(b, 18, 0x7FFFFFFF);
    Put32(b, 22, 0x80000000);
    ExpectRefused(codec, b);  // sizes whose product overflows, the height top-down
    b = good;
    Put16(b, 28, 16);
    ExpectRefused(codec, b);
    b = good;
    Put32(b, 10, uint32_t(good.size() + 1));
    ExpectRefused(codec, b);  // pixels beyond the end
    Put32(b, 10, 20);
    ExpectRefused(codec, b);  // pixels inside the headers
    b = good;
    Put32(b, 30, 1);
    ExpectRefused(codec, b);  // run-length compression
    b = good;
    b[0] = 'X';
    ExpectRefused(codec, b);
}

TEST(TgaCodec, BottomLeftFileLoadsAsRedGreenBlueWithFirstRowAtTheBottom) {
    TgaImageCodec codec;
    Bytes file = TgaHeader(2, 2, 2, 24, 0);
    const uint8_t rows[] = {1, 2, 3, 4, 5, 6, /* second row */ 7, 8, 9, 10, 11, 12};
    file.insert(file.end(), rows, rows + sizeof(rows));
    Pointer<Image> image = new Image;
    ASSERT_EQ(codec.Decode(file.data(), int(file.size()), *image, "bl"), 0);
    EXPECT_EQ(image->GetFormat(), Image::kRgb);
    EXPECT_EQ(PixelsOf(*image), (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}));

    // The same picture stored from the top down loads to the same memory.
    Bytes top = TgaHeader(2, 2, 2, 24, 0x20);
    const uint8_t topRows[] = {7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6};
    top.insert(top.end(), topRows, topRows + sizeof(topRows));
    Pointer<Image> fromTop = new Image;
    ASSERT_EQ(codec.Decode(top.data(), int(top.size()), *fromTop, "tl"), 0);
    EXPECT_EQ(PixelsOf(*fromTop), PixelsOf(*image));
}

TEST(TgaCodec, RunLengthPackets) {
    TgaImageCodec codec;
    Pointer<Image> image = new Image;
    Bytes one = TgaHeader(10, 1, 1, 24, 0);
    one.insert(one.end(), {0x80, 10, 20, 30});
    ASSERT_EQ(codec.Decode(one.data(), int(one.size()), *image, "one"), 0);
    EXPECT_EQ(PixelsOf(*image), (Bytes{30, 20, 10}));

    // A repeat of three, a raw run of two, then a repeat that runs past the end and is cut.
    Bytes runs = TgaHeader(10, 3, 2, 32, 0);
    runs.insert(runs.end(), {0x82, 1, 2, 3, 4, 0x01, 5, 6, 7, 8, 9, 10, 11, 12, 0xFF, 13, 14, 15, 16});
    ASSERT_EQ(codec.Decode(runs.data(), int(runs.size()), *image, "runs"), 0);
    EXPECT_EQ(image->GetFormat(), Image::kRgba);
    EXPECT_EQ(PixelsOf(*image), (Bytes{3, 2, 1, 4, 3, 2, 1, 4, 3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12, 15, 14, 13, 16}));
}

TEST(TgaCodec, SavedFileIsTopDownBlueGreenRedAndRoundTrips) {
    TgaImageCodec codec;
    for (int format : {Image::kRgb, Image::kRgba}) {
        Pointer<Image> image = MakeImage(3, 2, format);
        Bytes file;
        ASSERT_EQ(codec.Encode(*image, file), 0);
        const int bpp = Image::GetBytesPerPixel(format);
        ASSERT_EQ(file.size(), size_t(18 + 6 * bpp));
        EXPECT_EQ(file[2], 2);
        EXPECT_EQ(file[17], 40);
        // The file starts with the top row, memory row 1.
        EXPECT_EQ(file[18], image->GetPixels()[3 * bpp + 2]);
        EXPECT_EQ(file[20], image->GetPixels()[3 * bpp]);
        Pointer<Image> back = new Image;
        ASSERT_EQ(codec.Decode(file.data(), int(file.size()), *back, "rt"), 0);
        EXPECT_EQ(back->GetFormat(), format);
        EXPECT_EQ(PixelsOf(*back), PixelsOf(*image));
    }
    Bytes file;
    EXPECT_EQ(codec.Encode(*MakeImage(2, 2, Image::kOneChannel), file), 3);
}

TEST(TgaCodec, RefusesBadFiles) {
    TgaImageCodec codec;
    ExpectRefused(codec, Bytes(10, 0));
    Bytes raw = TgaHeader(2, 60000, 60000, 24, 0);
    raw.resize(100, 0x55);
    ExpectRefused(codec, raw);
    Bytes rle = TgaHeader(10, 60000, 60000, 32, 0);
    rle.resize(100, 0xFF);  // repeat packets of 128 pixels: still far too few bytes
    ExpectRefused(codec, rle);
    Bytes cut = TgaHeader(10, 4, 4, 24, 0);
    cut.insert(cut.end(), {0x87, 1, 2, 3, 0x80, 1, 2});  // the second packet lacks a byte
    ExpectRefused(codec, cut);
    Bytes grey = TgaHeader(3, 1, 1, 8, 0);
    grey.push_back(0);
    ExpectRefused(codec, grey);
    Bytes bits16 = TgaHeader(2, 1, 1, 16, 0);
    bits16.insert(bits16.end(), {0, 0});
    ExpectRefused(codec, bits16);
    Bytes longId = TgaHeader(2, 1, 1, 24, 0);
    longId[0] = 200;  // identification field beyond the end
    longId.insert(longId.end(), {1, 2, 3});
    ExpectRefused(codec, longId);
}

TEST(CubeCodec, SixFacesJoinIntoOneVolumeAndRoundTrip) {
    CubeImageCodec codec;
    Pointer<VolumeImage> volume = new VolumeImage("cube", 3, 2, Image::kRgba, 6);
    for (int i = 0; i < volume->GetDataSize(); ++i) volume->GetPixels()[i] = uint8_t(i * 13 + 1);
    Bytes file;
    ASSERT_EQ(codec.Encode(*volume, file), 0);
    EXPECT_EQ(file.size(), size_t(6 * (18 + 3 * 2 * 4)));
    Pointer<VolumeImage> back = new VolumeImage;
    ASSERT_EQ(codec.Decode(file.data(), int(file.size()), *back, "cube"), 0);
    EXPECT_EQ(back->GetDepth(), 6);
    EXPECT_EQ(back->GetDataSize(), volume->GetDataSize());
    EXPECT_EQ(PixelsOf(*back), PixelsOf(*volume));

    // The third face on its own is the third slice.
    TgaImageCodec tga;
    Pointer<Image> face = new Image;
    const int faceSize = 18 + 24;
    ASSERT_EQ(tga.Decode(file.data() + 2 * faceSize, faceSize, *face, "face"), 0);
    EXPECT_EQ(Bytes(face->GetPixels(), face->GetPixels() + 24),
              Bytes(volume->GetPixels() + 48, volume->GetPixels() + 72));

    EXPECT_EQ(codec.Encode(*MakeImage(2, 2, Image::kRgb), file), 1);  // not a volume
    Pointer<Image> plain = new Image;
    EXPECT_EQ(codec.Decode(file.data(), int(file.size()), *plain, "plain"), 1);
}

TEST(CubeCodec, RefusesMissingOrMismatchedFaces) {
    CubeImageCodec codec;
    Bytes file;
    Pointer<VolumeImage> volume = new VolumeImage("cube", 2, 2, Image::kRgb, 6);
    std::fill(volume->GetPixels(), volume->GetPixels() + volume->GetDataSize(), uint8_t(9));
    ASSERT_EQ(codec.Encode(*volume, file), 0);
    Pointer<VolumeImage> back = new VolumeImage;
    EXPECT_EQ(codec.Decode(file.data(), int(file.size()) - 1, *back, "cut"), 1);
    Bytes odd = file;
    odd[5 * 30 + 12] = 1;  // the last face one pixel narrower
    EXPECT_EQ(codec.Decode(odd.data(), int(odd.size()), *back, "odd"), 1);
    EXPECT_EQ(back->GetDepth(), 0);
}

#ifdef NUV_HAVE_JPEG
TEST(JpgCodec, RoundTripStaysCloseAndKeepsRowOrder) {
    JpgImageCodec codec;
    // Smooth colour ramps survive quality 50 within a few levels; a flipped picture would not.
    for (int format : {Image::kRgb, Image::kOneChannel}) {
        Pointer<Image> image = new Image("ramp", 32, 16, format);
        const int bpp = Image::GetBytesPerPixel(format);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 32; ++x)
                for (int c = 0; c < bpp; ++c) image->GetPixels()[(y * 32 + x) * bpp + c] = uint8_t(y * 6 + x * c * 2);
        Bytes file;
        ASSERT_EQ(codec.Encode(*image, file), 0);
        EXPECT_EQ(file[0], 0xFF);
        EXPECT_EQ(file[1], 0xD8);
        Pointer<Image> back = new Image;
        ASSERT_EQ(codec.Decode(file.data(), int(file.size()), *back, "ramp"), 0);
        ASSERT_EQ(back->GetFormat(), format);
        ASSERT_EQ(back->GetDataSize(), image->GetDataSize());
        int worst = 0;
        for (int i = 0; i < image->GetDataSize(); ++i)
            worst = std::max(worst, std::abs(int(back->GetPixels()[i]) - int(image->GetPixels()[i])));
        EXPECT_LE(worst, 12);
    }
    Bytes file;
    EXPECT_EQ(codec.Encode(*MakeImage(2, 2, Image::kRgba), file), 3);
}

TEST(JpgCodec, LibraryErrorsBecomeAWarningAndAFailure) {
    JpgImageCodec codec;
    Pointer<Image> image = new Image("ramp", 16, 16, Image::kRgb);
    std::fill(image->GetPixels(), image->GetPixels() + image->GetDataSize(), uint8_t(100));
    Bytes good;
    ASSERT_EQ(codec.Encode(*image, good), 0);
    {
        test::LogRecorder log;
        Bytes notJpeg(good.size(), 0x42);
        ExpectRefused(codec, notJpeg);
        // "Not a JPEG file: starts with 0x42 0x42", the library's message code first.
        ASSERT_EQ(log.lines.size(), 1u);
        EXPECT_EQ(log.lines[0].rfind("1|", 0), 0u);
        EXPECT_NE(log.lines[0].find("0x42 0x42"), std::string::npos);
        EXPECT_TRUE(log.lines[0][2] >= '1' && log.lines[0][2] <= '9');
    }
    ExpectRefused(codec, Bytes(good.begin(), good.begin() + good.size() / 2));  // cut in the scan
    ExpectRefused(codec, Bytes(good.begin(), good.begin() + 30));               // cut in the headers
    // A forged 60000 x 60000 frame header in a small file.
    Bytes forged = good;
    for (size_t i = 0; i + 8 < forged.size(); ++i) {
        if (forged[i] == 0xFF && forged[i + 1] == 0xC0) {
            forged[i + 5] = 0xEA, forged[i + 6] = 0x60, forged[i + 7] = 0xEA, forged[i + 8] = 0x60;
            break;
        }
    }
    ExpectRefused(codec, forged);
    // The process goes on: the good file still decodes.
    Pointer<Image> back = new Image;
    EXPECT_EQ(codec.Decode(good.data(), int(good.size()), *back, "good"), 0);
}
#endif

} // namespace
} // namespace nuv
