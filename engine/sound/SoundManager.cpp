#include "sound/SoundManager.h"

#include "core/Engine.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Vector3.h"
#include "platform/DynamicLibrary.h"
#include "platform/Resources.h"
#include "render/Renderer.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace nuv {

namespace {

const char* const kEntryPointNames[SoundManager::kEntryPointCount] = {
    "BASS_SetConfig",
    "BASS_GetConfig",
    "BASS_GetVersion",
    "BASS_GetDeviceDescription",
    "BASS_ErrorGetCode",
    "BASS_Init",
    "BASS_SetDevice",
    "BASS_GetDevice",
    "BASS_Free",
    "BASS_GetDSoundObject",
    "BASS_GetInfo",
    "BASS_Update",
    "BASS_GetCPU",
    "BASS_Start",
    "BASS_Stop",
    "BASS_Pause",
    "BASS_SetVolume",
    "BASS_GetVolume",
    "BASS_Set3DFactors",
    "BASS_Get3DFactors",
    "BASS_Set3DPosition",
    "BASS_Get3DPosition",
    "BASS_Apply3D",
    "BASS_SetEAXParameters",
    "BASS_GetEAXParameters",
    "BASS_MusicLoad",
    "BASS_MusicFree",
    "BASS_MusicGetName",
    "BASS_MusicSetAttribute",
    "BASS_MusicGetAttribute",
    "BASS_SampleLoad",
    "BASS_SampleCreate",
    "BASS_SampleCreateDone",
    "BASS_SampleFree",
    "BASS_SampleGetInfo",
    "BASS_SampleSetInfo",
    "BASS_SampleGetChannel",
    "BASS_SampleStop",
    "BASS_StreamCreate",
    "BASS_StreamCreateFile",
    "BASS_StreamCreateURL",
    "BASS_StreamCreateFileUser",
    "BASS_StreamFree",
    "BASS_StreamGetTags",
    "BASS_StreamGetFilePosition",
    "BASS_RecordGetDeviceDescription",
    "BASS_RecordInit",
    "BASS_RecordSetDevice",
    "BASS_RecordGetDevice",
    "BASS_RecordFree",
    "BASS_RecordGetInfo",
    "BASS_RecordGetInputName",
    "BASS_RecordSetInput",
    "BASS_RecordGetInput",
    "BASS_RecordStart",
    "BASS_ChannelBytes2Seconds",
    "BASS_ChannelSeconds2Bytes",
    "BASS_ChannelGetDevice",
    "BASS_ChannelIsActive",
    "BASS_ChannelGetInfo",
    "BASS_ChannelSetFlags",
    "BASS_ChannelPreBuf",
    "BASS_ChannelPlay",
    "BASS_ChannelStop",
    "BASS_ChannelPause",
    "BASS_ChannelSetAttributes",
    "BASS_ChannelGetAttributes",
    "BASS_ChannelSlideAttributes",
    "BASS_ChannelIsSliding",
    "BASS_ChannelSet3DAttributes",
    "BASS_ChannelGet3DAttributes",
    "BASS_ChannelSet3DPosition",
    "BASS_ChannelGet3DPosition",
    "BASS_ChannelSetPosition",
    "BASS_ChannelGetPosition",
    "BASS_ChannelGetLevel",
    "BASS_ChannelGetData",
    "BASS_ChannelSetSync",
    "BASS_ChannelRemoveSync",
    "BASS_ChannelSetDSP",
    "BASS_ChannelRemoveDSP",
    "BASS_ChannelSetFX",
    "BASS_ChannelRemoveFX",
    "BASS_ChannelSetEAXMix",
    "BASS_ChannelGetEAXMix",
    "BASS_ChannelSetLink",
    "BASS_ChannelRemoveLink",
    "BASS_FXSetParameters",
    "BASS_FXGetParameters",
};

// The loaded library (its image written to a memory or temporary file that goes with it) and
// the entry-point table.
DynamicLibrary* gLibrary = nullptr;
void* gEntryPoints[SoundManager::kEntryPointCount] = {};

struct Registration {
    Registration() {
        AddInitFunction(&SoundManager::Start);
        AddShutdownFunction(&SoundManager::Stop);
    }
};
const Registration gRegistration;

template <typename Function>
Function Entry(const char* name) {
    for (int i = 0; i < SoundManager::kEntryPointCount; ++i)
        if (gEntryPoints[i] && std::strcmp(kEntryPointNames[i], name) == 0)
            return reinterpret_cast<Function>(gEntryPoints[i]);
    return nullptr;
}

// The entry points the engine calls, typed, looked up once the table is resolved.
struct Calls {
    BassGetVersionFunction getVersion = nullptr;
    BassErrorGetCodeFunction errorGetCode = nullptr;
    BassInitFunction init = nullptr;
    BassGetDeviceFunction getDevice = nullptr;
    BassGetDeviceDescriptionFunction getDeviceDescription = nullptr;
    BassFreeFunction free = nullptr;
    BassSetConfigFunction setConfig = nullptr;
    BassSet3DFactorsFunction set3DFactors = nullptr;
    BassSet3DPositionFunction set3DPosition = nullptr;
    BassApply3DFunction apply3D = nullptr;
    BassStreamCreateFileFunction streamCreateFile = nullptr;
    BassStreamFreeFunction streamFree = nullptr;
    BassChannelPlayFunction channelPlay = nullptr;
    BassChannelStopFunction channelStop = nullptr;
    BassChannelIsActiveFunction channelIsActive = nullptr;
    BassChannelSetFlagsFunction channelSetFlags = nullptr;
    BassChannelSetAttributesFunction channelSetAttributes = nullptr;
    BassChannelSet3DAttributesFunction channelSet3DAttributes = nullptr;
    BassChannelSet3DPositionFunction channelSet3DPosition = nullptr;
};
Calls gCalls;

void ResolveCalls() {
    gCalls.getVersion = Entry<BassGetVersionFunction>("BASS_GetVersion");
    gCalls.errorGetCode = Entry<BassErrorGetCodeFunction>("BASS_ErrorGetCode");
    gCalls.init = Entry<BassInitFunction>("BASS_Init");
    gCalls.getDevice = Entry<BassGetDeviceFunction>("BASS_GetDevice");
    gCalls.getDeviceDescription = Entry<BassGetDeviceDescriptionFunction>("BASS_GetDeviceDescription");
    gCalls.free = Entry<BassFreeFunction>("BASS_Free");
    gCalls.setConfig = Entry<BassSetConfigFunction>("BASS_SetConfig");
    gCalls.set3DFactors = Entry<BassSet3DFactorsFunction>("BASS_Set3DFactors");
    gCalls.set3DPosition = Entry<BassSet3DPositionFunction>("BASS_Set3DPosition");
    gCalls.apply3D = Entry<BassApply3DFunction>("BASS_Apply3D");
    gCalls.streamCreateFile = Entry<BassStreamCreateFileFunction>("BASS_StreamCreateFile");
    gCalls.streamFree = Entry<BassStreamFreeFunction>("BASS_StreamFree");
    gCalls.channelPlay = Entry<BassChannelPlayFunction>("BASS_ChannelPlay");
    gCalls.channelStop = Entry<BassChannelStopFunction>("BASS_ChannelStop");
    gCalls.channelIsActive = Entry<BassChannelIsActiveFunction>("BASS_ChannelIsActive");
    gCalls.channelSetFlags = Entry<BassChannelSetFlagsFunction>("BASS_ChannelSetFlags");
    gCalls.channelSetAttributes = Entry<BassChannelSetAttributesFunction>("BASS_ChannelSetAttributes");
    gCalls.channelSet3DAttributes = Entry<BassChannelSet3DAttributesFunction>("BASS_ChannelSet3DAttributes");
    gCalls.channelSet3DPosition = Entry<BassChannelSet3DPositionFunction>("BASS_ChannelSet3DPosition");
}

// The renderer hands the camera's orientation to the listener every frame.
int ListenerSet3DPosition(const Vector3* position, const Vector3* velocity, const Vector3* front, const Vector3* top) {
    auto convert = [](const Vector3* v, Bass3DVector* out) -> const Bass3DVector* {
        if (!v) return nullptr;
        *out = Bass3DVector{v->x, v->y, v->z};
        return out;
    };
    Bass3DVector p, v, f, t;
    return SoundManager::Set3DPosition(convert(position, &p), convert(velocity, &v), convert(front, &f),
                                       convert(top, &t));
}

int ListenerApply3D() {
    SoundManager::Apply3D();
    return kStatusOk;
}

const ListenerCalls kListenerCalls = {&ListenerSet3DPosition, &ListenerApply3D};

const char* DeviceText(const char* text) {
    return text ? text : "";
}

} // namespace

