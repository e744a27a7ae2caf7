#include "animation/SkeletonAnimationController.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
#include "core/Status.h"
#include "core/Stream.h"

#include <algorithm>

namespace nuv {

NUV_IMPLEMENT_OBJECT(SkeletonAnimationController, AnimationController)

bool SkeletonAnimationController::AddBoneController(AnimationController* controller) {
    return controller && boneControllers_.Append(Pointer<AnimationController>(controller));
}

AnimationController* SkeletonAnimationController::GetBoneController(int index) const {
    return index >= 0 && index < boneControllers_.GetCount() ? boneControllers_[index].Get() : nullptr;
}

template <class Step>
void SkeletonAnimationController::ForEachBone(Step step) {
    if (forwarding_) return;
    forwarding_ = true;
    for (const Pointer<AnimationController>& bone : boneControllers_)
        if (bone && bone.Get() != this) step(*bone);
    forwarding_ = false;
}

void SkeletonAnimationController::Apply(double dt) {
    // A call that comes back here through the bone controllers would advance the track twice.
    if (forwarding_) return;
    AnimationController::Apply(dt);
    if (!IsActive()) return;
    ForEachBone([dt](AnimationController& bone) {
        bone.SetActive(true);
        bone.Apply(dt);
        bone.SetActive(false);
    });
}

void SkeletonAnimationController::Reset() {
    AnimationController::Reset();
    ForEachBone([](AnimationController& bone) { bone.ClearStages(); });
}

void SkeletonAnimationController::SetStageAnimation(Animation* animation, int stage, float weight) {
    AnimationController::SetStageAnimation(animation, stage, weight);
    ForEachBone([&](AnimationController& bone) { bone.SetStageAnimation(animation, stage, weight); });
}

void SkeletonAnimationController::SetStageAnimationByName(const String& name, int stage, float weight) {
    AnimationController::SetStageAnimationByName(name, stage, weight);
    ForEachBone([&](AnimationController& bone) {
        // The bone's stage is emptied; only a bone with a track of that name takes the weight.
        const BlendStage* existing = bone.GetStage(stage);
        const float oldWeight = existing ? existing->weight : 1.0f;
        bone.SetStageAnimation(nullptr, stage, oldWeight);
        if (Animation* track = bone.FindAnimation(name)) bone.SetStageAnimation(track, stage, weight);
    });
}

void SkeletonAnimationController::SetStageWeight(int stage, float weight) {
    AnimationController::SetStageWeight(stage, weight);
    ForEachBone([&](AnimationController& bone) { bone.SetStageWeight(stage, weight); });
}

void SkeletonAnimationController::SetPosition(double position) {
    AnimationController::SetPosition(position);
    ForEachBone([&](AnimationController& bone) { bone.SetPosition(position); });
}

int SkeletonAnimationController::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Parent(AnimationController::Save(stream))
        .Int(boneControllers_.GetCount(),
             "Невозможно сохранить количество контроллеров анимации костей. Имя[%s] ID[%d]");
    for (const Pointer<AnimationController>& bone : boneControllers_)
        out.Link(bone.Get(), "Невозможно сохранить контроллер анимации костей. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int SkeletonAnimationController::Load(Stream& stream) {
    FieldReader in(stream, *this);
    int32_t count = 0;
    in.Parent(AnimationController::Load(stream))
        .Count(count, "Невозможно загрузить количество контроллеров анимации костей. ID[%d] Имя[%s]");
    if (!in) return in.GetStatus();
    boneControllers_.Clear();
    boneControllers_.Reserve(std::min(count, stream.GetRemaining() / 4));
    for (int32_t i = 0; in && i < count; ++i) {
        AnimationController* bone = nullptr;
        in.Link(bone).Use("Невозможно загрузить контроллер анимации костей. Имя[%s] ID[%d]",
                          [&] { return boneControllers_.Append(Pointer<AnimationController>(bone)); });
    }
    return in.GetStatus();
}

void SkeletonAnimationController::VisitLinks(LinkVisitor& visitor) {
    AnimationController::VisitLinks(visitor);
    visitor.VisitSlots(*this, boneControllers_);
}

} // namespace nuv
