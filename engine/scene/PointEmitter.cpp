#include "scene/PointEmitter.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "scene/ParticleSystem.h"

#include <cmath>
#include <cstdlib>

namespace nuv {

NUV_IMPLEMENT_OBJECT(PointEmitter, Emitter)

Vector3 PointEmitter::SampleLocalDirection() const {
    const int a = Rand();
    const int b = Rand();
    const float polar = minAngle + Unit(b) * (maxAngle - minAngle);
    const float azimuth = Unit(a) * 6.2831855f;
    const float s = std::sin(polar);
    return {s * std::sin(azimuth), std::cos(polar), s * std::cos(azimuth)};
}

Vector3 PointEmitter::ToWorldDirection(const Vector3& local) const {
    if (!owner_) return local;
    return owner_->GetWorldTransform().TransformVector(local).Normalized();
}

Vector3 PointEmitter::OwnerPosition() const {
    return owner_ ? owner_->GetWorldTransform().GetTranslation() : Vector3();
}

void PointEmitter::Emit(Vector3& position, Vector3& direction) {
    position = OwnerPosition();
    direction = ToWorldDirection(SampleLocalDirection());
}

int PointEmitter::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Follow(Emitter::Save(stream)).Float(maxAngle).Float(minAngle, kSaveFailure);
    return out.GetStatus();
}

int PointEmitter::Load(Stream& stream) {
    FieldReader in(stream, *this);
    float maxValue = 0.0f, minValue = 0.0f;
    if (!in.Follow(Emitter::Load(stream)).Float(maxValue).Float(minValue, kLoadFailure)) return in.GetStatus();
    // Read into the fields back to back, then clamped; the comparisons let a NaN become 0.
    maxAngle = maxValue;
    minAngle = minValue;
    if (!(maxAngle >= 0.0f)) maxAngle = 0.0f;
    if (maxAngle < minAngle) maxAngle = minAngle;
    if (!(minAngle >= 0.0f)) minAngle = 0.0f;
    if (minAngle > maxAngle) minAngle = maxAngle;
    return kStatusOk;
}

} // namespace nuv
