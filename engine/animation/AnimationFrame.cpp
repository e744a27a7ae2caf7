#include "animation/AnimationFrame.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Status.h"
#include "core/Stream.h"

#include <cmath>

namespace nuv {

double AnimationFrame::StageTime(double position, bool first) const {
    const double width = end - start;
    // A window of no width plays its animation's start rather than dividing by zero.
    double t = width != 0.0 ? ((position - start) * speed + offset) / width : 0.0;
    if (!std::isfinite(t)) return 0.0;
    if (mode == kOnce) {
        if (first) return t >= 0.0 && t < 1.0 ? t : 0.0;
        return t > 1.0 ? 1.0 : (t < 0.0 ? 0.0 : t);
    }
    const double whole = std::floor(t);
    if (mode == kLoop) {
        t -= whole;
    } else {
        // Parity from the floored value itself: a huge t must not go through an int conversion.
        t = std::fmod(whole, 2.0) == 0.0 ? t - whole : 1.0 - (t - whole);
    }
    if (first && t >= 1.0) t = 0.0;
    return t;
}

int AnimationFrame::Save(Stream& stream) const {
    FieldWriter out(stream);
    out.Link(animation.Get(), "Невозможно сохранить анимацию фрейма анимации.")
        .Int(mode)
        .Double(start)
        .Double(end)
        .Double(speed)
        .Double(offset, "Невозможно сохранить данные стадии блендинга анимации.");
    return out.GetStatus();
}

int AnimationFrame::Load(Stream& stream) {
    FieldReader in(stream);
    Animation* loaded = nullptr;
    if (!in.Link(loaded, "Невозможно загрузить анимацию фрейма анимации.")) return in.GetStatus();
    animation = loaded;
    in.Int(mode).Double(start).Double(end).Double(speed).Double(
        offset, "Невозможно загрузить данные стадии блендинга анимации.");
    return in.GetStatus();
}

} // namespace nuv
