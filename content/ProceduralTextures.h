#pragma once

#include "core/Pointer.h"
#include "media/image/Image.h"

#include <cstdint>

namespace nuv {

// Draws the scene's textures from a value-noise field of its own seed, so the same seed
// always gives the same pixels whatever the process or the C library does with rand().
class ProceduralTextures {
public:
    explicit ProceduralTextures(uint32_t seed) : seed_(seed) {}

    // Fractal value noise in [0, 1] that tiles with the given period (in lattice cells).
    float Noise(float x, float y, int period, int octaves) const;

    Pointer<Image> Snow(int size) const;        // bluish white with soft drifts and sparkles
    Pointer<Image> Ice(int size) const;         // dark blue-grey with cracks; alpha: how much it mirrors
    Pointer<Image> Bark(int size) const;        // vertical brown streaks
    Pointer<Image> Needles(int size) const;     // dark fir green
    Pointer<Image> Wood(int size) const;        // planks with grain, for the house walls
    Pointer<Image> Roof(int size) const;        // snow-laden roof boards
    Pointer<Image> WindowGlow(int size) const;  // warm window with a cross frame
    Pointer<Image> Flake(int size) const;       // round soft snowflake sprite, alpha in the fourth byte
    Pointer<Image> Sky(int size) const;         // night blue with stars
    Pointer<Image> IceBump(int size) const;     // normal map of the ice's ripples
    Pointer<Image> Glow(int size) const;        // soft round light for flares and lamps, alpha falloff
    Pointer<Image> Bulb(int size) const;        // a garland lamp: a solid round core in a halo
    Pointer<Image> Smoke(int size) const;       // a ragged grey puff, alpha in the fourth byte
    Pointer<Image> Stone(int size) const;       // grey fieldstone
    Pointer<Image> WallLight(int size) const;   // light map: moonlight and the windows' spill, four panels
    Pointer<Image> Figures(int size) const;     // four bands: snow, wood, red knit, dark wool
    Pointer<Image> Frost(int size) const;       // frost creeping in from the corners, alpha in the fourth byte

private:
    float Lattice(int x, int y, int period, int octave) const;
    uint32_t Hash(uint32_t a, uint32_t b, uint32_t c) const;
    static Pointer<Image> Make(const char* name, int size, int format);

    uint32_t seed_;
};

} // namespace nuv
