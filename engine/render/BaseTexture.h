#pragma once

#include "core/Object.h"
#include "core/ResourceLink.h"

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

private:
    ResourceLink link_;
    int32_t mipmapLevels_ = 0;
};

} // namespace nuv
