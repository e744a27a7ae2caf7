#pragma once

// Sound files for the tests, made at run time: synthesised PCM encoded with libvorbisenc.
#include <cstdint>
#include <vector>

namespace nuv::test {

// Interleaved float samples in -1..1.
std::vector<float> Sine(double frequency, double seconds, int rate, int channels, float amplitude);
// An Ogg Vorbis file of the samples; empty on failure.
// serial names the logical stream (files of several streams are chained ones).
std::vector<uint8_t> EncodeOgg(const std::vector<float>& interleaved, int channels, int rate, int serial = 1);

} // namespace nuv::test
