#include "animation/AnimationController.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
#include "core/Status.h"
#include "core/Stream.h"

#include <algorithm>
#include <cmath>

namespace nuv {

NUV_IMPLEMENT_ABSTRACT_OBJECT(AnimationController, Controller)

namespace {

// Smallest stored frame: a link (4 bytes), the mode and four float64 values.
constexpr int kMinFrameBytes = 4 + 4 + 4 * 8;

} // namespace

Animation* AnimationController::GetAnimation(int index) const {
    return index >= 0 && index < animations_.GetCount() ? animations_[index].Get() : nullptr;
}

bool AnimationController::AddAnimation(Animation* animation) {
    return animation && animations_.Append(Pointer<Animation>(animation));
}

Animation* AnimationController::FindAnimation(const String& name) const {
    for (int i = animations_.GetCount() - 1; i >= 0; --i)
        if (animations_[i] && animations_[i]->GetName() == name) return animations_[i].Get();
    return nullptr;
}

bool AnimationController::AddFrame(Animation* animation, double start, double end, int mode, double speed,
                                   double offset) {
    AnimationFrame frame;
    frame.animation = animation;
    frame.start = start;
    frame.end = end;
    frame.mode = mode;
    frame.speed = speed;
    frame.offset = offset;
    return frames_.Append(std::move(frame));
}

const BlendStage* AnimationController::GetStage(int index) const {
    return index >= 0 && index < stages_.GetCount() ? &stages_[index] : nullptr;
}

bool AnimationController::EnsureStage(int stage) {
    if (stage < 0) return false;
    while (stages_.GetCount() <= stage)
        if (!stages_.Append(BlendStage())) return false;
    return true;
}

void AnimationController::SetStageAnimation(Animation* animation, int stage, float weight) {
    if (!EnsureStage(stage)) return;
    stages_[stage].animation = animation;
    stages_[stage].weight = weight;
}

void AnimationController::SetStageAnimationByName(const String& name, int stage, float weight) {
    if (!EnsureStage(stage)) return;
    stages_[stage].animation.Reset();
    stages_[stage].weight = weight;
    stages_[stage].animation = FindAnimation(name);
}

void AnimationController::SetStageWeight(int stage, float weight) {
    if (BlendStage* s = Stage(stage)) s->weight = weight;
}

void AnimationController::SetPosition(double position) {
    position_ = position;
}

void AnimationController::Reset() {
    stages_.Clear();
    position_ = 0.0;
}

void AnimationController::Apply(double dt) {
    if (!IsActive()) return;
    if (period_ > 0.0 && std::isfinite(period_) && std::isfinite(dt)) {
        double position = position_ + dt / period_;
        // Whole passes wrap away; a negative step wraps the same way, so the track stays in [0, 1).
        if (position >= 1.0 || position < 0.0) position -= std::floor(position);
        if (std::isfinite(position) && position < 1.0) position_ = position;
        else position_ = 0.0;
    }

    const AnimationFrame* picked[kStageCount] = {nullptr, nullptr};
    int count = 0;
    for (int i = 0; i < frames_.GetCount() && count < kStageCount; ++i) {
        const AnimationFrame& frame = frames_[i];
        if (!frame.Contains(position_)) continue;
        const BlendStage* stage = GetStage(count);
        if ((stage ? stage->animation.Get() : nullptr) != frame.animation.Get())
            SetStageAnimation(frame.animation.Get(), count, 1.0f);
        picked[count++] = &frame;
    }
    const AnimationFrame* a = picked[0];
    const AnimationFrame* b = picked[1];

    if (!b) {
        const BlendStage* second = GetStage(1);
        if (second && second->animation) SetStageAnimation(nullptr, 1, 0.0f);
        SetStageWeight(0, 1.0f);
    } else if (a->start < b->start && a->end < b->end) {
        // A leads: B fades in over the overlap. An overlap of no width is already B's.
        const double span = a->end - b->start;
        const float w = span > 0.0 ? float((position_ - b->start) / span) : 1.0f;
        SetStageWeight(1, w);
        SetStageWeight(0, 1.0f - w);
    } else if (a->start > b->start && a->end > b->end) {
        const double span = b->end - a->start;
        const float w = span > 0.0 ? float((position_ - a->start) / span) : 1.0f;
        SetStageWeight(0, w);
        SetStageWeight(1, 1.0f - w);
    } else {
        SetStageWeight(0, 0.5f);
        SetStageWeight(1, 0.5f);
    }

    for (int k = 0; k < count; ++k)
        if (BlendStage* stage = Stage(k)) stage->SetTime(picked[k]->StageTime(position_, k == 0));
}

Object* AnimationController::FindByName(const String& name) {
    if (Object* found = Controller::FindByName(name)) return found;
    for (const Pointer<Animation>& animation : animations_)
        if (animation)
            if (Object* found = animation->FindByName(name)) return found;
    return nullptr;
}

void AnimationController::CollectByType(const Rtti& type, Array<Object*>& found) {
    Controller::CollectByType(type, found);
    for (const Pointer<Animation>& animation : animations_)
        if (animation) animation->CollectByType(type, found);
}

int AnimationController::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Parent(Controller::Save(stream))
        .Int(animations_.GetCount(), "Невозможно сохранить количество анимаций. Имя[%s] ID[%d]");
    for (const Pointer<Animation>& animation : animations_)
        out.Link(animation.Get(), "Невозможно сохранить анимацию. Имя[%s] ID[%d]");
    out.Int(frames_.GetCount(), "Невозможно сохранить количество фреймов анимаций. Имя[%s] ID[%d]");
    for (const AnimationFrame& frame : frames_)
        out.Nested(frame, "Невозможно сохранить фрейм анимаций. Имя[%s] ID[%d]");
    out.Double(period_, "Невозможно сохранить период трэка. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int AnimationController::Load(Stream& stream) {
    FieldReader in(stream, *this);
    int32_t count = 0;
    if (!in.Parent(Controller::Load(stream)).Count(count, "Невозможно загрузить количество анимаций. ID[%d] Имя[%s]"))
        return in.GetStatus();
    animations_.Clear();
    animations_.Reserve(std::min(count, stream.GetRemaining() / 4));
    for (int32_t i = 0; in && i < count; ++i) {
        Animation* animation = nullptr;
        in.Link(animation).Use("Невозможно загрузить анимацию. Имя[%s] ID[%d]",
                               [&] { return animations_.Append(Pointer<Animation>(animation)); });
    }
    if (!in.Count(count, "Невозможно загрузить количество фреймов анимаций. ID[%d] Имя[%s]")) return in.GetStatus();
    frames_.Clear();
    frames_.Reserve(std::min(count, stream.GetRemaining() / kMinFrameBytes));
    for (int32_t i = 0; in && i < count; ++i) {
        AnimationFrame frame;
        in.Nested(frame, "Невозможно загрузить фрейм анимаций. Имя[%s] ID[%d]")
            .Use("Невозможно загрузить фрейм анимаций. Имя[%s] ID[%d]",
                 [&] { return frames_.Append(std::move(frame)); });
    }
    in.Double(period_, "Невозможно загрузить период трэка. ID[%d] Имя[%s]");
    return in.GetStatus();
}

void AnimationController::VisitLinks(LinkVisitor& visitor) {
    Controller::VisitLinks(visitor);
    visitor.VisitSlots(*this, animations_);
    for (AnimationFrame& frame : frames_)
        if (visitor.Refuses(*this, frame.animation)) frame.animation.Reset();
    for (BlendStage& stage : stages_)
        if (visitor.Refuses(*this, stage.animation)) stage.animation.Reset();
}

} // namespace nuv
