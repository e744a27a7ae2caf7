#pragma once

#include "animation/Skinning.h"

#include <cfloat>

// Helpers shared by the two skinning routines, so both treat damaged data alike.
namespace nuv::skinning {

inline constexpr Matrix4 kZeroMatrix = Matrix4::Zero();

// The bone matrix an index names, or the zero matrix when it names none. The comparison comes
// before the conversion, so NaN and huge values never reach it.
inline const Matrix4& Bone(const SkinningJob& job, float index) {
    return index >= 0.0f && index < float(job.boneCount) ? job.boneMatrices[int(index)] : kZeroMatrix;
}

inline float FirstWeight(float w) {
    return w >= -FLT_MAX && w <= FLT_MAX ? w : 0.0f;
}

// Bones after the first count only with a positive, finite weight.
inline bool Counts(float w) {
    return w > 0.0f && w <= FLT_MAX;
}

} // namespace nuv::skinning
