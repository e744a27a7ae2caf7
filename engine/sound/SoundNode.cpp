#include "sound/SoundNode.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "media/File.h"
#include "media/FileManager.h"
#include "scene/SphereBoundingVolume.h"
#include "sound/SoundFile.h"
#include "sound/SoundManager.h"

#include <cstring>

namespace nuv {

NUV_IMPLEMENT_OBJECT(SoundNode, Node)

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

} // namespace

SoundNode::~SoundNode() {
    FreeSound();
}

void SoundNode::FreeSound() {
    if (stream_) SoundManager::StreamFree(stream_);
    stream_ = 0;
    data_.reset();
}

int SoundNode::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Parent(Node::Save(stream))
        .Bool(loop_)
        .Int(FloatBits(minDistance_))
        .Int(reserved_)
        .Bool(is3D_)
        .String(fileName_)
        .Bool(playing_)
        .Int(volume_)
        .Check("Невозможно сохранить данные источника звука. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int SoundNode::Load(Stream& stream) {
    FieldReader in(stream, *this);
    if (!in.Parent(Node::Load(stream))) return in.GetStatus();
    int32_t distanceBits = 0;
    in.Bool(loop_).Int(distanceBits).Int(reserved_).Bool(is3D_).String(fileName_).Bool(playing_).Int(volume_);
    minDistance_ = BitsFloat(distanceBits);
    // A distance that is not a number (or negative) is damage; it would reach the bounds.
    if (!in.Check("Невозможно загрузить данные источника звука. ID[%d] Имя[%s]", minDistance_ >= 0.0f))
        return in.GetStatus();
    File* file = FileManager::FindFile(fileName_);
    if (!file) {
        LogWarning("Невозможно найти файл [%s] для источника звука. ID[%d] Имя[%s]", fileName_.GetText(), GetId(),
                   GetName().GetText());
        return kStatusOk;
    }
    if (LoadSound(file, is3D_) != 0) {
        LogError("Невозможно загрузить звук источника звука. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return kStatusFailed;
    }
    SetVolume(volume_);
    SetMinDistance(minDistance_);
    return kStatusOk;
}

int SoundNode::LoadSound(File* file, bool make3D) {
    FreeSound();
    int size = 0;
    const int status = ReadSoundFile(file, data_, size);
    if (status != kStatusOk) return status;
    is3D_ = make3D;
    stream_ = SoundManager::StreamCreateFile(1, data_.get(), 0, BassDword(size), make3D ? kBassSample3D : 0);
    if (!stream_) {
        LogWarning("Невозможно загрузить файл звука [%s]", file->GetName().GetText());
        data_.reset(); // nothing reads it
    }
    SetLoop(loop_);
    if (is3D_) SoundManager::Apply3D();
    fileName_ = file->GetName();
    SetMinDistance(minDistance_);
    return kStatusOk;
}

void SoundNode::SetVolume(int volume) {
    volume_ = volume;
    if (stream_) SoundManager::ChannelSetAttributes(stream_, -1, volume, -101);
}

void SoundNode::SetLoop(bool loop) {
    loop_ = loop;
    if (stream_) SoundManager::ChannelSetFlags(stream_, loop ? kBassSampleLoop : 0);
}

void SoundNode::SetMinDistance(float distance) {
    minDistance_ = distance;
    if (stream_) {
        SoundManager::ChannelSet3DAttributes(stream_, kBass3DModeNormal, distance, -1.0f, -1, -1, -1);
        SoundManager::Apply3D();
    }
}

void SoundNode::UpdateWorld(double dt) {
    Node::UpdateWorld(dt);
    if (!playing_ || !stream_) return;
    if (is3D_) {
        const Bass3DVector position = RelativeToListener(GetWorldTransform().GetTranslation());
        SoundManager::ChannelSet3DPosition(stream_, &position, nullptr, nullptr);
        SoundManager::Apply3D();
    }
    // Every frame, so a stopped channel starts again while the flag is set.
    SoundManager::ChannelPlay(stream_, 0);
}

void SoundNode::UpdateBound() {
    if (!GetUpdateWorldBound()) return;
    const SphereBoundingVolume model(Vector3(0.0f, 0.0f, 0.0f), minDistance_);
    if (BoundingVolume* world = GetWorldBound()) world->TransformFrom(&model, GetWorldTransform());
}

} // namespace nuv
