#include "media/image/Image.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "media/CodecManager.h"
#include "media/File.h"
#include "media/FileManager.h"
#include "media/image/ImageCodec.h"

#include <climits>
#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(Image, Object)

Image::Image() = default;

Image::Image(const String& name, int width, int height, int format) : Object(name) {
    width_ = width;
    height_ = height;
    format_ = format;
    pixels_ = AllocatePixels(GetDataSize());
    if (!pixels_) LogError("Недостаточно памяти для создания изображения. ID[%d] Имя[%s]", GetId(), GetName().GetText());
}

Image::Image(File* file, const String& name) {
    if (file) fileName_ = file->GetName();
    SetName(name.IsEmpty() ? fileName_ : name);
    LoadFromFile(file);
}

Image::~Image() = default;

int Image::GetBytesPerPixel(int format) {
    switch (format) {
    case kRgb: return 3;
    case kRgba: return 4;
    case kOneChannel: return 1;
    case kWide: return 8;
    default: return 0;
    }
}

int Image::GetDataSize() const {
    const int64_t size = CheckedSize(GetBytesPerPixel(format_), width_, height_, 1, INT_MAX);
    return size > 0 ? int(size) : 0;
}

int64_t Image::CheckedSize(int bytesPerPixel, int width, int height, int depth, int64_t limit) {
    if (bytesPerPixel < 0 || width < 0 || height < 0 || depth < 0) return -1;
    // Each step is checked against the limit before it multiplies: forged sizes in a file
    // would overflow even 64 bits (8 x 2^31 x 2^31 x 2^31) and wrap below the limit.
    int64_t size = bytesPerPixel;
    for (const int factor : {width, height, depth}) {
        if (factor != 0 && size > limit / factor) return -1;
        size *= factor;
    }
    return size <= limit ? size : -1;
}

std::unique_ptr<uint8_t[]> Image::AllocatePixels(int64_t size) {
    if (size <= 0 || size > INT_MAX) return nullptr;
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size_t(size)]);
}

void Image::AdoptPixels(int width, int height, int format, std::unique_ptr<uint8_t[]> pixels) {
    width_ = width;
    height_ = height;
    format_ = format;
    pixels_ = std::move(pixels);
}

int Image::LoadFromFile(File* file) {
    const char* name = GetName().GetText();
    if (!file) {
        LogWarning("Указатель на файл равен 0 при загрузке изображения [%s].", name);
        return kStatusNotFound;
    }
    auto* codec = dynamic_cast<ImageCodec*>(CodecManager::FindCodecForFile(file));
    if (!codec) {
        LogWarning("Не найден кодек для файла при загрузке изображения [%s].", name);
        return kStatusNotFound;
    }
    if (codec->LoadImage(file, *this) != kStatusOk) {
        LogError("Неудачна загрузка изображения [%s].", name);
        return kStatusFailed;
    }
    return kStatusOk;
}

int Image::SaveFields(Stream& stream, bool withDepth, int depth) {
    FieldWriter out(stream, *this);
    out.Parent(Object::Save(stream)).String(fileName_, "Невозможно сохранить имя файла изображения. Имя[%s] ID[%d]");
    if (!out || !fileName_.IsEmpty()) return out.GetStatus();
    out.Int(width_, "Невозможно сохранить ширину изображения. Имя[%s] ID[%d]")
        .Int(height_, "Невозможно сохранить высоту изображения. Имя[%s] ID[%d]");
    if (withDepth) out.Int(depth, "Невозможно сохранить высоту изображения. Имя[%s] ID[%d]");
    out.Int(format_, "Невозможно сохранить формат изображения. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int Image::LoadFields(Stream& stream, bool withDepth, int& depth) {
    FieldReader in(stream, *this);
    String fileName;
    if (!in.Parent(Object::Load(stream)).String(fileName, "Невозможно загрузить имя файла изображения. ID[%d] Имя[%s]"))
        return in.GetStatus();
    const char* name = GetName().GetText();
    fileName_ = fileName;
    if (!fileName_.IsEmpty()) {
        if (LoadFromFile(FileManager::FindFile(fileName_)) != 0) {
            LogError("Невозможно загрузить изображение из файла. ID[%d] Имя[%s] Файл[%s]", GetId(), name,
                     fileName_.GetText());
            return kStatusFailed;
        }
        return kStatusOk;
    }
    int32_t width = 0, height = 0, format = 0, stored = 1;
    depth = 1;
    in.Int(width, "Невозможно загрузить ширину изображения. ID[%d] Имя[%s]")
        .Int(height, "Невозможно загрузить высоту изображения. ID[%d] Имя[%s]");
    if (withDepth) in.Int(stored, "Невозможно загрузить высоту изображения. ID[%d] Имя[%s]");
    if (!in.Int(format, "Невозможно загрузить формат изображения. ID[%d] Имя[%s]")) return in.GetStatus();
    depth = stored;
    return AllocateLoaded(width, height, format, depth);
}

int Image::AllocateLoaded(int width, int height, int format, int depth) {
    const char* name = GetName().GetText();
    // Negative or unknown values cannot describe a picture; a size beyond the limit can only
    // be forged, since nothing in the stream backs it.
    // Kinds 4 and 5 are pictures the renderer only draws into (shadow maps): a size, no pixels
    // here, but the device still holds them, so their size is bounded as if they had 4 bytes.
    const bool drawnOnly = format == 4 || format == 5;
    const int bytesPerPixel = GetBytesPerPixel(format);
    const int64_t size = CheckedSize(bytesPerPixel, width, height, depth, kMaxLoadedDataSize);
    if (size < 0 || (bytesPerPixel == 0 && !drawnOnly) ||
        (drawnOnly && CheckedSize(kDrawnOnlyBytesPerPixel, width, height, depth, kMaxLoadedDataSize) < 0)) {
        LogError("Недопустимый размер или формат изображения %dx%dx%d, формат %d. ID[%d] Имя[%s]", width, height,
                 depth, format, GetId(), name);
        return kStatusFailed;
    }
    std::unique_ptr<uint8_t[]> pixels;
    if (size > 0) {
        pixels = AllocatePixels(size);
        if (!pixels) {
            LogError("Недостаточно памяти для создания изображения. ID[%d] Имя[%s]", GetId(), name);
            return kStatusNoMemory;
        }
    }
    width_ = width;
    height_ = height;
    format_ = format;
    pixels_ = std::move(pixels);
    return kStatusOk;
}

int Image::Save(Stream& stream) {
    return SaveFields(stream, false, 1);
}

int Image::Load(Stream& stream) {
    int depth = 1;
    if (const int status = LoadFields(stream, false, depth); status != 0) return status;
    LogInfo("Изображение [%s] загружено.", GetName().GetText());
    return kStatusOk;
}

} // namespace nuv
