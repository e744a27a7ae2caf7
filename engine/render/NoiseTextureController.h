#pragma once

#include "core/Color.h"
#include "core/Controller.h"

#include <cstdint>

namespace nuv {

class Image;

// Fills its texture's (or volume texture's) image with integer hash noise on its first update,
// or on every update with the regenerate flag; each generation draws a new seed.
class NoiseTextureController : public Controller {
    NUV_DECLARE_OBJECT
public:
    NoiseTextureController() = default;

    // After the Controller fields: the regenerate flag and the colour.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void Apply(double dt) override;

    // In (-1, 1], in 32-bit wrapping arithmetic.
    static float Noise(int32_t n);
    // Every channel of pixel p of image becomes the low byte of trunc(colour[c] * value * 255).
    static void Fill(Image& image, const Color& color, int depth, int32_t seed);

    bool regenerate = false;
    Color color{1.0f, 1.0f, 1.0f, 1.0f};
    bool IsDone() const { return done_ != 0; }

private:
    uint8_t done_ = 0;
};

} // namespace nuv
