// The routine for processors without SIMD registers. It is built without auto-vectorisation
// (see CMakeLists.txt), so it stays the plain float code that such a processor runs.
#include "animation/Skinning.h"
#include "animation/SkinningBones.h"

namespace nuv {

void SkinVerticesScalar(const SkinningJob& job) {
    for (int v = 0; v < job.vertexCount; ++v) {
        const Vector4& weights = job.weights[v];
        const Vector4& indices = job.indices[v];
        const Matrix4& first = skinning::Bone(job, indices.x);
        const float w0 = skinning::FirstWeight(weights.x);
        float b[4][3];
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c) b[r][c] = w0 * first.m[r][c];
        for (int j = 1; j < 4; ++j) {
            const float w = weights[j];
            if (!skinning::Counts(w)) continue;
            const Matrix4& bone = skinning::Bone(job, indices[j]);
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 3; ++c) b[r][c] = b[r][c] + w * bone.m[r][c];
        }
        // A copy, so that skinning a buffer onto itself reads each position before writing it.
        const Vector3 p = job.bindVertices[v];
        Vector3& out = job.out[v];
        for (int c = 0; c < 3; ++c) out[c] = ((p.x * b[0][c] + p.y * b[1][c]) + p.z * b[2][c]) + b[3][c];
    }
}

} // namespace nuv
