#pragma once

#include "core/Vector3.h"

namespace nuv {

// A plane as a unit normal n and a distance d: the signed distance of p is n · p − d.
struct Plane {
    Vector3 normal;
    float distance = 0.0f;

    float SignedDistance(const Vector3& p) const { return Dot(normal, p) - distance; }
};

} // namespace nuv
