#include "sound/library/MixerStream.h"

#include "core/Status.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace nuv {

namespace {

constexpr int kChunkFrames = 4096;

Bass3DVector Cross(const Bass3DVector& a, const Bass3DVector& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Dot(const Bass3DVector& a, const Bass3DVector& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

float Length(const Bass3DVector& a) {
    return std::sqrt(Dot(a, a));
}

} // namespace

int MixerStream::Create(const uint8_t* bytes, size_t size, BassDword flags) {
    is3D_ = (flags & kBassSample3D) != 0;
    loop_ = (flags & kBassSampleLoop) != 0;
    // Only mono sources are placed: a 3D stream is decoded to one channel.
    const int status = decoder_.Open(bytes, size, is3D_ || (flags & kBassSampleMono) != 0);
    if (status == kStatusNotFound) return kBassErrorIllegalParameter;
    if (status != kStatusOk) return kBassErrorFileForm;
    channels_ = decoder_.GetChannels();
    try {
        chunk_.reserve(size_t(2 * kChunkFrames) * size_t(channels_));
    } catch (const std::bad_alloc&) {
        return kBassErrorMemory;
    }
    UpdatePlainGains();
    return kBassOk;
}

void MixerStream::Play(bool restart) {
    if (restart) {
        decoder_.Rewind();
        chunk_.clear();
        chunkFrames_ = 0;
        position_ = 0.0;
        ended_ = false;
    } else if (playing_ || (ended_ && position_ >= double(chunkFrames_))) {
        return;
    }
    playing_ = true;
}

int MixerStream::SetAttributes(int frequency, int volume, int pan) {
    if (volume > 100 || volume < -1 || (pan != -101 && (pan < -100 || pan > 100)) || frequency < -1)
        return kBassErrorIllegalParameter;
    if (frequency >= 0) frequency_ = frequency;
    if (volume >= 0) volume_ = float(volume) / 100.0f;
    if (pan != -101) pan_ = float(pan) / 100.0f;
    if (!is3D_) UpdatePlainGains();
    return kBassOk;
}

void MixerStream::UpdatePlainGains() {
    // A plain stream is a balance: full on both sides in the middle, one side fading out.
    gainLeft_ = pan_ > 0.0f ? 1.0f - pan_ : 1.0f;
    gainRight_ = pan_ < 0.0f ? 1.0f + pan_ : 1.0f;
}

int MixerStream::Set3DAttributes(int mode, float minDistance, float maxDistance) {
    if (!is3D_) return kBassErrorNo3D;
    if (mode > kBass3DModeOff) return kBassErrorIllegalParameter;
    if (mode >= 0) mode_ = mode;
    if (minDistance > 0.0f) minDistance_ = minDistance;
    if (maxDistance > 0.0f) maxDistance_ = maxDistance;
    return kBassOk;
}

int MixerStream::Set3DPosition(const Bass3DVector* position) {
    if (!is3D_) return kBassErrorNo3D;
    if (position) position3D_ = *position;
    return kBassOk;
}

void MixerStream::Gains3D(const Bass3DVector& position, int mode, float minDistance, float maxDistance,
                          const MixListener& listener, float* left, float* right) {
    if (mode == kBass3DModeOff) {
        *left = *right = 1.0f;
        return;
    }
    // Inverse distance, clamped between the minimum and maximum distances.
    const float distance = Length(position);
    const float clamped = std::clamp(distance, minDistance, std::max(maxDistance, minDistance));
    const float gain = minDistance / (minDistance + listener.rollOff * (clamped - minDistance));
    // Where the source lies across the listener: -1 left, 1 right (x right, y up, z forward).
    float across = 0.0f;
    if (distance > 1e-6f) {
        const Bass3DVector rightAxis = mode == kBass3DModeRelative ? Bass3DVector{1.0f, 0.0f, 0.0f}
                                                                   : Cross(listener.top, listener.front);
        const float axisLength = Length(rightAxis);
        if (axisLength > 1e-6f) across = std::clamp(Dot(position, rightAxis) / (distance * axisLength), -1.0f, 1.0f);
    }
    // Equal power across the stereo field.
    *left = gain * std::sqrt((1.0f - across) * 0.5f);
    *right = gain * std::sqrt((1.0f + across) * 0.5f);
}

void MixerStream::Apply3D(const MixListener& listener) {
    if (!is3D_) return;
    Gains3D(position3D_, mode_, minDistance_, maxDistance_, listener, &gainLeft_, &gainRight_);
}

bool MixerStream::Have(int ahead) {
    for (;;) {
        if (int64_t(position_) + ahead < chunkFrames_) return true;
        if (ended_) return false;
        // Drop the frames already passed and decode the next piece behind what is left.
        const int64_t drop = std::min<int64_t>(int64_t(position_), chunkFrames_);
        chunk_.erase(chunk_.begin(), chunk_.begin() + drop * channels_);
        chunkFrames_ -= drop;
        position_ -= double(drop);
        const size_t old = chunk_.size();
        chunk_.resize(old + size_t(kChunkFrames) * size_t(channels_));
        const int frames = decoder_.Read(chunk_.data() + old, kChunkFrames, loop_);
        chunk_.resize(old + size_t(std::max(frames, 0)) * size_t(channels_));
        if (frames <= 0) {
            ended_ = true;
            return false;
        }
        chunkFrames_ += frames;
    }
}

void MixerStream::Mix(float* mix, int frameCount, int outputRate, float master) {
    if (!playing_) return;
    const double rate = frequency_ > 0 ? double(frequency_) : double(decoder_.GetRate());
    const double step = rate / double(outputRate);
    const float left = gainLeft_ * volume_ * master;
    const float right = gainRight_ * volume_ * master;
    for (int i = 0; i < frameCount; ++i) {
        if (!Have(0)) {
            playing_ = false;
            return;
        }
        const bool next = Have(1);
        // Linear interpolation between the two source frames around the read position.
        const int64_t index = int64_t(position_);
        const float t = float(position_ - double(index));
        const int16_t* a = chunk_.data() + index * channels_;
        const int16_t* b = next ? a + channels_ : a;
        const float l = (float(a[0]) + float(b[0] - a[0]) * t) / 32768.0f;
        const float r = (float(a[channels_ - 1]) + float(b[channels_ - 1] - a[channels_ - 1]) * t) / 32768.0f;
        mix[2 * i] += l * left;
        mix[2 * i + 1] += r * right;
        position_ += step;
    }
}

} // namespace nuv
