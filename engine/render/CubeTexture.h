#pragma once

#include "core/Pointer.h"
#include "render/BaseTexture.h"

#include <cstdint>

namespace nuv {

class Image;

// Six square faces of a cube map in one image; also a target the six views are rendered into.
class CubeTexture : public BaseTexture {
    NUV_DECLARE_OBJECT
public:
    CubeTexture();
    ~CubeTexture() override;

    // After the BaseTexture fields: the image link. A link to anything but an Image fails the load.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;

    Image* GetImage() const { return image_.Get(); }
    // A new image drops the device texture and asks for a full mip-map chain again.
    void SetImage(Image* image);

private:
    Pointer<Image> image_;
};

} // namespace nuv
