#pragma once

// The C interface of the sound library as the engine calls it: names, argument lists and
// constants of the audio library version 2.2 interface. The library exports these with C
// linkage; the sound manager resolves them by name into a table of pointers of these types.

#include <cstdint>

namespace nuv {

using BassDword = uint32_t;
using BassBool = int;
using BassHandle = uint32_t;

// A 3D vector in the library's left-handed space: x right, y up, z forward.
struct Bass3DVector {
    float x;
    float y;
    float z;
};

constexpr BassDword kBassVersion = 0x00020002;

// Initialisation flags and configuration options.
constexpr BassDword kBassDevice3D = 4;
constexpr BassDword kBassConfigGlobalStreamVolume = 5;

// Sample and stream flags.
constexpr BassDword kBassSampleMono = 2;
constexpr BassDword kBassSampleLoop = 4;
constexpr BassDword kBassSample3D = 8;

// 3D modes.
constexpr int kBass3DModeNormal = 0;
constexpr int kBass3DModeRelative = 1;
constexpr int kBass3DModeOff = 2;

// BASS_ChannelIsActive results.
constexpr BassDword kBassActiveStopped = 0;
constexpr BassDword kBassActivePlaying = 1;

// Error codes (BASS_ErrorGetCode).
constexpr int kBassOk = 0;
constexpr int kBassErrorMemory = 1;
constexpr int kBassErrorFileOpen = 2;
constexpr int kBassErrorDriver = 3;
constexpr int kBassErrorHandle = 5;
constexpr int kBassErrorFormat = 6;
constexpr int kBassErrorInit = 8;
constexpr int kBassErrorAlready = 14;
constexpr int kBassErrorIllegalParameter = 20;
constexpr int kBassErrorNo3D = 21;
constexpr int kBassErrorDevice = 23;
constexpr int kBassErrorFileForm = 41;
constexpr int kBassErrorUnknown = -1;

} // namespace nuv

extern "C" {
using BassGetVersionFunction = nuv::BassDword (*)();
using BassErrorGetCodeFunction = int (*)();
using BassInitFunction = nuv::BassBool (*)(int device, nuv::BassDword frequency, nuv::BassDword flags, void* window,
                                           const void* clsid);
using BassGetDeviceFunction = nuv::BassDword (*)();
using BassGetDeviceDescriptionFunction = const char* (*)(nuv::BassDword device);
using BassFreeFunction = nuv::BassBool (*)();
using BassSetConfigFunction = nuv::BassDword (*)(nuv::BassDword option, nuv::BassDword value);
using BassGetConfigFunction = nuv::BassDword (*)(nuv::BassDword option);
using BassSet3DFactorsFunction = nuv::BassBool (*)(float distance, float rollOff, float doppler);
using BassSet3DPositionFunction = nuv::BassBool (*)(const nuv::Bass3DVector* position,
                                                    const nuv::Bass3DVector* velocity, const nuv::Bass3DVector* front,
                                                    const nuv::Bass3DVector* top);
using BassApply3DFunction = void (*)();
using BassStreamCreateFileFunction = nuv::BassHandle (*)(nuv::BassBool memory, const void* file, nuv::BassDword offset,
                                                         nuv::BassDword length, nuv::BassDword flags);
using BassStreamFreeFunction = void (*)(nuv::BassHandle handle);
using BassChannelPlayFunction = nuv::BassBool (*)(nuv::BassDword handle, nuv::BassBool restart);
using BassChannelStopFunction = nuv::BassBool (*)(nuv::BassDword handle);
using BassChannelIsActiveFunction = nuv::BassDword (*)(nuv::BassDword handle);
using BassChannelSetFlagsFunction = nuv::BassBool (*)(nuv::BassDword handle, nuv::BassDword flags);
using BassChannelSetAttributesFunction = nuv::BassBool (*)(nuv::BassDword handle, int frequency, int volume, int pan);
using BassChannelSet3DAttributesFunction = nuv::BassBool (*)(nuv::BassDword handle, int mode, float minDistance,
                                                             float maxDistance, int insideAngle, int outsideAngle,
                                                             int outsideVolume);
using BassChannelSet3DPositionFunction = nuv::BassBool (*)(nuv::BassDword handle, const nuv::Bass3DVector* position,
                                                           const nuv::Bass3DVector* orientation,
                                                           const nuv::Bass3DVector* velocity);
}
