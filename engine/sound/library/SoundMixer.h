#pragma once

#include "sound/library/BassApi.h"
#include "sound/library/MixerStream.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace nuv {

// The library's streams mixed in software into 16-bit stereo, for outputs that take plain PCM
// (Windows' wave output). The calls mirror the library's exported ones and return a BASS error
// code; each takes the lock, because the output's thread renders from the same streams.
class SoundMixer {
public:
    SoundMixer() = default;
    virtual ~SoundMixer() = default;
    SoundMixer(const SoundMixer&) = delete;
    SoundMixer& operator=(const SoundMixer&) = delete;

    // Starts mixing at rate (Hz); kBassErrorAlready when already started.
    int Open(int rate, bool with3D);
    // Drops every stream; kBassErrorInit when not started.
    int Close();
    bool IsOpen();

    int SetConfig(BassDword option, BassDword value, BassDword* result);
    int GetConfig(BassDword option, BassDword* result);
    int Set3DFactors(float distance, float rollOff, float doppler);
    int Set3DPosition(const Bass3DVector* position, const Bass3DVector* velocity, const Bass3DVector* front,
                      const Bass3DVector* top);
    int Apply3D();

    int StreamCreate(const uint8_t* bytes, BassDword length, BassDword flags, BassHandle* handle);
    int StreamFree(BassHandle handle);
    int ChannelPlay(BassHandle handle, bool restart);
    int ChannelStop(BassHandle handle);
    int ChannelIsActive(BassHandle handle, BassDword* active);
    int ChannelSetFlags(BassHandle handle, BassDword flags);
    int ChannelSetAttributes(BassHandle handle, int frequency, int volume, int pan);
    int ChannelSet3DAttributes(BassHandle handle, int mode, float minDistance, float maxDistance);
    int ChannelSet3DPosition(BassHandle handle, const Bass3DVector* position, const Bass3DVector* velocity);

    // The next frameCount frames of the mix (left, right interleaved). Exact zeros when nothing
    // plays or the mixer is not started.
    void Render(int16_t* out, int frameCount);

    int GetRate() const { return rate_; }

private:
    MixerStream* Find(BassHandle handle);

    std::mutex mutex_;
    bool open_ = false;
    bool with3D_ = false;
    int rate_ = 44100;
    std::map<BassHandle, std::unique_ptr<MixerStream>> streams_;
    BassHandle nextHandle_ = 0x10000;
    BassDword streamVolume_ = 100;
    MixListener listener_;
    MixListener pendingListener_;
    std::unique_ptr<float[]> mix_;
    int mixFrames_ = 0;
};

} // namespace nuv
