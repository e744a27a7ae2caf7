#pragma once

#include "core/FieldReader.h"
#include "core/Object.h"
#include "core/Pointer.h"
#include "core/ResourceLink.h"
#include "core/Stream.h"

#include <cstdint>

namespace nuv {

// What every texture shares: the link to its device copy and the mip-map level count.
class BaseTexture : public Object {
    NUV_DECLARE_OBJECT
public:
    ~BaseTexture() override;

    // After the Object fields: the level count. A loaded texture always asks for a full chain.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;

    // 0 asks the device for a full chain; the device writes back the count it made.
    int GetMipmapLevels() const { return mipmapLevels_; }
    void SetMipmapLevels(int levels) { mipmapLevels_ = levels; }

    ResourceLink& GetResourceLink() { return link_; }
    bool IsDirty() const { return link_.dirty != 0; }

protected:
    BaseTexture();
    // Drops the device texture (the image is about to change or the texture goes).
    void ReleaseDeviceTexture();

    // Every kind of texture keeps one image, linked after these fields.
    // A new image drops the device texture and asks for a full mip-map chain again.
    template <class ImageType>
    void ReplaceImage(Pointer<ImageType>& slot, ImageType* image) {
        if (slot == image) return;
        ReleaseDeviceTexture();
        slot = image;
        ImageReplaced();
    }
    int SaveWithImage(Stream& stream, Object* image);
    // These fields, then the link into image; a link to another class fails. Logs either failure.
    template <class ImageType>
    int LoadWithImage(Stream& stream, ImageType*& image) {
        image = nullptr;
        FieldReader in(stream, *this);
        in.Parent(BaseTexture::Load(stream)).Link(image, "Невозможно загрузить изображение текстуры. ID[%d] Имя[%s]");
        return in.GetStatus();
    }

private:
    void ImageReplaced();

    ResourceLink link_;
    int32_t mipmapLevels_ = 0;
};

} // namespace nuv
