#pragma once

#include "core/Object.h"
#include "core/String.h"

#include <cstdint>
#include <memory>

namespace nuv {

class File;

// One picture in memory in an uncompressed pixel format. Rows run bottom to top (memory row 0
// is the bottom row of the picture), pixels left to right, rows packed without padding. In a
// scene file only the name of the file the pixels came from is kept (or, for a picture made
// in memory, its size and format), and the pixels are decoded again when the scene loads.
class Image : public Object {
    NUV_DECLARE_OBJECT
public:
    enum Format : int32_t {
        kRgb = 0,       // red, green, blue
        kRgba = 1,      // red, green, blue, alpha
        kOneChannel = 2,  // grey or alpha
        kWide = 3,      // eight bytes per pixel, the renderer's own pictures
    };

    // Nothing in a scene file justifies more pixel bytes than this: the pixels themselves are
    // never stored there, so a forged size must not turn into a huge allocation.
    static constexpr int64_t kMaxLoadedDataSize = int64_t(256) << 20;
    // The bytes per pixel a picture that only the renderer draws into is bounded by.
    static constexpr int kDrawnOnlyBytesPerPixel = 4;

    Image();
    // Allocates the pixel block, uninitialised; on failure logs it and keeps no pixels.
    Image(const String& name, int width, int height, int format);
    // The file name becomes file's name, the image's name name (or the file name when name is
    // empty); then LoadFromFile.
    Image(File* file, const String& name);
    ~Image() override;

    // Bytes per pixel of a format; 0 for an unknown one.
    static int GetBytesPerPixel(int format);

    // Bytes per pixel times width times height (times depth for a volume).
    virtual int GetDataSize() const;
    // bytesPerPixel x width x height x depth, or -1 when a factor is negative or the product
    // exceeds limit; never overflows.
    static int64_t CheckedSize(int bytesPerPixel, int width, int height, int depth, int64_t limit);

    // Decodes file with the codec chosen by its extension. 0; 3 for null or no codec; 1 when
    // the codec fails (the previous contents stay).
    int LoadFromFile(File* file);

    int Save(Stream& stream) override;
    int Load(Stream& stream) override;

    const String& GetFileName() const { return fileName_; }
    void SetFileName(const String& fileName) { fileName_ = fileName; }
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    int GetFormat() const { return format_; }
    uint8_t* GetPixels() { return pixels_.get(); }
    const uint8_t* GetPixels() const { return pixels_.get(); }
    bool HasPixels() const { return pixels_ != nullptr; }

    // Codecs hand over a decoded picture in one step, so that a failed decode leaves the old
    // one untouched. A volume takes it as a single slice.
    virtual void AdoptPixels(int width, int height, int format, std::unique_ptr<uint8_t[]> pixels);

    // A block of size bytes, or null when memory runs out (never throws).
    static std::unique_ptr<uint8_t[]> AllocatePixels(int64_t size);

protected:
    // Object fields, file name, and the size fields between width and format that a volume
    // adds (depth); shared by Image and VolumeImage.
    int SaveFields(Stream& stream, bool withDepth, int depth);
    int LoadFields(Stream& stream, bool withDepth, int& depth);
    // Width, height, format (and depth) checked and the block allocated for them.
    int AllocateLoaded(int width, int height, int format, int depth);

    String fileName_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t format_ = kRgb;
    std::unique_ptr<uint8_t[]> pixels_;
};

} // namespace nuv
