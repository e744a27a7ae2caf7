#pragma once

#include "animation/Animation.h"
#include "animation/AnimationFrame.h"
#include "animation/BlendStage.h"
#include "core/Array.h"
#include "core/Controller.h"
#include "core/Pointer.h"

namespace nuv {

// Plays key-framed animations on a looping track: the track position advances with time, the
// frames that contain it choose up to two animations, and two blend stages cross-fade between
// them. Subclasses decide what the blended keys drive.
class AnimationController : public Controller {
    NUV_DECLARE_OBJECT
public:
    static constexpr int kStageCount = 2;

    // Persisted: the Controller fields, the animation links, the frames, then the period.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;
    // This controller (and its own controllers), then its animations in array order.
    Object* FindByName(const String& name) override;
    void CollectByType(const Rtti& type, Array<Object*>& found) override;

    // Advances the track by dt seconds and sets keys, times and weights of the stages.
    void Apply(double dt) override;
    // Clears every stage and returns to the start of the track.
    void Reset() override;

    // Each appends default stages until stage exists; the stage gets the animation and weight.
    virtual void SetStageAnimation(Animation* animation, int stage, float weight);
    // The stage gets the weight and the last animation of that exact name, or none.
    virtual void SetStageAnimationByName(const String& name, int stage, float weight);
    // A stage that does not exist is ignored.
    virtual void SetStageWeight(int stage, float weight);
    virtual void SetPosition(double position);

    bool AddAnimation(Animation* animation);
    int GetAnimationCount() const { return animations_.GetCount(); }
    Animation* GetAnimation(int index) const;
    // The last animation of the array with exactly that name, or null.
    Animation* FindAnimation(const String& name) const;
    bool AddFrame(Animation* animation, double start, double end, int mode = AnimationFrame::kLoop,
                  double speed = 1.0, double offset = 0.0);
    int GetFrameCount() const { return frames_.GetCount(); }
    const AnimationFrame& GetFrame(int index) const { return frames_[index]; }
    int GetStageCount() const { return stages_.GetCount(); }
    // Null when the stage does not exist.
    const BlendStage* GetStage(int index) const;
    void ClearStages() { stages_.Clear(); }

    // Seconds per pass over the track. A period that is not a positive finite number holds the
    // track where it is (the frames still pick their stages).
    double GetPeriod() const { return period_; }
    void SetPeriod(double period) { period_ = period; }
    double GetPosition() const { return position_; }

protected:
    AnimationController() = default;
    BlendStage* Stage(int index) { return index >= 0 && index < stages_.GetCount() ? &stages_[index] : nullptr; }

private:
    bool EnsureStage(int stage);

    Array<Pointer<Animation>> animations_{1, 1};
    Array<BlendStage> stages_{1, 1};
    double period_ = 0.0;
    double position_ = 0.0;
    Array<AnimationFrame> frames_{1, 1};
};

} // namespace nuv
