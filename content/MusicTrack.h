#pragma once

#include <cstdint>
#include <vector>

namespace nuv {

// The soundtrack, synthesised: a slow music-box tune over a soft pad, in a loop whose end
// meets its start. The notes come from the track's own seed; encoding to Ogg Vorbis uses a
// fixed stream serial number, so the same seed gives the same file.
class MusicTrack {
public:
    static constexpr int kSampleRate = 22050;

    MusicTrack(uint32_t seed, double seconds) : seed_(seed), seconds_(seconds) {}

    // Mono samples in -1..1.
    std::vector<float> Render() const;
    // Ogg Vorbis (quality 0.3) of the samples. 0, or 1 when the encoder refuses.
    static int EncodeOgg(const std::vector<float>& samples, int sampleRate, std::vector<uint8_t>& out);

private:
    uint32_t seed_;
    double seconds_;
};

} // namespace nuv
