#include "sound/library/win32/WaveOutDevice.h"

#include <windows.h>
#include <mmsystem.h>

#include <vector>

namespace nuv {

namespace {

// Four buffers of about 46 ms: enough ahead of the system's mixer on a busy machine, little
// enough that a started sound is heard at once.
constexpr int kBufferCount = 4;
constexpr int kBufferFrames = 2048;

} // namespace

WaveOutDevice& WaveOutDevice::Get() {
    static WaveOutDevice device;
    return device;
}

WaveOutDevice::~WaveOutDevice() {
    // Reached while the library unloads without BASS_Free: the loader's lock is held there, so
    // the thread cannot be joined; it ends with the process.
    if (output_) {
        stopFeeder_ = true;
        if (feeder_.joinable()) feeder_.detach();
    }
}

int WaveOutDevice::Init(int device, BassDword frequency, BassDword flags) {
    if (output_) return kBassErrorAlready;
    // -1 is the default output and 1 the only one there is.
    if (device != -1 && device != 1) return kBassErrorDevice;
    const int rate = frequency > 0 && frequency <= 192000 ? int(frequency) : 44100;
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = DWORD(rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = DWORD(rate) * 4;
    HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!ready) return kBassErrorMemory;
    HWAVEOUT output = nullptr;
    if (waveOutOpen(&output, WAVE_MAPPER, &format, DWORD_PTR(ready), 0, CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        CloseHandle(ready);
        return kBassErrorDriver;
    }
    if (Open(rate, (flags & kBassDevice3D) != 0) != kBassOk) {
        waveOutClose(output);
        CloseHandle(ready);
        return kBassErrorAlready;
    }
    output_ = output;
    ready_ = ready;
    stopFeeder_ = false;
    try {
        feeder_ = std::thread(&WaveOutDevice::FeedLoop, this);
    } catch (...) {
        Close();
        waveOutClose(output);
        CloseHandle(ready);
        output_ = ready_ = nullptr;
        return kBassErrorMemory;
    }
    return kBassOk;
}

int WaveOutDevice::Free() {
    if (!output_) return kBassErrorInit;
    stopFeeder_ = true;
    SetEvent(HANDLE(ready_));
    if (feeder_.joinable()) feeder_.join();
    Close();
    waveOutClose(HWAVEOUT(output_));
    CloseHandle(HANDLE(ready_));
    output_ = ready_ = nullptr;
    return kBassOk;
}

int WaveOutDevice::GetDevice(BassDword* device) {
    if (!output_) return kBassErrorInit;
    *device = 1;
    return kBassOk;
}

const char* WaveOutDevice::GetDeviceDescription(BassDword device) {
    if (device != 1) return nullptr;
    if (description_.empty()) {
        WAVEOUTCAPSA caps = {};
        if (waveOutGetDevCapsA(WAVE_MAPPER, &caps, sizeof caps) == MMSYSERR_NOERROR && caps.szPname[0])
            description_ = caps.szPname;
        else
            description_ = "Default";
    }
    return description_.c_str();
}

void WaveOutDevice::FeedLoop() {
    HWAVEOUT output = HWAVEOUT(output_);
    std::vector<int16_t> samples(size_t(kBufferCount) * kBufferFrames * 2);
    WAVEHDR headers[kBufferCount] = {};
    for (int i = 0; i < kBufferCount; ++i) {
        headers[i].lpData = reinterpret_cast<LPSTR>(samples.data() + size_t(i) * kBufferFrames * 2);
        headers[i].dwBufferLength = kBufferFrames * 4;
        waveOutPrepareHeader(output, &headers[i], sizeof(WAVEHDR));
        headers[i].dwFlags |= WHDR_DONE; // free to fill
    }
    while (!stopFeeder_) {
        for (WAVEHDR& header : headers) {
            if (!(header.dwFlags & WHDR_DONE)) continue;
            Render(reinterpret_cast<int16_t*>(header.lpData), kBufferFrames);
            header.dwFlags &= ~DWORD(WHDR_DONE);
            waveOutWrite(output, &header, sizeof(WAVEHDR));
        }
        WaitForSingleObject(HANDLE(ready_), 20);
    }
    waveOutReset(output);
    for (WAVEHDR& header : headers) waveOutUnprepareHeader(output, &header, sizeof(WAVEHDR));
}

} // namespace nuv
