// Arbitrary bytes as a sound file in memory through the sound library's exported calls, as the
// sound nodes make them: a stream created from memory, plain and positioned, looped, played,
// stopped and freed while the library's own thread feeds the output (OpenAL Soft's silent
// driver). The last byte chooses the calls' values.
#include "sound/library/BassApi.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

using nuv::Bass3DVector;
using nuv::BassBool;
using nuv::BassDword;
using nuv::BassHandle;

extern "C" {
BassBool BASS_Init(int device, BassDword frequency, BassDword flags, void* window, const void* clsid);
int BASS_ErrorGetCode();
BassBool BASS_Set3DFactors(float distance, float rollOff, float doppler);
void BASS_Apply3D();
BassHandle BASS_StreamCreateFile(BassBool memory, const void* file, BassDword offset, BassDword length,
                                 BassDword flags);
void BASS_StreamFree(BassHandle handle);
BassBool BASS_ChannelPlay(BassDword handle, BassBool restart);
BassBool BASS_ChannelStop(BassDword handle);
BassDword BASS_ChannelIsActive(BassDword handle);
BassBool BASS_ChannelSetFlags(BassDword handle, BassDword flags);
BassBool BASS_ChannelSetAttributes(BassDword handle, int frequency, int volume, int pan);
BassBool BASS_ChannelSet3DAttributes(BassDword handle, int mode, float minDistance, float maxDistance,
                                     int insideAngle, int outsideAngle, int outsideVolume);
BassBool BASS_ChannelSet3DPosition(BassDword handle, const Bass3DVector* position, const Bass3DVector* orientation,
                                   const Bass3DVector* velocity);
}

namespace {

constexpr BassDword kSample3D = nuv::kBassSample3D;
constexpr BassDword kSampleLoop = nuv::kBassSampleLoop;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // No sound device is needed, and none is heard.
    setenv("ALSOFT_DRIVERS", "null", 1);
    setenv("ALSOFT_LOGLEVEL", "0", 1);
    if (!BASS_Init(-1, 44100, 4, nullptr, nullptr))
        std::fprintf(stderr, "FuzzSoundLibrary: no output device (error %d): only stream creation runs\n",
                     BASS_ErrorGetCode());
    BASS_Set3DFactors(1.0f, 7.0f, 1.0f);
    BASS_Apply3D();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > (1u << 20)) return 0;
    const uint8_t choice = data[size - 1];
    for (const BassDword flags : {BassDword(0), kSample3D}) {
        const BassHandle handle = BASS_StreamCreateFile(1, data, 0, BassDword(size), flags);
        if (!handle) {
            Check(BASS_ErrorGetCode() != 0);
            continue;
        }
        BASS_ChannelSetFlags(handle, choice & 1 ? kSampleLoop : 0);
        BASS_ChannelSetAttributes(handle, choice & 2 ? 22050 : -1, choice % 101, choice & 4 ? -50 : -101);
        if (flags & kSample3D) {
            const Bass3DVector position = {float(choice) - 128.0f, 1.0f, 2.0f};
            BASS_ChannelSet3DAttributes(handle, 0, 1.0f + (choice & 7), -1.0f, -1, -1, -1);
            BASS_ChannelSet3DPosition(handle, &position, nullptr, nullptr);
            BASS_Apply3D();
        }
        BASS_ChannelPlay(handle, 1);
        BASS_ChannelIsActive(handle);
        BASS_ChannelStop(handle);
        BASS_ChannelPlay(handle, 0);
        BASS_ChannelPlay(handle, 1);
        BASS_StreamFree(handle);
        // A freed handle is gone: every call on it fails and nothing plays.
        Check(BASS_ChannelIsActive(handle) == 0);
        Check(!BASS_ChannelPlay(handle, 1));
    }
    return 0;
}
