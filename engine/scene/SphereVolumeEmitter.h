#pragma once

#include "scene/PointEmitter.h"

namespace nuv {

// Emits from a random point inside a sphere around the owner; the directions are those of the
// point emitter.
class SphereVolumeEmitter : public PointEmitter {
    NUV_DECLARE_OBJECT
public:
    SphereVolumeEmitter() = default;

    // After the PointEmitter fields: radius.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;

    void Emit(Vector3& position, Vector3& direction) override;

    float radius = 10.0f;
};

} // namespace nuv
