#pragma once

#include "core/Vector3.h"

namespace nuv {

// Bounding sphere of a point set: the centre of the axis-aligned box of the points and the
// largest distance from it. The SIMD and the scalar routines do the same float operations in
// the same order, so they give the same bits; the dispatching one picks the SIMD routine once
// per process when the processor runs it. count must be at least 1.
void FitSphere(const Vector3* points, int count, Vector3& center, float& radius);
void FitSphereScalar(const Vector3* points, int count, Vector3& center, float& radius);
// False when this build or processor has no SIMD routine (the call then does the scalar fit).
bool FitSphereSimd(const Vector3* points, int count, Vector3& center, float& radius);
bool HasSimdSphereFit();

} // namespace nuv
