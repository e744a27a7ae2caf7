#include "animation/AnimationKey.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Status.h"
#include "core/Stream.h"

#include <cmath>

namespace nuv {

int AnimationKey::Save(Stream& stream) const {
    return FieldWriter(stream).Double(time, "Невозможно сохранить данные кифрейма.").GetStatus();
}

int AnimationKey::Load(Stream& stream) {
    FieldReader in(stream);
    in.Double(time).Check("Невозможно загрузить данные кифрейма.", std::isfinite(time));
    return in.GetStatus();
}

} // namespace nuv
