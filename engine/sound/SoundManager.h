#pragma once

#include "sound/library/BassApi.h"

namespace nuv {

// Loads the sound library carried as resource ("BASS", 108), resolves its entry points by
// name and drives the output device. The calls the engine makes go through the wrappers
// below, which do nothing (and report failure) while an entry point is missing, so a
// program whose library could not be loaded runs silent.
class SoundManager {
public:
    static constexpr int kEntryPointCount = 89;
    static constexpr int kResourceId = 108;

    // Engine start and stop functions (registered statically).
    static int Start();
    static int Stop();
    // Master volume of every stream, 0..100; larger (and, taken unsigned, negative) values give 100.
    static void SetSoundVolume(int volume);
    // The second device initialisation, for the full-screen window; never fatal.
    static void InitSoundForWindow(void* window);

    static bool IsLoaded();
    // The resolved entry point of the name at index (resolution order), or null.
    static void* GetEntryPoint(int index);
    static const char* GetEntryPointName(int index);

    static BassDword GetVersion();
    static int ErrorGetCode();
    static BassBool Set3DFactors(float distance, float rollOff, float doppler);
    static BassBool Set3DPosition(const Bass3DVector* position, const Bass3DVector* velocity, const Bass3DVector* front,
                                  const Bass3DVector* top);
    static void Apply3D();
    static BassDword SetConfig(BassDword option, BassDword value);
    static BassHandle StreamCreateFile(BassBool memory, const void* data, BassDword offset, BassDword length,
                                       BassDword flags);
    static void StreamFree(BassHandle handle);
    static BassBool ChannelPlay(BassDword handle, BassBool restart);
    static BassBool ChannelStop(BassDword handle);
    static BassDword ChannelIsActive(BassDword handle);
    static BassBool ChannelSetFlags(BassDword handle, BassDword flags);
    static BassBool ChannelSetAttributes(BassDword handle, int frequency, int volume, int pan);
    static BassBool ChannelSet3DAttributes(BassDword handle, int mode, float minDistance, float maxDistance,
                                           int insideAngle, int outsideAngle, int outsideVolume);
    static BassBool ChannelSet3DPosition(BassDword handle, const Bass3DVector* position,
                                         const Bass3DVector* orientation, const Bass3DVector* velocity);

private:
    static void InitDevice(void* window, float rollOff);
};

} // namespace nuv
