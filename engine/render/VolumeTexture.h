#pragma once

#include "core/Pointer.h"
#include "render/BaseTexture.h"

#include <cstdint>

namespace nuv {

class VolumeImage;

// A stack of slices sampled in three dimensions; its image may be rewritten in place.
class VolumeTexture : public BaseTexture {
    NUV_DECLARE_OBJECT
public:
    VolumeTexture();
    ~VolumeTexture() override;

    // After the BaseTexture fields: the image link. A link to anything but a VolumeImage fails the load.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;

    VolumeImage* GetImage() const { return image_.Get(); }
    // A new image drops the device texture and asks for a full mip-map chain again.
    virtual void SetImage(VolumeImage* image);
    // The image changed in place: the renderer uploads it again.
    virtual void MarkDirty();

private:
    Pointer<VolumeImage> image_;
};

} // namespace nuv
