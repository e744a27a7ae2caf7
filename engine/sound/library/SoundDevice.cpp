#include "sound/library/SoundDevice.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <dlfcn.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <new>

namespace nuv {

namespace {

// How often the feeding thread looks at the streams: well inside one buffer's length.
constexpr auto kFeedPeriod = std::chrono::milliseconds(10);
constexpr float kSpeedOfSound = 343.3f;

// ALSA's error handler type: file, line, function, error number, then a printf format.
using AlsaErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

} // namespace

void SoundDevice::QuietOutputLibraries() {
    // Without a sound card OpenAL Soft and the ALSA library it drives each print a screen of
    // errors on standard error; the caller says in one line that there is no device. A level the
    // user sets for OpenAL Soft is kept. ALSA is the same library OpenAL Soft opens by name, so
    // its handler, set here, covers OpenAL Soft's calls; the library stays loaded with it.
    setenv("ALSOFT_LOGLEVEL", "0", 0);
    if (!alsa_) alsa_ = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
    if (!alsa_) return;
    using SetHandler = int (*)(AlsaErrorHandler);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa_, "snd_lib_error_set_handler"))) set(&IgnoreAlsaError);
}

SoundDevice& SoundDevice::Get() {
    static SoundDevice device;
    return device;
}

SoundDevice::~SoundDevice() {
    Free();
}

int SoundDevice::Init(int device, BassDword frequency, BassDword flags) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (device_) return kBassErrorAlready;
    // -1 is the default output and 1 the only one there is.
    if (device != -1 && device != 1) return kBassErrorDevice;
    QuietOutputLibraries();
    ALCdevice* output = alcOpenDevice(nullptr);
    if (!output) return kBassErrorDriver;
    const ALCint attributes[] = {ALC_FREQUENCY, ALCint(frequency > 0 && frequency <= 192000 ? frequency : 44100), 0};
    ALCcontext* context = alcCreateContext(output, attributes);
    if (!context || !alcMakeContextCurrent(context)) {
        if (context) alcDestroyContext(context);
        alcCloseDevice(output);
        return kBassErrorDriver;
    }
    device_ = output;
    context_ = context;
    with3D_ = (flags & kBassDevice3D) != 0;
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    alListenerf(AL_GAIN, float(streamVolume_) / 100.0f);
    alListener3f(AL_POSITION, 0.0f, 0.0f, 0.0f);
    stopFeeder_ = false;
    try {
        feeder_ = std::thread(&SoundDevice::FeedLoop, this);
    } catch (...) {
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(context_);
        alcCloseDevice(device_);
        context_ = nullptr;
        device_ = nullptr;
        return kBassErrorMemory;
    }
    return kBassOk;
}

void SoundDevice::Shutdown() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopFeeder_ = true;
    }
    wake_.notify_all();
    if (feeder_.joinable()) feeder_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    streams_.clear();
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(context_);
    alcCloseDevice(device_);
    context_ = nullptr;
    device_ = nullptr;
}

int SoundDevice::Free() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!device_) return kBassErrorInit;
    }
    Shutdown();
    return kBassOk;
}

int SoundDevice::GetDevice(BassDword* device) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!device_) return kBassErrorInit;
    *device = 1;
    return kBassOk;
}

const char* SoundDevice::GetDeviceDescription(BassDword device) {
    if (device != 1) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    if (description_.empty()) {
        const ALCchar* name =
            device_ ? alcGetString(device_, ALC_DEVICE_SPECIFIER) : alcGetString(nullptr, ALC_DEFAULT_DEVICE_SPECIFIER);
        description_ = name && *name ? name : "Default";
    }
    return description_.c_str();
}

int SoundDevice::SetConfig(BassDword option, BassDword value, BassDword* result) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (option != kBassConfigGlobalStreamVolume) return kBassErrorIllegalParameter;
    // Every stream is played by the one listener, so its gain is the stream master volume.
    streamVolume_ = value > 100 ? 100 : value;
    if (device_) alListenerf(AL_GAIN, float(streamVolume_) / 100.0f);
    *result = streamVolume_;
    return kBassOk;
}

int SoundDevice::GetConfig(BassDword option, BassDword* result) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (option != kBassConfigGlobalStreamVolume) return kBassErrorIllegalParameter;
    *result = streamVolume_;
    return kBassOk;
}

int SoundDevice::Set3DFactors(float distance, float rollOff, float doppler) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!device_) return kBassErrorInit;
    if (!with3D_) return kBassErrorNo3D;
    // Negative values leave a factor unchanged; zero is not a distance unit.
    if (distance > 0.0f) distanceFactor_ = distance;
    if (rollOff >= 0.0f) rollOffFactor_ = std::fmin(rollOff, 10.0f);
    if (doppler >= 0.0f) dopplerFactor_ = std::fmin(doppler, 10.0f);
    return kBassOk;
}

