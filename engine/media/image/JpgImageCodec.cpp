#include "media/image/JpgImageCodec.h"

#include "core/Log.h"
#include "core/Status.h"
#include "media/image/Image.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

extern "C" {
#include <jpeglib.h>
#include <jerror.h>
}

namespace nuv {

namespace {

const detail::CodecModule<JpgImageCodec> gModule;

// Library errors come back here by longjmp instead of ending the process. Everything the
// decoder or encoder changes after setjmp lives in these structures, never in locals of the
// function that called setjmp.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void LogLibraryMessage(j_common_ptr info) {
    char text[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, text);
    LogWarning("%d %s", info->err->msg_code, text);
}

void ErrorExit(j_common_ptr info) {
    LogLibraryMessage(info);
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Warnings about damaged data go to the log once per picture; trace messages nowhere, and
// nothing ever to the console.
void EmitMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->num_warnings++ == 0) LogLibraryMessage(info);
}

void OutputMessage(j_common_ptr) {}

void InstallErrorManager(ErrorManager& errors) {
    jpeg_std_error(&errors.base);
    errors.base.error_exit = ErrorExit;
    errors.base.emit_message = EmitMessage;
    errors.base.output_message = OutputMessage;
}

// The whole file is handed over at once; running out means the data were cut short.
struct MemorySource {
    jpeg_source_mgr base;
    bool ranOut;
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr info) {
    auto* source = reinterpret_cast<MemorySource*>(info->src);
    source->ranOut = true;
    WARNMS(info, JWRN_JPEG_EOF);
    source->base.next_input_byte = kEndOfImage;
    source->base.bytes_in_buffer = sizeof(kEndOfImage);
    return TRUE;
}

void SkipInputData(j_decompress_ptr info, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* source = info->src;
    if (size_t(count) > source->bytes_in_buffer) {
        source->next_input_byte += source->bytes_in_buffer;
        source->bytes_in_buffer = 0;
        FillInputBuffer(info);
        return;
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= size_t(count);
}

void TermSource(j_decompress_ptr) {}

struct Decoder {
    jpeg_decompress_struct info;
    ErrorManager errors;
    MemorySource source;
    std::unique_ptr<uint8_t[]> pixels;
    int width = 0;
    int height = 0;
    int format = 0;
};

// Pixels a JPEG of size bytes may claim before anything is allocated for them. Even a flat
// picture costs some bits per 8 x 8 block, so a forged header in a tiny file fails here.
int64_t MaxPixelsFor(int size) {
    return int64_t(size) * 4096 + (int64_t(1) << 20);
}

// 0 with d.pixels filled; 1 after a library error, bad input or cut data; 2 without memory.
int RunDecoder(Decoder& d, const uint8_t* bytes, int size, const char* name) {
    if (setjmp(d.errors.jump)) {
        jpeg_destroy_decompress(&d.info);
        d.pixels.reset();
        return kStatusFailed;
    }
    jpeg_create_decompress(&d.info);
    d.source.base.next_input_byte = bytes;
    d.source.base.bytes_in_buffer = size_t(size);
    d.source.base.init_source = InitSource;
    d.source.base.fill_input_buffer = FillInputBuffer;
    d.source.base.skip_input_data = SkipInputData;
    d.source.base.resync_to_restart = jpeg_resync_to_restart;
    d.source.base.term_source = TermSource;
    d.source.ranOut = false;
    d.info.src = &d.source.base;
    jpeg_read_header(&d.info, TRUE);
    if (int64_t(d.info.image_width) * d.info.image_height > MaxPixelsFor(size) || d.source.ranOut) {
        LogWarning("Размер изображения %ux%u не соответствует размеру файла [%s].", d.info.image_width,
                   d.info.image_height, name);
        jpeg_destroy_decompress(&d.info);
        return kStatusFailed;
    }
    jpeg_start_decompress(&d.info);
    const int components = d.info.output_components;
    if (components != 1 && components != 3) {
        LogWarning("Неподдерживаемое количество компонент [%d] в файле [%s].", components, name);
        jpeg_destroy_decompress(&d.info);
        return kStatusFailed;
    }
    d.width = int(d.info.output_width);
    d.height = int(d.info.output_height);
    d.format = components == 1 ? Image::kOneChannel : Image::kRgb;
    const int64_t rowSize = int64_t(d.width) * components;
    d.pixels = Image::AllocatePixels(rowSize * d.height);
    if (!d.pixels) {
        LogWarning("Недостаточно памяти для изображения из файла [%s].", name);
        jpeg_destroy_decompress(&d.info);
        return kStatusNoMemory;
    }
    JSAMPARRAY row = (*d.info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d.info), JPOOL_IMAGE,
                                                 JDIMENSION(rowSize), 1);
    // Scanlines come from the top; memory row 0 is the bottom row.
    while (d.info.output_scanline < d.info.output_height) {
        const int y = int(d.info.output_scanline);
        if (jpeg_read_scanlines(&d.info, row, 1) != 1) break;
        std::memcpy(d.pixels.get() + rowSize * (d.height - 1 - y), row[0], size_t(rowSize));
    }
    if (d.source.ranOut || d.info.output_scanline < d.info.output_height) {
        // The cut was already reported by the library's warning.
        jpeg_destroy_decompress(&d.info);
        d.pixels.reset();
        return kStatusFailed;
    }
    jpeg_finish_decompress(&d.info);
    jpeg_destroy_decompress(&d.info);
    return kStatusOk;
}

