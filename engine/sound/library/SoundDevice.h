#pragma once

#include "sound/library/BassApi.h"
#include "sound/library/SoundStream.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <AL/alc.h>

namespace nuv {

// The output device, the listener and every stream, with the thread that keeps the streams
// fed. The library's exported calls land here; each returns a BASS error code (kBassOk on
// success) and takes the lock, because the feeding thread touches the same streams.
class SoundDevice {
public:
    SoundDevice() = default;
    ~SoundDevice();
    SoundDevice(const SoundDevice&) = delete;
    SoundDevice& operator=(const SoundDevice&) = delete;

    // The library's one device.
    static SoundDevice& Get();

    int Init(int device, BassDword frequency, BassDword flags);
    int Free();
    // The device number in use (1, the system's default output).
    int GetDevice(BassDword* device);
    // Stable text for device 1, or null for devices that do not exist.
    const char* GetDeviceDescription(BassDword device);

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

private:
    void QuietOutputLibraries();
    SoundStream* FindStream(BassHandle handle);
    void FeedLoop();
    void Shutdown();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread feeder_;
    bool stopFeeder_ = false;

    ALCdevice* device_ = nullptr;
    ALCcontext* context_ = nullptr;
    void* alsa_ = nullptr; // the ALSA library while its error handler is ours
    bool with3D_ = false;
    std::string description_;
    std::map<BassHandle, std::unique_ptr<SoundStream>> streams_;
    BassHandle nextHandle_ = 0x10000;

    BassDword streamVolume_ = 100;
    float distanceFactor_ = 1.0f;
    float rollOffFactor_ = 1.0f;
    float dopplerFactor_ = 1.0f;
    Bass3DVector front_ = {0.0f, 0.0f, 1.0f};
    Bass3DVector top_ = {0.0f, 1.0f, 0.0f};
};

} // namespace nuv
