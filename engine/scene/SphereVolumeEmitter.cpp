#include "scene/SphereVolumeEmitter.h"

#include "core/Status.h"
#include "core/Stream.h"

#include <cmath>
#include <cstdlib>

namespace nuv {

NUV_IMPLEMENT_OBJECT(SphereVolumeEmitter, PointEmitter)

void SphereVolumeEmitter::Emit(Vector3& position, Vector3& direction) {
    direction = ToWorldDirection(SampleLocalDirection());
    const float theta = Unit(Rand()) * 6.2831855f;
    const float phi = Unit(Rand()) * 6.2831855f;
    const Vector3 offset =
        Vector3(std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)).Normalized();
    const float distance = float(Rand() % 10000) * radius * 0.0001f;
    // The offset stays unrotated: the sphere is round whatever the owner's turn.
    position = OwnerPosition() + offset * distance;
}

int SphereVolumeEmitter::Save(Stream& stream) {
    if (PointEmitter::Save(stream) != 0) return kStatusFailed;
    if (stream.WriteFloat(radius) != 0) {
        LogSaveFailure();
        return kStatusFailed;
    }
    return kStatusOk;
}

int SphereVolumeEmitter::Load(Stream& stream) {
    if (PointEmitter::Load(stream) != 0) return kStatusFailed;
    if (stream.ReadFloat(radius) != 0) {
        LogLoadFailure();
        return kStatusFailed;
    }
    return kStatusOk;
}

} // namespace nuv
