#pragma once

#include "core/Matrix4.h"
#include "core/Vector3.h"
#include "core/Vector4.h"

namespace nuv {

// What one skinning pass reads and writes: per vertex a bind position, four weights and four
// bone indices (floats, truncated), and one matrix per bone.
struct SkinningJob {
    const Vector3* bindVertices = nullptr;
    const Vector4* weights = nullptr;
    const Vector4* indices = nullptr;
    int vertexCount = 0;
    const Matrix4* boneMatrices = nullptr;
    int boneCount = 0;
    Vector3* out = nullptr;
};

// Each vertex becomes p·B with B = w0·M[i0] + the sum of wj·M[ij] over j = 1..3 with wj > 0
// (element-wise; p's w is 1; weights are not normalised). The first bone always counts.
// Damaged data is kept from spreading: an index that is not a bone (negative, too large, NaN)
// stands for a zero matrix, and a weight that is not a finite number counts as 0.
// The SIMD and the scalar routines do the same float operations in the same order, so they
// agree bit for bit; the dispatching one picks the SIMD routine once per process when the
// processor runs it.
void SkinVertices(const SkinningJob& job);
void SkinVerticesScalar(const SkinningJob& job);
// False when this build or processor has no SIMD routine (the call then does nothing).
bool SkinVerticesSimd(const SkinningJob& job);
bool HasSimdSkinning();

} // namespace nuv
