#include "media/image/BmpImageCodec.h"

#include "core/Log.h"
#include "core/Status.h"
#include "media/image/Image.h"

#include <cstring>

namespace nuv {

namespace {

const detail::CodecModule<BmpImageCodec> gModule;

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr int kHeadersSize = kFileHeaderSize + kInfoHeaderSize;

uint32_t Le16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t Le32(const uint8_t* p) {
    return Le16(p) | Le16(p + 2) << 16;
}
void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// Rows are padded to a multiple of four bytes.
int64_t PaddedRowSize(int64_t width, int bytesPerPixel) {
    return (width * bytesPerPixel + 3) & ~int64_t(3);
}

} // namespace

BmpImageCodec::BmpImageCodec() : ImageCodec(kName) {
    AddExtension("BMP");
    AddExtension("bmp");
    AddExtension("Bmp");
}

int BmpImageCodec::Decode(const uint8_t* bytes, int size, Image& image, const char* name) {
    if (!bytes || size < kHeadersSize || bytes[0] != 'B' || bytes[1] != 'M') {
        LogWarning("Файл [%s] не является BMP файлом.", name);
        return kStatusFailed;
    }
    const uint32_t pixelOffset = Le32(bytes + 10);
    const uint32_t infoSize = Le32(bytes + 14);
    const int32_t width = int32_t(Le32(bytes + 18));
    const int32_t storedHeight = int32_t(Le32(bytes + 22));
    const int bitsPerPixel = int(Le16(bytes + 28));
    const uint32_t compression = Le32(bytes + 30);
    const uint32_t coloursUsed = Le32(bytes + 46);
    if (pixelOffset < uint32_t(kHeadersSize) || pixelOffset > uint32_t(size) || infoSize < uint32_t(kInfoHeaderSize)) {
        LogWarning("Неверное смещение данных изображения в файле [%s].", name);
        return kStatusFailed;
    }
    if (bitsPerPixel != 8 && bitsPerPixel != 24) {
        LogWarning("Неподдерживаемое количество бит на пиксель [%d] в файле [%s].", bitsPerPixel, name);
        return kStatusFailed;
    }
    // Compressed pixels read as raw ones would be garbage.
    if (compression != 0) {
        LogWarning("Неподдерживаемое сжатие [%u] в файле [%s].", compression, name);
        return kStatusFailed;
    }
    // A negative height stores the rows from the top down.
    const bool topDown = storedHeight < 0;
    const int64_t height = topDown ? -int64_t(storedHeight) : storedHeight;
    if (width <= 0 || height <= 0 || height > INT32_MAX) {
        LogWarning("Неверный размер изображения %dx%lld в файле [%s].", width, (long long)height, name);
        return kStatusFailed;
    }
    const int bytesPerPixel = bitsPerPixel / 8;
    const int64_t rowSize = PaddedRowSize(width, bytesPerPixel);
    // The rows must be in the file before their block is allocated (divided, as the product
    // of forged sizes overflows).
    if (height > (int64_t(size) - pixelOffset) / rowSize) {
        LogWarning("Недостаточно данных изображения в файле [%s].", name);
        return kStatusFailed;
    }
    const int64_t packedRow = int64_t(width) * bytesPerPixel;
    std::unique_ptr<uint8_t[]> pixels = Image::AllocatePixels(packedRow * height);
    if (!pixels) {
        LogWarning("Недостаточно памяти для изображения из файла [%s].", name);
        return kStatusFailed;
    }

    // An 8-bit picture keeps the palette's grey level when the palette lies between the headers
    // and the pixels; a picture without one keeps its indices.
    uint8_t levels[256];
    for (int i = 0; i < 256; ++i) levels[i] = uint8_t(i);
    if (bitsPerPixel == 8) {
        const int64_t paletteStart = int64_t(kFileHeaderSize) + infoSize;
        int64_t entries = coloursUsed == 0 || coloursUsed > 256 ? 256 : coloursUsed;
        const int64_t room = (int64_t(pixelOffset) - paletteStart) / 4;
        if (entries > room) entries = room > 0 ? room : 0;
        for (int64_t i = 0; i < entries; ++i) {
            const uint8_t* e = bytes + paletteStart + 4 * i;  // blue, green, red, reserved
            levels[i] = e[0] == e[1] && e[1] == e[2] ? e[0] : uint8_t((e[2] * 77 + e[1] * 150 + e[0] * 29) >> 8);
        }
    }

    for (int64_t row = 0; row < height; ++row) {
        const uint8_t* src = bytes + pixelOffset + rowSize * row;
        uint8_t* dst = pixels.get() + packedRow * (topDown ? height - 1 - row : row);
        if (bitsPerPixel == 8) {
            for (int32_t x = 0; x < width; ++x) dst[x] = levels[src[x]];
        } else {
            for (int32_t x = 0; x < width; ++x, src += 3, dst += 3) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
            }
        }
    }
    image.AdoptPixels(width, int(height), bitsPerPixel == 8 ? Image::kOneChannel : Image::kRgb, std::move(pixels));
    return kStatusOk;
}

int BmpImageCodec::Encode(const Image& image, std::vector<uint8_t>& bytes) {
    const int format = image.GetFormat();
    if (format != Image::kRgb && format != Image::kOneChannel) return kStatusNotFound;
    const int width = image.GetWidth();
    const int height = image.GetHeight();
    if (width <= 0 || height <= 0 || !image.HasPixels()) return kStatusFailed;
    const int bytesPerPixel = Image::GetBytesPerPixel(format);
    // Other readers take an 8-bit bitmap's values as palette indices, so it carries the grey ramp.
    const int paletteSize = format == Image::kOneChannel ? 256 * 4 : 0;
    const int64_t rowSize = PaddedRowSize(width, bytesPerPixel);
    const int64_t dataSize = rowSize * height;
    const int64_t fileSize = kHeadersSize + paletteSize + dataSize;
    if (fileSize > INT32_MAX) return kStatusFailed;
    try {
        bytes.clear();
        bytes.reserve(size_t(fileSize));
    } catch (const std::bad_alloc&) {
        return kStatusNoMemory;
    }
    bytes.push_back('B');
    bytes.push_back('M');
    Put32(bytes, uint32_t(fileSize));
    Put16(bytes, 0);
    Put16(bytes, 0);
    Put32(bytes, uint32_t(kHeadersSize + paletteSize));
    Put32(bytes, kInfoHeaderSize);
    Put32(bytes, uint32_t(width));
    Put32(bytes, uint32_t(height));
    Put16(bytes, 1);
    Put16(bytes, uint32_t(8 * bytesPerPixel));
    Put32(bytes, 0);
    Put32(bytes, uint32_t(dataSize));
    Put32(bytes, 3780);
    Put32(bytes, 3780);
    Put32(bytes, 0);
    Put32(bytes, 0);
    for (int i = 0; paletteSize && i < 256; ++i) {
        const uint8_t grey = uint8_t(i);
        bytes.insert(bytes.end(), {grey, grey, grey, 0});
    }
    const uint8_t* pixels = image.GetPixels();
    const int64_t packedRow = int64_t(width) * bytesPerPixel;
    for (int row = 0; row < height; ++row) {
        const uint8_t* src = pixels + packedRow * row;
        if (bytesPerPixel == 1) {
            bytes.insert(bytes.end(), src, src + width);
        } else {
            for (int x = 0; x < width; ++x, src += 3) bytes.insert(bytes.end(), {src[2], src[1], src[0]});
        }
        bytes.resize(bytes.size() + size_t(rowSize - packedRow), 0);
    }
    return kStatusOk;
}

} // namespace nuv
