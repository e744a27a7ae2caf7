#pragma once

#include <cstdint>
#include <vector>

namespace nuv {

// The scene's sound effects, synthesised: mono samples in -1..1 at the music's rate, made from
// the generator's own noise sequence so that the same seed gives the same sounds. The looping
// ones end where they begin.
class EffectSounds {
public:
    static constexpr int kSampleRate = 22050;

    explicit EffectSounds(uint32_t seed) : seed_(seed) {}

    // A wood fire: a low roar and the crackle of splitting embers. Loops.
    std::vector<float> Fire(double seconds) const;
    // Skate blades: one scrape per push, pushes every half stride, and the hiss of the glide.
    // Loops after two strides.
    std::vector<float> Skates(double strideSeconds) const;
    // One gust of wind rising and dying away; the variant whistles a little.
    std::vector<float> Gust(double seconds, int variant) const;
    // A peal of small bells rung in turn. Loops.
    std::vector<float> Bells(double seconds) const;

private:
    uint32_t seed_;
};

} // namespace nuv
