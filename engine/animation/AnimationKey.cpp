#include "animation/AnimationKey.h"

#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"

#include <cmath>

namespace nuv {

int AnimationKey::Save(Stream& stream) const {
    if (stream.WriteDouble(time) != 0) {
        LogError("Невозможно сохранить данные кифрейма.");
        return kStatusFailed;
    }
    return kStatusOk;
}

int AnimationKey::Load(Stream& stream) {
    if (stream.ReadDouble(time) != 0 || !std::isfinite(time)) {
        LogError("Невозможно загрузить данные кифрейма.");
        return kStatusFailed;
    }
    return kStatusOk;
}

} // namespace nuv
