#include "app/FadeLevel.h"

namespace nuv {

float FadeLevel::Compute(bool hasShot, double elapsed, double start, double duration) {
    if (!hasShot) return 0.0f;
    double alpha = 0.0;
    if (duration - elapsed <= 1.0)
        alpha = 1.0 - (duration - elapsed);
    else if (elapsed - start <= 1.0)
        alpha = 1.0 - (elapsed - start);
    // A frame that overshoots the shot's end, or a shot of under a second, would leave the range.
    if (!(alpha > 0.0)) return 0.0f;
    return alpha >= 1.0 ? 1.0f : float(alpha);
}

} // namespace nuv
