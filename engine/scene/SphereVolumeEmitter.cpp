#include "scene/SphereVolumeEmitter.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
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
    FieldWriter out(stream, *this);
    out.Follow(PointEmitter::Save(stream)).Float(radius, kSaveFailure);
    return out.GetStatus();
}

int SphereVolumeEmitter::Load(Stream& stream) {
    FieldReader in(stream, *this);
    in.Follow(PointEmitter::Load(stream)).Float(radius, kLoadFailure);
    return in.GetStatus();
}

} // namespace nuv