int SoundDevice::Set3DPosition(const Bass3DVector* position, const Bass3DVector* velocity, const Bass3DVector* front,
                               const Bass3DVector* top) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!device_) return kBassErrorInit;
    if (!with3D_) return kBassErrorNo3D;
    // The listener stays at the origin: sound positions come relative to the camera.
    (void)position;
    (void)velocity;
    if (front && top) {
        front_ = *front;
        top_ = *top;
    }
    return kBassOk;
}

int SoundDevice::Apply3D() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!device_) return kBassErrorInit;
    if (!with3D_) return kBassErrorNo3D;
    // OpenAL is right-handed: the library's forward z is OpenAL's -z.
    const ALfloat orientation[6] = {front_.x, front_.y, -front_.z, top_.x, top_.y, -top_.z};
    alListenerfv(AL_ORIENTATION, orientation);
    alDopplerFactor(dopplerFactor_);
    alSpeedOfSound(kSpeedOfSound / distanceFactor_);
    for (auto& entry : streams_) entry.second->Apply3D(rollOffFactor_);
    return kBassOk;
}

int SoundDevice::StreamCreate(const uint8_t* bytes, BassDword length, BassDword flags, BassHandle* handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!device_) return kBassErrorInit;
    if ((flags & kBassSample3D) && !with3D_) return kBassErrorNo3D;
    std::unique_ptr<SoundStream> stream(new (std::nothrow) SoundStream);
    if (!stream) return kBassErrorMemory;
    const int status = stream->Create(bytes, length, flags);
    if (status != kBassOk) return status;
    stream->Apply3D(rollOffFactor_);
    try {
        // Handles are never reused within a run, so a stale one cannot reach a new stream.
        if (nextHandle_ == 0) return kBassErrorMemory;
        *handle = nextHandle_++;
        streams_.emplace(*handle, std::move(stream));
    } catch (const std::bad_alloc&) {
        return kBassErrorMemory;
    }
    return kBassOk;
}

SoundStream* SoundDevice::FindStream(BassHandle handle) {
    const auto found = streams_.find(handle);
    return found == streams_.end() ? nullptr : found->second.get();
}

int SoundDevice::StreamFree(BassHandle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!device_) return kBassErrorInit;
    const auto found = streams_.find(handle);
    if (found == streams_.end()) return kBassErrorHandle;
    streams_.erase(found);
    return kBassOk;
}

int SoundDevice::ChannelPlay(BassHandle handle, bool restart) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!device_) return kBassErrorInit;
    SoundStream* stream = FindStream(handle);
    if (!stream) return kBassErrorHandle;
    stream->Play(restart);
    return kBassOk;
}

int SoundDevice::ChannelStop(BassHandle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!device_) return kBassErrorInit;
    SoundStream* stream = FindStream(handle);
    if (!stream) return kBassErrorHandle;
    stream->Stop();
    return kBassOk;
}

int SoundDevice::ChannelIsActive(BassHandle handle, BassDword* active) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!device_) return kBassErrorInit;
    SoundStream* stream = FindStream(handle);
    if (!stream) return kBassErrorHandle;
    *active = stream->IsActive() ? kBassActivePlaying : kBassActiveStopped;
    return kBassOk;
}

int SoundDevice::ChannelSetFlags(BassHandle handle, BassDword flags) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!device_) return kBassErrorInit;
    SoundStream* stream = FindStream(handle);
    if (!stream) return kBassErrorHandle;
    stream->SetLoop((flags & kBassSampleLoop) != 0);
    return kBassOk;
}

int SoundDevice::ChannelSetAttributes(BassHandle handle, int frequency, int volume, int pan) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!device_) return kBassErrorInit;
    SoundStream* stream = FindStream(handle);
    if (!stream) return kBassErrorHandle;
    return stream->SetAttributes(frequency, volume, pan);
}

int SoundDevice::ChannelSet3DAttributes(BassHandle handle, int mode, float minDistance, float maxDistance) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!device_) return kBassErrorInit;
    SoundStream* stream = FindStream(handle);
    if (!stream) return kBassErrorHandle;
    return stream->Set3DAttributes(mode, minDistance, maxDistance);
}

int SoundDevice::ChannelSet3DPosition(BassHandle handle, const Bass3DVector* position, const Bass3DVector* velocity) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!device_) return kBassErrorInit;
    SoundStream* stream = FindStream(handle);
    if (!stream) return kBassErrorHandle;
    return stream->Set3DPosition(position, velocity);
}

void SoundDevice::FeedLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopFeeder_) {
        for (auto& entry : streams_) entry.second->Service();
        wake_.wait_for(lock, kFeedPeriod, [this] { return stopFeeder_; });
    }
}

} // namespace nuv
