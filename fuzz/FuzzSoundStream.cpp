// Arbitrary bytes as a sound file in memory, through the sound library's Ogg Vorbis path (no
// output device needed): opening, decoding with and without looping, seeking back.
#include "sound/library/OggMemoryDecoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// Frames decoded per input at most, so that a looping file cannot run for ever.
constexpr int kFrameBudget = 1 << 18;

void Drain(nuv::OggMemoryDecoder& decoder, bool loop) {
    std::vector<int16_t> chunk(size_t(4096) * size_t(decoder.GetChannels()));
    int total = 0;
    while (total < kFrameBudget) {
        const int frames = decoder.Read(chunk.data(), 4096, loop);
        if (frames < 0 || frames > 4096) __builtin_trap();
        if (frames == 0) break;
        total += frames;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    for (bool mono : {false, true}) {
        nuv::OggMemoryDecoder decoder;
        if (decoder.Open(data, size, mono) != 0) {
            if (decoder.IsOpen()) __builtin_trap();
            continue;
        }
        const int channels = decoder.GetChannels();
        if (channels < 1 || channels > 2 || (mono && channels != 1) || decoder.GetRate() <= 0) __builtin_trap();
        Drain(decoder, false);
        decoder.Seek(decoder.Tell() / 2);
        Drain(decoder, true);
        decoder.Rewind();
        Drain(decoder, false);
    }
    return 0;
}
