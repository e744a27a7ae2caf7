#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace nuv {

// Decodes an Ogg Vorbis file held in memory (owned by the caller, read in place) to 16-bit
// PCM with one or two channels. 3D sounds ask for mono: only mono sources are positioned.
class OggMemoryDecoder {
public:
    OggMemoryDecoder();
    ~OggMemoryDecoder();
    OggMemoryDecoder(const OggMemoryDecoder&) = delete;
    OggMemoryDecoder& operator=(const OggMemoryDecoder&) = delete;

    // 0; 3 for null bytes or an empty file; 1 when the bytes are not a playable Vorbis file.
    int Open(const uint8_t* bytes, size_t size, bool mono);
    bool IsOpen() const;

    int GetChannels() const { return channels_; }
    int GetRate() const { return rate_; }

    // Decodes up to frameCount frames into out (frameCount × channels samples). With loop set
    // the end of the file wraps to its start within the same call, so looping has no gap.
    // Returns the frames written; 0 means the end (or an undecodable rest) was reached.
    int Read(int16_t* out, int frameCount, bool loop);
    // Back to the first sample; 0, or 1 when the file cannot seek.
    int Rewind();
    // The frame the next Read starts at, and a move to a frame (wrapped into the file's
    // length, as a looping position may run past its end); 0, or 1 when that fails.
    int64_t Tell() const;
    int Seek(int64_t frame);

private:
    struct State;
    int ReadOnce(int16_t* out, int frameCount);

    std::unique_ptr<State> state_;
    int channels_ = 0;
    int rate_ = 0;
};

} // namespace nuv
