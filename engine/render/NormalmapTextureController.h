#pragma once

#include "core/Controller.h"

#include <cstdint>

namespace nuv {

class Image;

// Turns its texture's 8-bit height map into a normal map on the first update (keeping the
// height as a fourth byte when asked).
class NormalmapTextureController : public Controller {
    NUV_DECLARE_OBJECT
public:
    NormalmapTextureController() = default;

    // After the Controller fields: the bump coefficient and the keep-height flag.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void Apply(double dt) override;

    // False (image untouched) unless the image is a height map with pixels.
    static bool Convert(Image& image, float bump, bool keepHeight);

    float bump = 5.0f;
    bool keepHeight = false;
    bool IsDone() const { return done_ != 0; }

private:
    uint8_t done_ = 0;
};

} // namespace nuv
