#pragma once

#include "animation/ScreensaverSet.h"
#include "core/Array.h"
#include "core/Controller.h"

#include <cstdint>
#include <vector>

namespace nuv {

// The director of the screensaver: plays its camera shots ("sets") one after another in a
// random order that avoids recent repeats, restarts each shot's animations and makes its
// camera the renderer's current camera. The host reads the fade level from it.
class ScreensaverController : public Controller {
    NUV_DECLARE_OBJECT
public:
    ScreensaverController() = default;

    // Persisted: the Controller fields, the set count, then each set. Load chooses the first
    // set, so its camera is current as soon as the scene is in.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;
    // When active and playing: advances the shot and cuts to the next one at its end, at most
    // one cut per call.
    void Apply(double dt) override;
    // Starts a new set from its beginning.
    void Reset() override;
    // Chooses the next set, restarts its animations, takes its duration from them and makes
    // its camera current. With four sets or more, none of the last half chosen comes again.
    void PickNextSet();

    // Finds the set's animations on the camera's controllers, as Load does.
    bool AddSet(Camera* camera, double start, double duration);
    int GetSetCount() const { return sets_.GetCount(); }
    const ScreensaverSet* GetSet(int index) const;
    // The playing set, or null before the first choice.
    const ScreensaverSet* GetCurrentSet() const { return GetSet(current_); }
    int GetCurrent() const { return current_; }
    double GetElapsed() const { return elapsed_; }
    const std::vector<int32_t>& GetHistory() const { return history_; }

    // Opacity of the black quad drawn over the picture, 0 to 1: the last second of a set
    // darkens to black, the second after its start brightens from black.
    double GetFadeLevel() const;

private:
    // Restarts an animation of the chosen set; its period times the set when it is usable.
    static void RestartAnimation(AnimationController* animation, double& duration, bool first);

    Array<ScreensaverSet> sets_{1, 1};
    int32_t current_ = -1;
    double elapsed_ = 0.0;
    // The most recently chosen set indices, oldest first; a size of -1 rebuilds it at the next
    // choice.
    std::vector<int32_t> history_;
    int32_t historySize_ = -1;
};

} // namespace nuv
