// The library's exported C calls: each forwards to the device and records its error code
// for BASS_ErrorGetCode (per thread, as callers expect).
#include "sound/library/BassApi.h"

// The device: OpenAL Soft on Linux, the software mix on the wave output on Windows.
#ifdef _WIN32
#include "sound/library/win32/WaveOutDevice.h"
#define NUV_BASS_EXPORT extern "C" __declspec(dllexport)
using SoundDevice = nuv::WaveOutDevice;
#else
#include "sound/library/SoundDevice.h"
#define NUV_BASS_EXPORT extern "C" __attribute__((visibility("default")))
using nuv::SoundDevice;
#endif

using nuv::Bass3DVector;
using nuv::BassBool;
using nuv::BassDword;
using nuv::BassHandle;
namespace {

thread_local int tError = nuv::kBassOk;

BassBool Report(int error) {
    tError = error;
    return error == nuv::kBassOk ? 1 : 0;
}

} // namespace

NUV_BASS_EXPORT BassDword BASS_GetVersion() {
    return nuv::kBassVersion;
}

NUV_BASS_EXPORT int BASS_ErrorGetCode() {
    return tError;
}

NUV_BASS_EXPORT BassBool BASS_Init(int device, BassDword frequency, BassDword flags, void* window, const void* clsid) {
    (void)window; // the output needs no window
    (void)clsid;
    return Report(SoundDevice::Get().Init(device, frequency, flags));
}

NUV_BASS_EXPORT BassBool BASS_Free() {
    return Report(SoundDevice::Get().Free());
}

NUV_BASS_EXPORT BassDword BASS_GetDevice() {
    BassDword device = BassDword(-1);
    Report(SoundDevice::Get().GetDevice(&device));
    return device;
}

NUV_BASS_EXPORT const char* BASS_GetDeviceDescription(BassDword device) {
    const char* text = SoundDevice::Get().GetDeviceDescription(device);
    Report(text ? nuv::kBassOk : nuv::kBassErrorDevice);
    return text;
}

NUV_BASS_EXPORT BassDword BASS_SetConfig(BassDword option, BassDword value) {
    BassDword result = BassDword(-1);
    Report(SoundDevice::Get().SetConfig(option, value, &result));
    return result;
}

NUV_BASS_EXPORT BassDword BASS_GetConfig(BassDword option) {
    BassDword result = BassDword(-1);
    Report(SoundDevice::Get().GetConfig(option, &result));
    return result;
}

NUV_BASS_EXPORT BassBool BASS_Set3DFactors(float distance, float rollOff, float doppler) {
    return Report(SoundDevice::Get().Set3DFactors(distance, rollOff, doppler));
}

NUV_BASS_EXPORT BassBool BASS_Set3DPosition(const Bass3DVector* position, const Bass3DVector* velocity,
                                            const Bass3DVector* front, const Bass3DVector* top) {
    return Report(SoundDevice::Get().Set3DPosition(position, velocity, front, top));
}

NUV_BASS_EXPORT void BASS_Apply3D() {
    Report(SoundDevice::Get().Apply3D());
}

NUV_BASS_EXPORT BassHandle BASS_StreamCreateFile(BassBool memory, const void* file, BassDword offset, BassDword length,
                                                 BassDword flags) {
    // Only streams from memory: the engine keeps every file in memory.
    if (!memory) return Report(nuv::kBassErrorFileOpen), 0;
    if (!file || length == 0) return Report(nuv::kBassErrorIllegalParameter), 0;
    BassHandle handle = 0;
    Report(SoundDevice::Get().StreamCreate(static_cast<const uint8_t*>(file) + offset, length, flags, &handle));
    return handle;
}

NUV_BASS_EXPORT void BASS_StreamFree(BassHandle handle) {
    Report(SoundDevice::Get().StreamFree(handle));
}

NUV_BASS_EXPORT BassBool BASS_ChannelPlay(BassDword handle, BassBool restart) {
    return Report(SoundDevice::Get().ChannelPlay(handle, restart != 0));
}

NUV_BASS_EXPORT BassBool BASS_ChannelStop(BassDword handle) {
    return Report(SoundDevice::Get().ChannelStop(handle));
}

NUV_BASS_EXPORT BassDword BASS_ChannelIsActive(BassDword handle) {
    BassDword active = nuv::kBassActiveStopped;
    Report(SoundDevice::Get().ChannelIsActive(handle, &active));
    return active;
}

NUV_BASS_EXPORT BassBool BASS_ChannelSetFlags(BassDword handle, BassDword flags) {
    return Report(SoundDevice::Get().ChannelSetFlags(handle, flags));
}

NUV_BASS_EXPORT BassBool BASS_ChannelSetAttributes(BassDword handle, int frequency, int volume, int pan) {
    return Report(SoundDevice::Get().ChannelSetAttributes(handle, frequency, volume, pan));
}

NUV_BASS_EXPORT BassBool BASS_ChannelSet3DAttributes(BassDword handle, int mode, float minDistance, float maxDistance,
                                                     int insideAngle, int outsideAngle, int outsideVolume) {
    // Sound cones are not used: every source radiates evenly.
    (void)insideAngle;
    (void)outsideAngle;
    (void)outsideVolume;
    return Report(SoundDevice::Get().ChannelSet3DAttributes(handle, mode, minDistance, maxDistance));
}

NUV_BASS_EXPORT BassBool BASS_ChannelSet3DPosition(BassDword handle, const Bass3DVector* position,
                                                   const Bass3DVector* orientation, const Bass3DVector* velocity) {
    (void)orientation; // no cones, so no direction
    return Report(SoundDevice::Get().ChannelSet3DPosition(handle, position, velocity));
}