bool SoundManager::IsLoaded() {
    return gLibrary != nullptr;
}

void* SoundManager::GetEntryPoint(int index) {
    return index >= 0 && index < kEntryPointCount ? gEntryPoints[index] : nullptr;
}

const char* SoundManager::GetEntryPointName(int index) {
    return index >= 0 && index < kEntryPointCount ? kEntryPointNames[index] : nullptr;
}

void SoundManager::InitDevice(void* window, float rollOff) {
    if (gCalls.init && gCalls.init(-1, 44100, kBassDevice3D, window, nullptr)) {
        const BassDword device = gCalls.getDevice ? gCalls.getDevice() : BassDword(-1);
        LogInfo("Звук инициализирован. Устройство [%d] [%s]", int(device),
                DeviceText(gCalls.getDeviceDescription ? gCalls.getDeviceDescription(device) : nullptr));
    } else {
        const int error = ErrorGetCode();
        const BassDword device = gCalls.getDevice ? gCalls.getDevice() : BassDword(-1);
        LogError("Невозможно инициализировать звук. Причина [%d]. Устройство [%s]", error,
                 DeviceText(gCalls.getDeviceDescription ? gCalls.getDeviceDescription(device) : nullptr));
        // A user at a terminal reads one line about it (the first start only; the library
        // itself keeps quiet).
        if (!window && error == kBassErrorDriver) std::fputs("No sound device: running without sound.\n", stderr);
    }
    Set3DFactors(1.0f, rollOff, 1.0f);
    Apply3D();
}

