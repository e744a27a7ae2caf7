#pragma once

#include "core/Controller.h"

#include <cstdint>

namespace nuv {

class Image;

// Fills its texture with a Fresnel ramp along x on the first update: column x holds
// R0 + (1 - R0)(1 - x/w)^5 for the two refractive indices.
class FresnelTextureController : public Controller {
    NUV_DECLARE_OBJECT
public:
    FresnelTextureController() = default;

    // After the Controller fields: the two refractive indices.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void Apply(double dt) override;

    static void Fill(Image& image, float index1, float index2);

    float index1 = 1.000293f;
    float index2 = 1.333333f;
    bool IsDone() const { return done_ != 0; }

private:
    uint8_t done_ = 0;
};

} // namespace nuv
