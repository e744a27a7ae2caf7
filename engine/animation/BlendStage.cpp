#include "animation/BlendStage.h"

#include <cmath>

namespace nuv {

void BlendStage::SetTime(double t) {
    if (!animation) return;
    const int n = animation->GetKeyCount();
    if (n == 0) return;
    if (!std::isfinite(t)) t = 0.0;
    key0 = animation->FindKey(t);
    key1 = (key0 + 1) % n;
    const double time0 = animation->GetKey(key0)->time;
    double span = animation->GetKey(key1)->time - time0;
    if (span < 0.0) span += 1.0;
    if (span == 0.0) {
        localTime = 0.0;
        return;
    }
    double d = t - time0;
    if (d < 0.0) d += 1.0;
    const double u = d / span;
    // Key times outside [0, 1) (a damaged track) can give a span that is still negative or a
    // fraction outside the pair; the blend stays between the two keys instead of running off.
    localTime = span > 0.0 && u >= 0.0 ? (u > 1.0 ? 1.0 : u) : 0.0;
}

} // namespace nuv
