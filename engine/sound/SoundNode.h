#pragma once

#include "core/String.h"
#include "scene/Node.h"
#include "sound/library/BassApi.h"

#include <cfloat>
#include <cstdint>
#include <memory>

namespace nuv {

class File;

// A scene node that plays one sound file from the media, optionally placed in 3D at the
// node's world position (relative to the current camera, where the listener is).
class SoundNode : public Node {
    NUV_DECLARE_OBJECT
public:
    SoundNode() = default;
    ~SoundNode() override;

    // Persisted after the Node fields: loop flag, minimum distance, reserved, 3D flag, file
    // name, playing flag, volume. Loading also finds the file in the media and makes the stream.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    // Controllers and world transform, then the 3D position and keeping the channel playing.
    void UpdateWorld(double dt) override;
    // A sphere of the minimum distance around the node.
    void UpdateBound() override;

    // 0 done (also when the library cannot decode the file: the node then stays silent);
    // 3 no file or it cannot be read; 2 out of memory.
    int LoadSound(File* file, bool make3D);
    void SetVolume(int volume);
    void SetLoop(bool loop);
    void SetMinDistance(float distance);

    const String& GetFileName() const { return fileName_; }
    void SetFileName(const String& name) { fileName_ = name; }
    bool Is3D() const { return is3D_; }
    // For a node made in code: the stream made at load is 3D (mono files only).
    void Set3D(bool is3D) { is3D_ = is3D; }
    bool IsPlaying() const { return playing_; }
    void SetPlaying(bool playing) { playing_ = playing; }
    BassHandle GetStream() const { return stream_; }
    int GetVolume() const { return volume_; }
    bool IsLoop() const { return loop_; }
    float GetMinDistance() const { return minDistance_; }

private:
    void FreeSound();

    String fileName_;
    bool is3D_ = false;
    bool playing_ = true;
    BassHandle stream_ = 0;
    std::unique_ptr<uint8_t[]> data_; // the stream reads from it, so it lives as long as the stream
    bool loop_ = false;
    float minDistance_ = FLT_MAX;
    int32_t reserved_ = 0;
    // A node made in code is heard at full volume; a loaded one takes the file's value.
    int32_t volume_ = 100;
};

} // namespace nuv
