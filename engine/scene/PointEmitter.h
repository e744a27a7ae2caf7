#pragma once

#include "core/FieldMessage.h"
#include "scene/Emitter.h"

namespace nuv {

class ParticleSystem;

// Emits from the owning particle system's position, in directions between two angles from
// the owner's local +Y axis (the default range covers the whole sphere).
class PointEmitter : public Emitter {
    NUV_DECLARE_OBJECT
public:
    PointEmitter() = default;

    // After the Object fields: maxAngle, minAngle.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;

    void Emit(Vector3& position, Vector3& direction) override;

    // A plain back pointer: the particle system holds the emitter.
    ParticleSystem* GetOwner() const { return owner_; }
    void SetOwner(ParticleSystem* owner) { owner_ = owner; }

    float maxAngle = 3.1415927f;
    float minAngle = 0.0f;

protected:
    // Two rand() calls, azimuth first; the direction in the emitter's local frame.
    Vector3 SampleLocalDirection() const;
    // The local direction carried by the owner's world rotation and scale, normalised.
    Vector3 ToWorldDirection(const Vector3& local) const;
    Vector3 OwnerPosition() const;
    // The one message each way of this class and the emitters derived from it.
    static constexpr FieldMessage kSaveFailure = "Невозможно сохранить данные системы частиц. Имя[%s] ID[%d]";
    static constexpr FieldMessage kLoadFailure = "Невозможно загрузить данные системы частиц. Имя[%s] ID[%d]";

private:
    ParticleSystem* owner_ = nullptr;
};

} // namespace nuv
