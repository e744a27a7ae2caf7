// A sound library of another version: the manager must refuse it before any other call.
#include "sound/library/BassApi.h"

extern "C" __attribute__((visibility("default"))) nuv::BassDword BASS_GetVersion() {
    return 0x00020001;
}

// Any other call would mean the version check was passed.
extern "C" __attribute__((visibility("default"))) nuv::BassBool BASS_Init(int, nuv::BassDword, nuv::BassDword, void*,
                                                                          const void*) {
    __builtin_trap();
}
