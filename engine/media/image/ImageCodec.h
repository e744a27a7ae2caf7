#pragma once

#include "core/Status.h"
#include "media/Codec.h"

#include <cstdint>
#include <vector>

namespace nuv {

class Image;

// What the four image codecs share: files are decoded from and encoded to memory, so the
// decoders also serve tools and fuzzing without a file tree.
class ImageCodec : public Codec {
public:
    explicit ImageCodec(const String& name) : Codec(name) {}

    int GetKind() const override { return kImage; }
    using Codec::Load;
    using Codec::Save;
    // Fills the image that out holds (a new one when out is empty). 0; 3 for a null file or
    // something other than an image; 1 when the file cannot be opened; the decoder's status.
    int Load(File* file, Pointer<Object>& out) override;
    // 0; 1 for null, something other than an image, or a failed write; the encoder's status.
    int Save(File* file, Object* object) override;

    int LoadImage(File* file, Image& image);
    int SaveImage(File* file, const Image& image);

    // Decodes a whole file's bytes into image; on failure image keeps its contents. name is
    // the file's name in messages. 0; 1 for bytes that do not make a picture; 2 without memory.
    virtual int Decode(const uint8_t* bytes, int size, Image& image, const char* name) = 0;
    // The whole file for image. 0; 3 for a format this codec does not write; 1 or 2 otherwise.
    virtual int Encode(const Image& image, std::vector<uint8_t>& bytes) = 0;

protected:
    // The image a load into an empty reference fills.
    virtual Image* CreateImage();
};

} // namespace nuv

#include "media/CodecModule.h"