int SoundManager::Start() {
    LogInfo("Инициализация менеджера звука.");
    if (gLibrary) return kStatusOk;

    const uint8_t* bytes = nullptr;
    size_t size = 0;
    const int found = FindResourceData("BASS", kResourceId, &bytes, &size);
    if (found == 3)
        LogError("Инициализация менеджера звука. Невозможно найти ресурс [bass.dll].");
    else if (found != 0)
        LogError("Инициализация менеджера звука. Невозможно залочить ресурс [bass.dll].");
    else if (size == 0)
        LogError("Инициализация менеджера звука. Размер ресурса [bass.dll] равен 0.");

    if (found == 0 && size > 0) {
        std::unique_ptr<DynamicLibrary> library(new (std::nothrow) DynamicLibrary);
        // Linux writes the image to a memory file (a temporary file where there are none),
        // so a temporary folder mounted noexec does not matter; it goes when the library closes.
        if (!library || library->OpenFromMemory(bytes, size, "bas") != kStatusOk)
            LogError("Инициализация менеджера звука. Невозможно загрузить библиотеку [bass.dll].");
        else
            gLibrary = library.release();
    }
    if (!gLibrary) {
        // Nothing to call: the program goes on without sound rather than failing its start.
        return kStatusOk;
    }

    for (int i = 0; i < kEntryPointCount; ++i) gEntryPoints[i] = gLibrary->GetSymbol(kEntryPointNames[i]);
    ResolveCalls();

    if (!gCalls.getVersion || gCalls.getVersion() != kBassVersion) {
        LogError("Версия библиотеки BASS не совпадает.");
        return kStatusFailed;
    }
    InitDevice(nullptr, 7.0f);
    Renderer::SetListenerCalls(&kListenerCalls);
    LogInfo("Менеджер звука инициализирован.");
    return kStatusOk;
}

