#pragma once

#include "core/Vector3.h"

namespace nuv {

// A half-line from origin along a unit direction.
struct Ray {
    Vector3 origin;
    Vector3 direction{0.0f, 0.0f, 1.0f};
};

} // namespace nuv
