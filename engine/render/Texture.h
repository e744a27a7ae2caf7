#pragma once

#include "core/Pointer.h"
#include "render/BaseTexture.h"

#include <cstdint>

namespace nuv {

class Image;

// A picture for the texture stages, held for the texture's whole life.
class Texture : public BaseTexture {
    NUV_DECLARE_OBJECT
public:
    Texture();
    ~Texture() override;

    // After the BaseTexture fields: the image link. A link to anything but an Image fails the load.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;

    Image* GetImage() const { return image_.Get(); }
    // A new image drops the device texture and asks for a full mip-map chain again.
    void SetImage(Image* image);

    // The first flag byte is kept but decides nothing; the second allows a compressed device
    // texture for pictures without alpha.
    uint8_t GetFlags() const { return flags_; }
    void SetFlags(uint8_t flags) { flags_ = flags; }
    bool GetAllowCompression() const { return allowCompression_ != 0; }
    void SetAllowCompression(bool allow) { allowCompression_ = allow ? 1 : 0; }

private:
    uint8_t flags_ = 1;
    uint8_t allowCompression_ = 1;
    Pointer<Image> image_;
};

} // namespace nuv