void SoundManager::InitSoundForWindow(void* window) {
    InitDevice(window, 10.0f);
}

int SoundManager::Stop() {
    LogInfo("Завершение работы менеджера звука.");
    Renderer::SetListenerCalls(nullptr);
    if (gCalls.free) gCalls.free();
    if (gLibrary) {
        gLibrary->Close();
        delete gLibrary;
        gLibrary = nullptr;
        for (void*& entry : gEntryPoints) entry = nullptr;
        gCalls = Calls{};
        LogInfo("Менеджер звука завершил работу.");
    }
    return kStatusOk;
}

void SoundManager::SetSoundVolume(int volume) {
    // Taken unsigned, as the library does: a negative volume is a large one.
    const BassDword value = BassDword(volume) > 100 ? 100 : BassDword(volume);
    SetConfig(kBassConfigGlobalStreamVolume, value);
}

BassDword SoundManager::GetVersion() {
    return gCalls.getVersion ? gCalls.getVersion() : 0;
}

int SoundManager::ErrorGetCode() {
    return gCalls.errorGetCode ? gCalls.errorGetCode() : kBassErrorInit;
}

BassBool SoundManager::Set3DFactors(float distance, float rollOff, float doppler) {
    return gCalls.set3DFactors ? gCalls.set3DFactors(distance, rollOff, doppler) : 0;
}

BassBool SoundManager::Set3DPosition(const Bass3DVector* position, const Bass3DVector* velocity,
                                     const Bass3DVector* front, const Bass3DVector* top) {
    return gCalls.set3DPosition ? gCalls.set3DPosition(position, velocity, front, top) : 0;
}

void SoundManager::Apply3D() {
    if (gCalls.apply3D) gCalls.apply3D();
}

BassDword SoundManager::SetConfig(BassDword option, BassDword value) {
    return gCalls.setConfig ? gCalls.setConfig(option, value) : BassDword(-1);
}

BassHandle SoundManager::StreamCreateFile(BassBool memory, const void* data, BassDword offset, BassDword length,
                                          BassDword flags) {
    return gCalls.streamCreateFile ? gCalls.streamCreateFile(memory, data, offset, length, flags) : 0;
}

void SoundManager::StreamFree(BassHandle handle) {
    if (gCalls.streamFree) gCalls.streamFree(handle);
}

BassBool SoundManager::ChannelPlay(BassDword handle, BassBool restart) {
    return gCalls.channelPlay ? gCalls.channelPlay(handle, restart) : 0;
}

BassBool SoundManager::ChannelStop(BassDword handle) {
    return gCalls.channelStop ? gCalls.channelStop(handle) : 0;
}

BassDword SoundManager::ChannelIsActive(BassDword handle) {
    return gCalls.channelIsActive ? gCalls.channelIsActive(handle) : kBassActiveStopped;
}

BassBool SoundManager::ChannelSetFlags(BassDword handle, BassDword flags) {
    return gCalls.channelSetFlags ? gCalls.channelSetFlags(handle, flags) : 0;
}

BassBool SoundManager::ChannelSetAttributes(BassDword handle, int frequency, int volume, int pan) {
    return gCalls.channelSetAttributes ? gCalls.channelSetAttributes(handle, frequency, volume, pan) : 0;
}

BassBool SoundManager::ChannelSet3DAttributes(BassDword handle, int mode, float minDistance, float maxDistance,
                                              int insideAngle, int outsideAngle, int outsideVolume) {
    return gCalls.channelSet3DAttributes ? gCalls.channelSet3DAttributes(handle, mode, minDistance, maxDistance,
                                                                         insideAngle, outsideAngle, outsideVolume)
                                         : 0;
}

BassBool SoundManager::ChannelSet3DPosition(BassDword handle, const Bass3DVector* position,
                                            const Bass3DVector* orientation, const Bass3DVector* velocity) {
    return gCalls.channelSet3DPosition ? gCalls.channelSet3DPosition(handle, position, orientation, velocity) : 0;
}

} // namespace nuv
