#include "sound/library/SoundMixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace nuv {

int SoundMixer::Open(int rate, bool with3D) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_) return kBassErrorAlready;
    rate_ = rate > 0 && rate <= 192000 ? rate : 44100;
    with3D_ = with3D;
    open_ = true;
    return kBassOk;
}

int SoundMixer::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kBassErrorInit;
    streams_.clear();
    open_ = false;
    return kBassOk;
}

bool SoundMixer::IsOpen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

int SoundMixer::SetConfig(BassDword option, BassDword value, BassDword* result) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (option != kBassConfigGlobalStreamVolume) return kBassErrorIllegalParameter;
    streamVolume_ = std::min<BassDword>(value, 100);
    *result = streamVolume_;
    return kBassOk;
}

int SoundMixer::GetConfig(BassDword option, BassDword* result) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (option != kBassConfigGlobalStreamVolume) return kBassErrorIllegalParameter;
    *result = streamVolume_;
    return kBassOk;
}

int SoundMixer::Set3DFactors(float distance, float rollOff, float doppler) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kBassErrorInit;
    if (!with3D_) return kBassErrorNo3D;
    // Positions are already in the listener's units, and a mix without velocities has no Doppler
    // shift: only the roll-off changes what is heard. Negative values leave it unchanged.
    (void)distance;
    (void)doppler;
    if (rollOff >= 0.0f) pendingListener_.rollOff = std::min(rollOff, 10.0f);
    return kBassOk;
}

int SoundMixer::Set3DPosition(const Bass3DVector* position, const Bass3DVector* velocity, const Bass3DVector* front,
                              const Bass3DVector* top) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kBassErrorInit;
    if (!with3D_) return kBassErrorNo3D;
    // The listener stays at the origin: sound positions come relative to the camera.
    (void)position;
    (void)velocity;
    if (front && top) {
        pendingListener_.front = *front;
        pendingListener_.top = *top;
    }
    return kBassOk;
}

int SoundMixer::Apply3D() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kBassErrorInit;
    if (!with3D_) return kBassErrorNo3D;
    listener_ = pendingListener_;
    for (auto& entry : streams_) entry.second->Apply3D(listener_);
    return kBassOk;
}

int SoundMixer::StreamCreate(const uint8_t* bytes, BassDword length, BassDword flags, BassHandle* handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kBassErrorInit;
    if ((flags & kBassSample3D) && !with3D_) return kBassErrorNo3D;
    std::unique_ptr<MixerStream> stream(new (std::nothrow) MixerStream);
    if (!stream) return kBassErrorMemory;
    const int status = stream->Create(bytes, length, flags);
    if (status != kBassOk) return status;
    stream->Apply3D(listener_);
    // Handles are never reused within a run, so a stale one cannot reach a new stream.
    if (nextHandle_ == 0) return kBassErrorMemory;
    try {
        streams_.emplace(nextHandle_, std::move(stream));
    } catch (const std::bad_alloc&) {
        return kBassErrorMemory;
    }
    *handle = nextHandle_++;
    return kBassOk;
}

MixerStream* SoundMixer::Find(BassHandle handle) {
    const auto found = streams_.find(handle);
    return found == streams_.end() ? nullptr : found->second.get();
}

int SoundMixer::StreamFree(BassHandle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kBassErrorInit;
    return streams_.erase(handle) ? kBassOk : kBassErrorHandle;
}

int SoundMixer::ChannelPlay(BassHandle handle, bool restart) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kBassErrorInit;
    MixerStream* stream = Find(handle);
    if (!stream) return kBassErrorHandle;
    stream->Play(restart);
    return kBassOk;
}

int SoundMixer::ChannelStop(BassHandle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kBassErrorInit;
    MixerStream* stream = Find(handle);
    if (!stream) return kBassErrorHandle;
    stream->Stop();
    return kBassOk;
}

int SoundMixer::ChannelIsActive(BassHandle handle, BassDword* active) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kBassErrorInit;
    MixerStream* stream = Find(handle);
    if (!stream) return kBassErrorHandle;
    *active = stream->IsActive() ? kBassActivePlaying : kBassActiveStopped;
    return kBassOk;
}

int SoundMixer::ChannelSetFlags(BassHandle handle, BassDword flags) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kBassErrorInit;
    MixerStream* stream = Find(handle);
    if (!stream) return kBassErrorHandle;
    stream->SetLoop((flags & kBassSampleLoop) != 0);
    return kBassOk;
}

int SoundMixer::ChannelSetAttributes(BassHandle handle, int frequency, int volume, int pan) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kBassErrorInit;
    MixerStream* stream = Find(handle);
    if (!stream) return kBassErrorHandle;
    return stream->SetAttributes(frequency, volume, pan);
}

int SoundMixer::ChannelSet3DAttributes(BassHandle handle, int mode, float minDistance, float maxDistance) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kBassErrorInit;
    MixerStream* stream = Find(handle);
    if (!stream) return kBassErrorHandle;
    return stream->Set3DAttributes(mode, minDistance, maxDistance);
}

int SoundMixer::ChannelSet3DPosition(BassHandle handle, const Bass3DVector* position, const Bass3DVector* velocity) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kBassErrorInit;
    MixerStream* stream = Find(handle);
    if (!stream) return kBassErrorHandle;
    (void)velocity; // no Doppler shift in the software mix
    return stream->Set3DPosition(position);
}

void SoundMixer::Render(int16_t* out, int frameCount) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (frameCount <= 0) return;
    if (frameCount > mixFrames_) {
        mix_.reset(new (std::nothrow) float[size_t(frameCount) * 2]);
        mixFrames_ = mix_ ? frameCount : 0;
    }
    if (!open_ || !mix_) {
        std::memset(out, 0, size_t(frameCount) * 2 * sizeof(int16_t));
        return;
    }
    std::fill(mix_.get(), mix_.get() + size_t(frameCount) * 2, 0.0f);
    const float master = float(streamVolume_) / 100.0f;
    for (auto& entry : streams_) entry.second->Mix(mix_.get(), frameCount, rate_, master);
    for (int i = 0; i < frameCount * 2; ++i) {
        const float v = std::clamp(mix_[i], -1.0f, 1.0f);
        out[i] = int16_t(std::lrint(v * 32767.0f));
    }
}

} // namespace nuv
