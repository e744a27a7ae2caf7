#include "sound/SoundNode2.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Random.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "media/File.h"
#include "media/FileManager.h"
#include "scene/SphereBoundingVolume.h"
#include "sound/SoundFile.h"
#include "sound/SoundManager.h"

#include <cstdlib>
#include <cstring>

namespace nuv {

NUV_IMPLEMENT_OBJECT(SoundNode2, Node)

namespace {

int32_t FloatBits(float value) {
    int32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float BitsFloat(int32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A stream of the named media file, with its bytes in data; 0 when there is none.
BassHandle CreateStream(const String& name, bool is3D, std::unique_ptr<uint8_t[]>& data) {
    if (name.GetLength() == 0) return 0;
    File* file = FileManager::FindFile(name);
    int size = 0;
    if (!file || ReadSoundFile(file, data, size) != kStatusOk) return 0;
    const BassHandle stream =
        SoundManager::StreamCreateFile(1, data.get(), 0, BassDword(size), is3D ? kBassSample3D : 0);
    if (!stream) data.reset();
    return stream;
}

} // namespace

SoundNode2::~SoundNode2() {
    FreeSounds();
}

void SoundNode2::FreeSounds() {
    if (streamA_) SoundManager::StreamFree(streamA_);
    if (streamB_) SoundManager::StreamFree(streamB_);
    streamA_ = streamB_ = current_ = 0;
    dataA_.reset();
    dataB_.reset();
}

int SoundNode2::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Parent(Node::Save(stream))
        .String(fileA_)
        .String(fileB_)
        .Int(FloatBits(minDistance_))
        .Bool(is3D_)
        .Int(volume_)
        .Int(FloatBits(baseInterval_))
        .Int(FloatBits(spread_))
        .Check("Невозможно сохранить данные источника звука. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int SoundNode2::Load(Stream& stream) {
    FieldReader in(stream, *this);
    if (!in.Parent(Node::Load(stream))) return in.GetStatus();
    int32_t distance = 0, base = 0, spread = 0;
    in.String(fileA_).String(fileB_).Int(distance).Bool(is3D_).Int(volume_).Int(base).Int(spread);
    minDistance_ = BitsFloat(distance);
    baseInterval_ = BitsFloat(base);
    spread_ = BitsFloat(spread);
    if (!in.Check("Невозможно загрузить данные источника звука. ID[%d] Имя[%s]", minDistance_ >= 0.0f))
        return in.GetStatus();
    timer_ = nextInterval_ = 0.0f;
    LoadSounds();
    SetVolume(volume_);
    SetMinDistance(minDistance_);
    return kStatusOk;
}

int SoundNode2::LoadSounds() {
    FreeSounds();
    streamA_ = CreateStream(fileA_, is3D_, dataA_);
    streamB_ = CreateStream(fileB_, is3D_, dataB_);
    if (streamB_) {
        SoundManager::ChannelSetFlags(streamA_, 0);
        SoundManager::ChannelSetFlags(streamB_, 0);
    }
    if (is3D_) SoundManager::Apply3D();
    SetMinDistance(minDistance_);
    return kStatusOk;
}

void SoundNode2::SetVolume(int volume) {
    volume_ = volume;
    if (streamA_) SoundManager::ChannelSetAttributes(streamA_, -1, volume, -101);
    if (streamB_) SoundManager::ChannelSetAttributes(streamB_, -1, volume, -101);
}

void SoundNode2::SetMinDistance(float distance) {
    minDistance_ = distance;
    if (streamA_) SoundManager::ChannelSet3DAttributes(streamA_, kBass3DModeNormal, distance, -1.0f, -1, -1, -1);
    if (streamB_) SoundManager::ChannelSet3DAttributes(streamB_, kBass3DModeNormal, distance, -1.0f, -1, -1, -1);
    SoundManager::Apply3D();
}

void SoundNode2::UpdateWorld(double dt) {
    Node::UpdateWorld(dt);
    if (!streamA_ || !streamB_) return;
    timer_ += float(dt);
    int switches = 0;
    while (nextInterval_ <= timer_) {
        timer_ -= nextInterval_;
        const float r = float(Rand15()) / 32767.0f;
        nextInterval_ = baseInterval_ + spread_ * (2.0f * r - 1.0f);
        if (Rand15() % 2 == 0) {
            SoundManager::ChannelPlay(streamA_, 1);
            SoundManager::ChannelStop(streamB_);
            current_ = streamA_;
        } else {
            SoundManager::ChannelPlay(streamB_, 1);
            SoundManager::ChannelStop(streamA_);
            current_ = streamB_;
        }
        // An interval that is not positive would switch for ever within this update; a tiny
        // one nearly so. Such a node switches at most a bounded number of times per update.
        if (!(nextInterval_ > 0.0f) || ++switches >= kMaxSwitchesPerUpdate) {
            timer_ = 0.0f;
            break;
        }
    }
    if (current_ && is3D_) {
        const Bass3DVector position = RelativeToListener(GetWorldTransform().GetTranslation());
        SoundManager::ChannelSet3DPosition(current_, &position, nullptr, nullptr);
        SoundManager::Apply3D();
    }
}

void SoundNode2::UpdateBound() {
    if (!GetUpdateWorldBound()) return;
    const SphereBoundingVolume model(Vector3(0.0f, 0.0f, 0.0f), minDistance_);
    if (BoundingVolume* world = GetWorldBound()) world->TransformFrom(&model, GetWorldTransform());
}

} // namespace nuv
