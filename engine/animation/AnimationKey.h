#pragma once

namespace nuv {

class Stream;

// One key of a track: its place on the track's own normalised time line. Tracks own their keys;
// subclasses add what the key holds (a pose, an on/off state) after the time.
class AnimationKey {
public:
    AnimationKey() = default;
    virtual ~AnimationKey() = default;
    AnimationKey(const AnimationKey&) = delete;
    AnimationKey& operator=(const AnimationKey&) = delete;

    // The time as float64; 0 or 1, with the failure logged.
    virtual int Save(Stream& stream) const;
    // A time that is not a finite number is refused as damaged data, so it cannot reach a blend.
    virtual int Load(Stream& stream);

    double time = 0.0;
};

} // namespace nuv
