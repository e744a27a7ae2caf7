#include "animation/AnimationFrame.h"

#include "core/Log.h"
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
    if (stream.WriteObject(animation.Get()) != 0) {
        LogError("Невозможно сохранить анимацию фрейма анимации.");
        return kStatusFailed;
    }
    stream.WriteInt(mode);
    stream.WriteDouble(start);
    stream.WriteDouble(end);
    stream.WriteDouble(speed);
    if (stream.WriteDouble(offset) != 0) {
        LogError("Невозможно сохранить данные стадии блендинга анимации.");
        return kStatusFailed;
    }
    return kStatusOk;
}

int AnimationFrame::Load(Stream& stream) {
    Animation* loaded = nullptr;
    if (stream.ReadObjectAs(loaded) != 0) {
        LogError("Невозможно загрузить анимацию фрейма анимации.");
        return kStatusFailed;
    }
    animation = loaded;
    stream.ReadInt(mode);
    stream.ReadDouble(start);
    stream.ReadDouble(end);
    stream.ReadDouble(speed);
    if (stream.ReadDouble(offset) != 0) {
        LogError("Невозможно загрузить данные стадии блендинга анимации.");
        return kStatusFailed;
    }
    return kStatusOk;
}

} // namespace nuv
