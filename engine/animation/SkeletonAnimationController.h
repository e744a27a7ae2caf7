#pragma once

#include "animation/AnimationController.h"

namespace nuv {

// Drives the per-bone animation controllers of a skeleton as one: its time step and its
// stage, weight and position commands go to every bone controller. Bone controllers are kept
// inactive, so that they run only from here and never on their own from their bone's Update.
class SkeletonAnimationController : public AnimationController {
    NUV_DECLARE_OBJECT
public:
    SkeletonAnimationController() = default;

    // Persisted: the AnimationController fields, the count and the bone controller links.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;

    // Its own track step; then, when active, each bone controller is switched on, applied with
    // dt and switched off again.
    void Apply(double dt) override;
    // Its own reset, then every bone controller's stages are cleared (positions stay).
    void Reset() override;
    void SetStageAnimation(Animation* animation, int stage, float weight) override;
    // Each bone controller's stage gets its own animation of that name, if it has one.
    void SetStageAnimationByName(const String& name, int stage, float weight) override;
    void SetStageWeight(int stage, float weight) override;
    void SetPosition(double position) override;

    bool AddBoneController(AnimationController* controller);
    int GetBoneControllerCount() const { return boneControllers_.GetCount(); }
    AnimationController* GetBoneController(int index) const;
    void RemoveAllBoneControllers() { boneControllers_.Clear(); }

private:
    // Runs step on every bone controller but this one. A file can make the controllers lead
    // back here (directly or through another skeleton); calls that arrive while one is
    // forwarding are not forwarded again, so such a loop ends instead of recursing forever.
    template <class Step>
    void ForEachBone(Step step);

    Array<Pointer<AnimationController>> boneControllers_{1, 1};
    bool forwarding_ = false;
};

} // namespace nuv
