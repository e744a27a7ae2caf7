#pragma once

#include "core/String.h"
#include "scene/Node.h"
#include "sound/library/BassApi.h"

#include <cfloat>
#include <cstdint>
#include <memory>

namespace nuv {

// A scene node that alternates between two sound files at random intervals: after each
// interval one of the two, chosen at random, starts from the beginning and the other stops.
class SoundNode2 : public Node {
    NUV_DECLARE_OBJECT
public:
    // Switches one update may make; a file's tiny interval cannot stall the frame.
    static constexpr int kMaxSwitchesPerUpdate = 64;

    SoundNode2() = default;
    ~SoundNode2() override;

    // Persisted after the Node fields: file names A and B, minimum distance, 3D flag, volume,
    // base interval, interval spread.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void UpdateWorld(double dt) override;
    void UpdateBound() override;

    // Makes both streams from the media files named; returns 0.
    int LoadSounds();
    void SetVolume(int volume);
    void SetMinDistance(float distance);

    void SetFileNames(const String& a, const String& b) {
        fileA_ = a;
        fileB_ = b;
    }
    void Set3D(bool is3D) { is3D_ = is3D; }
    void SetInterval(float base, float spread) {
        baseInterval_ = base;
        spread_ = spread;
    }
    BassHandle GetStreamA() const { return streamA_; }
    BassHandle GetStreamB() const { return streamB_; }
    BassHandle GetCurrentStream() const { return current_; }
    int GetVolume() const { return volume_; }
    float GetMinDistance() const { return minDistance_; }

private:
    void FreeSounds();

    String fileA_;
    String fileB_;
    BassHandle streamA_ = 0;
    BassHandle streamB_ = 0;
    std::unique_ptr<uint8_t[]> dataA_;
    std::unique_ptr<uint8_t[]> dataB_;
    float minDistance_ = FLT_MAX;
    bool is3D_ = false;
    int32_t volume_ = 100;
    float baseInterval_ = 1.0f;
    float spread_ = 0.0f;
    float timer_ = 0.0f;
    float nextInterval_ = 0.0f;
    BassHandle current_ = 0;
};

} // namespace nuv
