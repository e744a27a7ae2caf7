#pragma once

#include "sound/library/SoundMixer.h"

#include <atomic>
#include <string>
#include <thread>

namespace nuv {

// The library's device on Windows: the software mix played through the system's wave output
// (the default device), kept fed by a thread of its own.
class WaveOutDevice : public SoundMixer {
public:
    WaveOutDevice() = default;
    ~WaveOutDevice() override;

    // The library's one device.
    static WaveOutDevice& Get();

    // kBassErrorDriver when the system has no wave output to open.
    int Init(int device, BassDword frequency, BassDword flags);
    int Free();
    // The device number in use (1, the system's default output).
    int GetDevice(BassDword* device);
    // Stable text for device 1, or null for devices that do not exist.
    const char* GetDeviceDescription(BassDword device);

private:
    void FeedLoop();

    void* output_ = nullptr; // HWAVEOUT
    void* ready_ = nullptr;  // event the system sets when a buffer has been played
    std::thread feeder_;
    std::atomic<bool> stopFeeder_{false};
    std::string description_;
};

} // namespace nuv
