#include "sound/library/SoundStream.h"

#include "core/Status.h"

#include <cmath>
#include <new>

namespace nuv {

SoundStream::~SoundStream() {
    if (source_) {
        alSourceStop(source_);
        alSourcei(source_, AL_BUFFER, 0);
        alDeleteSources(1, &source_);
    }
    if (bufferCount_ > 0) alDeleteBuffers(bufferCount_, buffers_);
}

int SoundStream::Create(const uint8_t* bytes, size_t size, BassDword flags) {
    is3D_ = (flags & kBassSample3D) != 0;
    loop_ = (flags & kBassSampleLoop) != 0;
    const int status = decoder_.Open(bytes, size, is3D_ || (flags & kBassSampleMono) != 0);
    if (status == kStatusNotFound) return kBassErrorIllegalParameter;
    if (status != kStatusOk) return kBassErrorFileForm;
    format_ = decoder_.GetChannels() == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
    try {
        scratch_.resize(size_t(kBufferFrames) * size_t(decoder_.GetChannels()));
        freeBuffers_.reserve(kBufferCount);
    } catch (const std::bad_alloc&) {
        return kBassErrorMemory;
    }

    alGetError();
    alGenSources(1, &source_);
    if (alGetError() != AL_NO_ERROR) {
        source_ = 0;
        return kBassErrorMemory;
    }
    alGenBuffers(kBufferCount, buffers_);
    if (alGetError() != AL_NO_ERROR) return kBassErrorMemory;
    bufferCount_ = kBufferCount;
    freeBuffers_.assign(buffers_, buffers_ + kBufferCount);

    if (!is3D_) {
        // Plain streams sit on the listener: no attenuation, no panning.
        alSourcei(source_, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(source_, AL_POSITION, 0.0f, 0.0f, 0.0f);
        alSourcef(source_, AL_ROLLOFF_FACTOR, 0.0f);
    } else {
        alSourcef(source_, AL_REFERENCE_DISTANCE, minDistance_);
        alSourcef(source_, AL_MAX_DISTANCE, maxDistance_);
    }
    return kBassOk;
}

void SoundStream::ClearQueue() {
    alSourceStop(source_);
    alSourcei(source_, AL_BUFFER, 0);
    freeBuffers_.assign(buffers_, buffers_ + bufferCount_);
    queuedStarts_.clear();
}

void SoundStream::Fill() {
    while (!freeBuffers_.empty() && !ended_) {
        const int64_t start = decoder_.Tell();
        const int frames = decoder_.Read(scratch_.data(), kBufferFrames, loop_);
        if (frames <= 0) {
            ended_ = true;
            break;
        }
        const ALuint buffer = freeBuffers_.back();
        alBufferData(buffer, format_, scratch_.data(),
                     ALsizei(size_t(frames) * size_t(decoder_.GetChannels()) * sizeof(int16_t)),
                     ALsizei(decoder_.GetRate()));
        alSourceQueueBuffers(source_, 1, &buffer);
        freeBuffers_.pop_back();
        queuedStarts_.push_back(start);
    }
}

void SoundStream::Play(bool restart) {
    if (restart) {
        ClearQueue();
        decoder_.Rewind();
        ended_ = false;
    } else if (playing_) {
        return;
    }
    Fill();
    ALint queued = 0;
    alGetSourcei(source_, AL_BUFFERS_QUEUED, &queued);
    playing_ = queued > 0;
    if (playing_) alSourcePlay(source_);
}

void SoundStream::Stop() {
    // Queued sound was decoded but not heard: the decoder goes back to what plays now, so
    // that a play without restart resumes there.
    if (playing_ && !queuedStarts_.empty()) {
        ALint offset = 0;
        alGetSourcei(source_, AL_SAMPLE_OFFSET, &offset);
        const int64_t resume = queuedStarts_.front() + offset;
        ClearQueue();
        if (decoder_.Seek(resume) == kStatusOk) ended_ = false;
    } else {
        ClearQueue();
    }
    playing_ = false;
}

bool SoundStream::IsActive() {
    return playing_;
}

void SoundStream::Service() {
    if (!playing_) return;
    // The state is read first: a source that stopped by then has played every buffer queued,
    // so only buffers queued below can be played again.
    ALint state = AL_STOPPED;
    alGetSourcei(source_, AL_SOURCE_STATE, &state);
    ALint processed = 0;
    alGetSourcei(source_, AL_BUFFERS_PROCESSED, &processed);
    while (processed-- > 0) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(source_, 1, &buffer);
        if (alGetError() != AL_NO_ERROR) break;
        freeBuffers_.push_back(buffer);
        if (!queuedStarts_.empty()) queuedStarts_.pop_front();
    }
    Fill();
    if (state == AL_PLAYING) return;
    ALint queued = 0;
    alGetSourcei(source_, AL_BUFFERS_QUEUED, &queued);
    if (queued > 0)
        alSourcePlay(source_); // the decoder fell behind: go on with what is queued
    else if (ended_)
        playing_ = false;
}

int SoundStream::SetAttributes(int frequency, int volume, int pan) {
    if (volume > 100 || volume < -1 || (pan != -101 && (pan < -100 || pan > 100)) || frequency < -1)
        return kBassErrorIllegalParameter;
    if (frequency >= 0)
        alSourcef(source_, AL_PITCH, frequency == 0 ? 1.0f : float(frequency) / float(decoder_.GetRate()));
    if (volume >= 0) alSourcef(source_, AL_GAIN, float(volume) / 100.0f);
    if (pan != -101 && !is3D_) {
        // A plain stream pans by sitting on a unit circle around the listener.
        const float angle = float(pan) / 100.0f * 1.5707964f;
        alSource3f(source_, AL_POSITION, std::sin(angle), 0.0f, -std::cos(angle));
    }
    return kBassOk;
}

int SoundStream::Set3DAttributes(int mode, float minDistance, float maxDistance) {
    if (!is3D_) return kBassErrorNo3D;
    if (mode > kBass3DModeOff) return kBassErrorIllegalParameter;
    if (mode >= 0) mode_ = mode;
    if (minDistance > 0.0f) minDistance_ = minDistance;
    if (maxDistance > 0.0f) maxDistance_ = maxDistance;
    return kBassOk;
}

int SoundStream::Set3DPosition(const Bass3DVector* position, const Bass3DVector* velocity) {
    if (!is3D_) return kBassErrorNo3D;
    if (position) position_ = *position;
    if (velocity) velocity_ = *velocity;
    return kBassOk;
}

void SoundStream::Apply3D(float rollOff) {
    if (!is3D_) return;
    // OpenAL is right-handed: the library's forward z is OpenAL's -z.
    alSourcei(source_, AL_SOURCE_RELATIVE, mode_ == kBass3DModeNormal ? AL_FALSE : AL_TRUE);
    if (mode_ == kBass3DModeOff) {
        alSource3f(source_, AL_POSITION, 0.0f, 0.0f, 0.0f);
        alSourcef(source_, AL_ROLLOFF_FACTOR, 0.0f);
    } else {
        alSource3f(source_, AL_POSITION, position_.x, position_.y, -position_.z);
        alSourcef(source_, AL_ROLLOFF_FACTOR, rollOff);
    }
    alSource3f(source_, AL_VELOCITY, velocity_.x, velocity_.y, -velocity_.z);
    alSourcef(source_, AL_REFERENCE_DISTANCE, minDistance_);
    alSourcef(source_, AL_MAX_DISTANCE, std::fmax(maxDistance_, minDistance_));
}

} // namespace nuv
