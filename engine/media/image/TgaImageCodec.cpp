#include "media/image/TgaImageCodec.h"

#include "core/Log.h"
#include "core/Status.h"
#include "media/image/Image.h"

#include <cstring>
#include <utility>

namespace nuv {

namespace {

const detail::CodecModule<TgaImageCodec> gModule;

constexpr int kHeaderSize = 18;
constexpr int kTypeRaw = 2;
constexpr int kTypeRunLength = 10;
constexpr int kTopOrigin = 0x20;

uint32_t Le16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

// Run-length packets: a header byte with the top bit set repeats the next pixel (header & 127)
// + 1 times, otherwise (header + 1) raw pixels follow. A packet running past the end of the
// picture is cut there. False when the bytes end first.
bool UnpackRuns(const uint8_t*& src, const uint8_t* end, uint8_t* dst, int64_t count, int bpp) {
    uint8_t* const dstEnd = dst + count * bpp;
    while (dst < dstEnd) {
        if (src >= end) return false;
        const int header = *src++;
        int64_t run = (header & 127) + 1;
        if (run > (dstEnd - dst) / bpp) run = (dstEnd - dst) / bpp;
        if (header & 128) {
            if (end - src < bpp) return false;
            for (int64_t i = 0; i < run; ++i, dst += bpp) std::memcpy(dst, src, size_t(bpp));
            src += bpp;
        } else {
            // The skipped remainder of a cut raw packet still belongs to it.
            const int64_t stored = int64_t(header + 1) * bpp;
            if (end - src < run * bpp) return false;
            std::memcpy(dst, src, size_t(run * bpp));
            dst += run * bpp;
            src += stored <= end - src ? stored : end - src;
        }
    }
    return true;
}

} // namespace

TgaImageCodec::TgaImageCodec() : ImageCodec(kName) {
    AddExtension("TGA");
    AddExtension("tga");
    AddExtension("Tga");
}

int TgaImageCodec::Decode(const uint8_t* bytes, int size, Image& image, const char* name) {
    int used = 0;
    return DecodePicture(bytes, size, image, name, used);
}

int TgaImageCodec::DecodePicture(const uint8_t* bytes, int size, Image& image, const char* name, int& used) {
    used = 0;
    if (!bytes || size < kHeaderSize) {
        LogWarning("Недостаточно данных для заголовка TGA в файле [%s].", name);
        return kStatusFailed;
    }
    const int idLength = bytes[0];
    const int colourMapType = bytes[1];
    const int type = bytes[2];
    const int64_t colourMapBytes = colourMapType == 1 ? int64_t(Le16(bytes + 5)) * ((bytes[7] + 7) / 8) : 0;
    const int width = int(Le16(bytes + 12));
    const int height = int(Le16(bytes + 14));
    const int bitsPerPixel = bytes[16];
    const int descriptor = bytes[17];
    if (bitsPerPixel != 24 && bitsPerPixel != 32) {
        LogWarning("Неподдерживаемое количество бит на пиксель [%d] в файле [%s].", bitsPerPixel, name);
        return kStatusFailed;
    }
    if (type != kTypeRaw && type != kTypeRunLength) {
        LogWarning("Неподдерживаемый тип изображения TGA [%d] в файле [%s].", type, name);
        return kStatusFailed;
    }
    if (width == 0 || height == 0) {
        LogWarning("Неверный размер изображения %dx%d в файле [%s].", width, height, name);
        return kStatusFailed;
    }
    const int bpp = bitsPerPixel / 8;
    const int64_t count = int64_t(width) * height;
    const uint8_t* src = bytes + kHeaderSize;
    const uint8_t* const end = bytes + size;
    // A colour map is of no use to true-colour pixels, but its bytes come before them.
    if (idLength + colourMapBytes > end - src) {
        LogWarning("Недостаточно данных изображения в файле [%s].", name);
        return kStatusFailed;
    }
    src += idLength + colourMapBytes;
    // The pixels must be in the file before their block is allocated: raw ones take bpp
    // bytes each; a run-length packet of 1 + bpp bytes gives at most 128 pixels.
    const int64_t available = end - src;
    const int64_t needed = type == kTypeRaw ? count * bpp : (count + 127) / 128 * (1 + bpp);
    if (needed > available) {
        LogWarning("Недостаточно данных изображения в файле [%s].", name);
        return kStatusFailed;
    }
    std::unique_ptr<uint8_t[]> pixels = Image::AllocatePixels(count * bpp);
    if (!pixels) {
        LogWarning("Недостаточно памяти для изображения из файла [%s].", name);
        return kStatusNoMemory;
    }
    if (type == kTypeRaw) {
        std::memcpy(pixels.get(), src, size_t(count * bpp));
        src += count * bpp;
    } else if (!UnpackRuns(src, end, pixels.get(), count, bpp)) {
        LogWarning("Недостаточно данных изображения в файле [%s].", name);
        return kStatusFailed;
    }
    // The file holds blue, green, red (alpha); memory red, green, blue (alpha).
    uint8_t* p = pixels.get();
    for (int64_t i = 0; i < count; ++i, p += bpp) std::swap(p[0], p[2]);
    // Rows stored from the top down are turned round, so that memory row 0 is the bottom row
    // whichever origin the file used.
    if (descriptor & kTopOrigin) {
        const int64_t rowSize = int64_t(width) * bpp;
        for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
            std::swap_ranges(pixels.get() + rowSize * top, pixels.get() + rowSize * (top + 1),
                             pixels.get() + rowSize * bottom);
    }
    used = int(src - bytes);
    image.AdoptPixels(width, height, bpp == 4 ? Image::kRgba : Image::kRgb, std::move(pixels));
    return kStatusOk;
}

int64_t TgaImageCodec::PictureSize(int width, int height, int format) {
    return kHeaderSize + int64_t(width) * height * Image::GetBytesPerPixel(format);
}

void TgaImageCodec::AppendPicture(const uint8_t* pixels, int width, int height, int format,
                                  std::vector<uint8_t>& bytes) {
    const int bpp = Image::GetBytesPerPixel(format);
    uint8_t header[kHeaderSize] = {};
    header[2] = kTypeRaw;
    header[12] = uint8_t(width);
    header[13] = uint8_t(width >> 8);
    header[14] = uint8_t(height);
    header[15] = uint8_t(height >> 8);
    header[16] = uint8_t(8 * bpp);
    header[17] = 40;  // top-left origin, 8 attribute bits
    bytes.insert(bytes.end(), header, header + kHeaderSize);
    const int64_t rowSize = int64_t(width) * bpp;
    for (int row = height - 1; row >= 0; --row) {
        const size_t start = bytes.size();
        const uint8_t* src = pixels + rowSize * row;
        bytes.insert(bytes.end(), src, src + rowSize);
        for (uint8_t* p = bytes.data() + start; p < bytes.data() + bytes.size(); p += bpp) std::swap(p[0], p[2]);
    }
}

int TgaImageCodec::Encode(const Image& image, std::vector<uint8_t>& bytes) {
    const int format = image.GetFormat();
    if (format != Image::kRgb && format != Image::kRgba) return kStatusNotFound;
    const int width = image.GetWidth();
    const int height = image.GetHeight();
    // The header holds 16-bit sizes.
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535 || !image.HasPixels()) return kStatusFailed;
    try {
        bytes.clear();
        bytes.reserve(size_t(PictureSize(width, height, format)));
    } catch (const std::bad_alloc&) {
        return kStatusNoMemory;
    }
    AppendPicture(image.GetPixels(), width, height, format, bytes);
    return kStatusOk;
}

} // namespace nuv
