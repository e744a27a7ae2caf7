#pragma once

#include "core/Object.h"
#include "core/Random.h"
#include "core/Vector3.h"

#include <cstdlib>

namespace nuv {

// Chooses where a new particle starts and the unit direction it flies in, in world space.
class Emitter : public Object {
    NUV_DECLARE_OBJECT
public:
    virtual void Emit(Vector3& position, Vector3& direction) = 0;

    // The C library's rand() in the 0..32767 range the scene values are made for: libraries
    // whose RAND_MAX is larger keep the low 15 bits.
    static int Rand() { return Rand15(); }
    // One Rand() result mapped onto 0..1.
    static float Unit(int r) { return float(r) / 32767.0f; }
    // centre ± width with one Rand() call: -width + U × 2·width + centre.
    static float Vary(float centre, float width);

protected:
    Emitter() = default;
};

} // namespace nuv
