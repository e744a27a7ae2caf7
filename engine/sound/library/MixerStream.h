#pragma once

#include "sound/library/BassApi.h"
#include "sound/library/OggMemoryDecoder.h"

#include <cstdint>
#include <vector>

namespace nuv {

// The listener as the mix sees it: unit vectors of its orientation and the 3D factors.
struct MixListener {
    Bass3DVector front = {0.0f, 0.0f, 1.0f};
    Bass3DVector top = {0.0f, 1.0f, 0.0f};
    float rollOff = 1.0f;
};

// One stream of the software mix: a Vorbis file decoded as it plays, resampled to the output
// rate, weighted by its volume, its pan or its place relative to the listener. Every call is
// made with the mixer's lock held.
class MixerStream {
public:
    MixerStream() = default;
    MixerStream(const MixerStream&) = delete;
    MixerStream& operator=(const MixerStream&) = delete;

    // Opens the Vorbis bytes (read in place); a BASS error code.
    int Create(const uint8_t* bytes, size_t size, BassDword flags);

    // Restart plays from the start; otherwise a playing stream goes on and a stopped one
    // resumes where it was stopped (an ended stream stays ended).
    void Play(bool restart);
    void Stop() { playing_ = false; }
    bool IsActive() const { return playing_; }
    void SetLoop(bool loop) { loop_ = loop; }
    bool Is3D() const { return is3D_; }

    // -1 / -101 leave a value unchanged; volume 0..100, pan -100..100, frequency in Hz (0 = original).
    int SetAttributes(int frequency, int volume, int pan);
    // Kept until Apply3D, like the listener.
    int Set3DAttributes(int mode, float minDistance, float maxDistance);
    int Set3DPosition(const Bass3DVector* position);
    // Takes the pending 3D values and works out the two channel gains.
    void Apply3D(const MixListener& listener);

    // Adds frameCount stereo frames at outputRate to mix (interleaved left, right), scaled by
    // master; notices the end of a stream that does not loop.
    void Mix(float* mix, int frameCount, int outputRate, float master);

    // The gains a source at position gets from a listener (exposed for checking the panning law).
    static void Gains3D(const Bass3DVector& position, int mode, float minDistance, float maxDistance,
                        const MixListener& listener, float* left, float* right);

private:
    // Whether the chunk holds the frame `ahead` frames after the read position's, decoding more
    // (and dropping passed frames) when needed; false past the end of the stream.
    bool Have(int ahead);
    void UpdatePlainGains();

    OggMemoryDecoder decoder_;
    int channels_ = 1;
    std::vector<int16_t> chunk_; // decoded frames not yet passed
    int64_t chunkFrames_ = 0;
    double position_ = 0.0; // the read position in chunk_, in source frames
    bool is3D_ = false;
    bool loop_ = false;
    bool playing_ = false;
    bool ended_ = false; // the decoder reached the end of a stream that does not loop

    float volume_ = 1.0f;
    float pan_ = 0.0f;
    int frequency_ = 0;
    float gainLeft_ = 1.0f;
    float gainRight_ = 1.0f;

    // Pending 3D state, taken by Apply3D.
    int mode_ = kBass3DModeNormal;
    float minDistance_ = 1.0f;
    float maxDistance_ = 1.0e9f;
    Bass3DVector position3D_ = {0.0f, 0.0f, 0.0f};
};

} // namespace nuv
