#pragma once

#include "sound/library/BassApi.h"
#include "sound/library/OggMemoryDecoder.h"

#include <AL/al.h>

#include <cstdint>
#include <deque>
#include <vector>

namespace nuv {

// One playing stream: an OpenAL source fed from a queue of buffers that the device's thread
// refills from the decoder. Every call is made with the device's lock held.
class SoundStream {
public:
    static constexpr int kBufferCount = 8;
    static constexpr int kBufferFrames = 4096;

    SoundStream() = default;
    ~SoundStream();
    SoundStream(const SoundStream&) = delete;
    SoundStream& operator=(const SoundStream&) = delete;

    // Opens the Vorbis bytes (read in place) and makes the source; a BASS error code.
    int Create(const uint8_t* bytes, size_t size, BassDword flags);

    // Restart plays from the start; otherwise a playing stream goes on and a stopped one
    // resumes where it was stopped (an ended stream stays ended).
    void Play(bool restart);
    void Stop();
    bool IsActive();
    void SetLoop(bool loop) { loop_ = loop; }
    bool IsLoop() const { return loop_; }
    bool Is3D() const { return is3D_; }

    // -1 / -101 leave a value unchanged; volume 0..100, pan -100..100, frequency in Hz (0 = original).
    int SetAttributes(int frequency, int volume, int pan);
    // Kept until Apply3D, like the listener.
    int Set3DAttributes(int mode, float minDistance, float maxDistance);
    int Set3DPosition(const Bass3DVector* position, const Bass3DVector* velocity);
    // Hands the pending 3D values and the roll-off factor to the source.
    void Apply3D(float rollOff);

    // Called from the device's thread: refills played buffers, restarts after an underrun and
    // notices the end.
    void Service();

private:
    void Fill();
    void ClearQueue();

    OggMemoryDecoder decoder_;
    ALuint source_ = 0;
    ALuint buffers_[kBufferCount] = {};
    int bufferCount_ = 0;
    std::vector<ALuint> freeBuffers_;
    std::deque<int64_t> queuedStarts_; // the decoder frame each queued buffer starts at
    std::vector<int16_t> scratch_;
    ALenum format_ = 0;
    bool is3D_ = false;
    bool loop_ = false;
    bool playing_ = false;
    bool ended_ = false;

    // Pending 3D state, applied by Apply3D.
    int mode_ = kBass3DModeNormal;
    float minDistance_ = 1.0f;
    float maxDistance_ = 1.0e9f;
    Bass3DVector position_ = {0.0f, 0.0f, 0.0f};
    Bass3DVector velocity_ = {0.0f, 0.0f, 0.0f};
};

} // namespace nuv