// Encoded bytes grow in a vector, a chunk at a time.
struct MemoryDestination {
    jpeg_destination_mgr base;
    std::vector<uint8_t>* bytes;
};

constexpr size_t kChunk = 64 * 1024;

bool Grow(MemoryDestination& d, size_t used) {
    try {
        d.bytes->resize(used + kChunk);
    } catch (const std::bad_alloc&) {
        return false;
    }
    d.base.next_output_byte = d.bytes->data() + used;
    d.base.free_in_buffer = kChunk;
    return true;
}

void InitDestination(j_compress_ptr info) {
    auto* d = reinterpret_cast<MemoryDestination*>(info->dest);
    if (!Grow(*d, 0)) ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
}

boolean EmptyOutputBuffer(j_compress_ptr info) {
    // The whole buffer is full whatever free_in_buffer says.
    auto* d = reinterpret_cast<MemoryDestination*>(info->dest);
    if (!Grow(*d, d->bytes->size())) ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
    return TRUE;
}

void TermDestination(j_compress_ptr info) {
    auto* d = reinterpret_cast<MemoryDestination*>(info->dest);
    d->bytes->resize(d->bytes->size() - d->base.free_in_buffer);
}

struct Encoder {
    jpeg_compress_struct info;
    ErrorManager errors;
    MemoryDestination destination;
};

int RunEncoder(Encoder& e, const Image& image, std::vector<uint8_t>& bytes) {
    if (setjmp(e.errors.jump)) {
        jpeg_destroy_compress(&e.info);
        return kStatusFailed;
    }
    jpeg_create_compress(&e.info);
    e.destination.base.init_destination = InitDestination;
    e.destination.base.empty_output_buffer = EmptyOutputBuffer;
    e.destination.base.term_destination = TermDestination;
    e.destination.bytes = &bytes;
    e.info.dest = &e.destination.base;
    const bool grey = image.GetFormat() == Image::kOneChannel;
    e.info.image_width = JDIMENSION(image.GetWidth());
    e.info.image_height = JDIMENSION(image.GetHeight());
    e.info.input_components = grey ? 1 : 3;
    e.info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&e.info);
    jpeg_set_quality(&e.info, JpgImageCodec::kQuality, TRUE);
    jpeg_start_compress(&e.info, TRUE);
    const int64_t rowSize = int64_t(image.GetWidth()) * e.info.input_components;
    const int height = image.GetHeight();
    // Rows go to the encoder from the top of the picture down.
    while (e.info.next_scanline < e.info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.GetPixels() + rowSize * (height - 1 - int(e.info.next_scanline)));
        jpeg_write_scanlines(&e.info, &row, 1);
    }
    jpeg_finish_compress(&e.info);
    jpeg_destroy_compress(&e.info);
    return kStatusOk;
}

} // namespace

JpgImageCodec::JpgImageCodec() : ImageCodec(kName) {
    for (const char* extension : {"JPG", "jpg", "Jpg", "JPEG", "jpeg", "Jpeg"}) AddExtension(extension);
}

int JpgImageCodec::Decode(const uint8_t* bytes, int size, Image& image, const char* name) {
    if (!bytes || size <= 0) {
        LogWarning("Недостаточно данных изображения в файле [%s].", name);
        return kStatusFailed;
    }
    auto decoder = std::unique_ptr<Decoder>(new (std::nothrow) Decoder);
    if (!decoder) return kStatusNoMemory;
    std::memset(&decoder->info, 0, sizeof(decoder->info));
    InstallErrorManager(decoder->errors);
    decoder->info.err = &decoder->errors.base;
    const int status = RunDecoder(*decoder, bytes, size, name);
    if (status != kStatusOk) return status;
    image.AdoptPixels(decoder->width, decoder->height, decoder->format, std::move(decoder->pixels));
    return kStatusOk;
}

int JpgImageCodec::Encode(const Image& image, std::vector<uint8_t>& bytes) {
    const int format = image.GetFormat();
    if (format != Image::kRgb && format != Image::kOneChannel) return kStatusNotFound;
    if (image.GetWidth() <= 0 || image.GetHeight() <= 0 || !image.HasPixels()) return kStatusFailed;
    auto encoder = std::unique_ptr<Encoder>(new (std::nothrow) Encoder);
    if (!encoder) return kStatusNoMemory;
    std::memset(&encoder->info, 0, sizeof(encoder->info));
    InstallErrorManager(encoder->errors);
    encoder->info.err = &encoder->errors.base;
    bytes.clear();
    return RunEncoder(*encoder, image, bytes);
}

} // namespace nuv
