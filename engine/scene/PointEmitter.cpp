#include "scene/PointEmitter.h"

#include "core/Log.h"
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

void PointEmitter::LogSaveFailure() const {
    LogError("Невозможно сохранить данные системы частиц. Имя[%s] ID[%d]", GetName().GetText(), GetId());
}

void PointEmitter::LogLoadFailure() const {
    LogError("Невозможно загрузить данные системы частиц. Имя[%s] ID[%d]", GetName().GetText(), GetId());
}

int PointEmitter::Save(Stream& stream) {
    if (Emitter::Save(stream) != 0) return kStatusFailed;
    stream.WriteFloat(maxAngle);
    if (stream.WriteFloat(minAngle) != 0) {
        LogSaveFailure();
        return kStatusFailed;
    }
    return kStatusOk;
}

int PointEmitter::Load(Stream& stream) {
    if (Emitter::Load(stream) != 0) return kStatusFailed;
    float maxValue = 0.0f, minValue = 0.0f;
    stream.ReadFloat(maxValue);
    if (stream.ReadFloat(minValue) != 0) {
        LogLoadFailure();
        return kStatusFailed;
    }
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
