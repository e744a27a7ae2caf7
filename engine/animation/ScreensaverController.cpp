#include "animation/ScreensaverController.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "media/ModuleManager.h"
#include "render/Renderer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace nuv {

NUV_IMPLEMENT_OBJECT(ScreensaverController, Controller)

namespace {

// Smallest stored set: a link (4 bytes) and two float64 values.
constexpr int kMinSetBytes = 4 + 2 * 8;
// Draws before a choice stops relying on luck; a set outside the history always exists, so
// only a broken random source ever gets this far.
constexpr int kMaxDraws = 10000;

// A period that is not a positive finite number holds its track still: it neither times a
// set nor can a phase be expressed in it.
bool IsUsablePeriod(double period) {
    return period > 0.0 && std::isfinite(period);
}

} // namespace

const ScreensaverSet* ScreensaverController::GetSet(int index) const {
    return index >= 0 && index < sets_.GetCount() ? &sets_[index] : nullptr;
}

bool ScreensaverController::AddSet(Camera* camera, double start, double duration) {
    ScreensaverSet set;
    set.camera = camera;
    set.start = start;
    set.duration = duration;
    set.FindAnimations();
    return sets_.Append(std::move(set));
}

void ScreensaverController::RestartAnimation(AnimationController* animation, double& duration, bool first) {
    if (!animation) return;
    animation->Reset();
    const double period = animation->GetPeriod();
    if (!IsUsablePeriod(period)) return;
    if (first || period < duration) duration = period;
}

void ScreensaverController::PickNextSet() {
    const int n = sets_.GetCount();
    if (n == 0) return;
    const int h = std::max(n / 2, 1);
    if (h != historySize_) {
        history_.clear();
        historySize_ = h;
    }
    if (history_.empty()) {
        history_.resize(size_t(h));
        for (int32_t& entry : history_) entry = std::rand() % n;
    }

    for (int draw = 0;; ++draw) {
        int32_t b = std::rand() % n;
        if (draw >= kMaxDraws) {
            b = 0;
            while (std::find(history_.begin(), history_.end(), b) != history_.end()) ++b;
        }
        if (h != 1 && std::find(history_.begin(), history_.end(), b) != history_.end()) continue;
        if (h != 1) {
            history_.erase(history_.begin());
            history_.push_back(b);
        }
        current_ = b;
        break;
    }

    ScreensaverSet& set = sets_[current_];
    RestartAnimation(set.cameraAnimation.Get(), set.duration, true);
    RestartAnimation(set.targetAnimation.Get(), set.duration, false);
    // A set without a camera keeps whatever camera is current.
    if (set.camera) {
        if (Renderer* renderer = ModuleManager::GetRenderer()) renderer->SetCamera(set.camera.Get());
    }
}

void ScreensaverController::Reset() {
    PickNextSet();
    elapsed_ = 0.0;
}

void ScreensaverController::Apply(double dt) {
    if (!IsActive() || !GetSet(current_) || !std::isfinite(dt)) return;
    elapsed_ += dt;
    const double duration = sets_[current_].duration;
    if (elapsed_ < duration) return;
    // A set of no length would otherwise carry the whole show time over to every later set.
    elapsed_ = duration > 0.0 ? elapsed_ - duration : 0.0;
    PickNextSet();
    // The new set's animations apply after this in the same frame: start them so that they
    // then stand elapsed seconds into their tracks.
    const ScreensaverSet& set = sets_[current_];
    for (AnimationController* animation : {set.cameraAnimation.Get(), set.targetAnimation.Get()}) {
        if (!animation || !IsUsablePeriod(animation->GetPeriod())) continue;
        animation->SetPosition(animation->GetPosition() - (dt - elapsed_) / animation->GetPeriod());
    }
}

double ScreensaverController::GetFadeLevel() const {
    const ScreensaverSet* set = GetCurrentSet();
    if (!set) return 0.0;
    const double remaining = set->duration - elapsed_;
    double alpha = 0.0;
    if (remaining <= 1.0) alpha = 1.0 - remaining;
    else if (elapsed_ - set->start <= 1.0) alpha = 1.0 - (elapsed_ - set->start);
    // Black before the fade-in begins and past the end; never brighter than the picture.
    if (!(alpha > 0.0)) return 0.0;
    return std::min(alpha, 1.0);
}

int ScreensaverController::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Parent(Controller::Save(stream)).Int(sets_.GetCount(), "Невозможно сохранить количество сетов. Имя[%s] ID[%d]");
    for (int i = 0; i < sets_.GetCount(); ++i) out.Nested(sets_[i], "Невозможно сохранить сет. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int ScreensaverController::Load(Stream& stream) {
    FieldReader in(stream, *this);
    if (!in.Parent(Controller::Load(stream))) return in.GetStatus();
    sets_.Clear();
    current_ = -1;
    elapsed_ = 0.0;
    history_.clear();
    historySize_ = -1;
    int32_t count = 0;
    if (!in.Count(count, "Невозможно загрузить количество сетов. ID[%d] Имя[%s]")) return in.GetStatus();
    // A forged count reserves no more than the bytes left could hold.
    sets_.Reserve(std::min(count, stream.GetRemaining() / kMinSetBytes));
    for (int32_t i = 0; in && i < count; ++i) {
        ScreensaverSet set;
        in.Nested(set, "Невозможно загрузить сет. Имя[%s] ID[%d]").Use("Невозможно загрузить сет. Имя[%s] ID[%d]", [&] {
            return sets_.Append(std::move(set));
        });
    }
    if (!in) return in.GetStatus();
    PickNextSet();
    return kStatusOk;
}

void ScreensaverController::VisitLinks(LinkVisitor& visitor) {
    Controller::VisitLinks(visitor);
    for (ScreensaverSet& set : sets_) {
        if (visitor.Refuses(*this, set.camera)) {
            // The animations were found on the camera: they go with it.
            set.camera.Reset();
            set.FindAnimations();
        }
        if (visitor.Refuses(*this, set.cameraAnimation)) set.cameraAnimation.Reset();
        if (visitor.Refuses(*this, set.targetAnimation)) set.targetAnimation.Reset();
    }
}

} // namespace nuv
