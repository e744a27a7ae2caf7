#include "animation/Skinning.h"
#include "animation/SkinningBones.h"

#if defined(__SSE__) || defined(_M_X64)
#include <xmmintrin.h>
#define NUV_SKINNING_SSE 1
#endif

namespace nuv {

#if NUV_SKINNING_SSE

bool HasSimdSkinning() {
#if defined(__GNUC__)
    static const bool has = __builtin_cpu_supports("sse");
    return has;
#else
    return true;
#endif
}

bool SkinVerticesSimd(const SkinningJob& job) {
    if (!HasSimdSkinning()) return false;
    // Lane c of row r holds element [r][c]; lane 3 rides along and is dropped at the store.
    for (int v = 0; v < job.vertexCount; ++v) {
        const Vector4& weights = job.weights[v];
        const Vector4& indices = job.indices[v];
        const Matrix4& first = skinning::Bone(job, indices.x);
        const __m128 w0 = _mm_set1_ps(skinning::FirstWeight(weights.x));
        __m128 b0 = _mm_mul_ps(w0, _mm_loadu_ps(first.m[0]));
        __m128 b1 = _mm_mul_ps(w0, _mm_loadu_ps(first.m[1]));
        __m128 b2 = _mm_mul_ps(w0, _mm_loadu_ps(first.m[2]));
        __m128 b3 = _mm_mul_ps(w0, _mm_loadu_ps(first.m[3]));
        for (int j = 1; j < 4; ++j) {
            const float w = weights[j];
            if (!skinning::Counts(w)) continue;
            const Matrix4& bone = skinning::Bone(job, indices[j]);
            const __m128 wj = _mm_set1_ps(w);
            b0 = _mm_add_ps(b0, _mm_mul_ps(wj, _mm_loadu_ps(bone.m[0])));
            b1 = _mm_add_ps(b1, _mm_mul_ps(wj, _mm_loadu_ps(bone.m[1])));
            b2 = _mm_add_ps(b2, _mm_mul_ps(wj, _mm_loadu_ps(bone.m[2])));
            b3 = _mm_add_ps(b3, _mm_mul_ps(wj, _mm_loadu_ps(bone.m[3])));
        }
        const Vector3& p = job.bindVertices[v];
        __m128 out = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(p.x), b0), _mm_mul_ps(_mm_set1_ps(p.y), b1));
        out = _mm_add_ps(out, _mm_mul_ps(_mm_set1_ps(p.z), b2));
        out = _mm_add_ps(out, b3);
        alignas(16) float lanes[4];
        _mm_store_ps(lanes, out);
        job.out[v] = Vector3(lanes[0], lanes[1], lanes[2]);
    }
    return true;
}

#else

bool HasSimdSkinning() {
    return false;
}

bool SkinVerticesSimd(const SkinningJob&) {
    return false;
}

#endif

void SkinVertices(const SkinningJob& job) {
    static const bool simd = HasSimdSkinning();
    if (simd) SkinVerticesSimd(job);
    else SkinVerticesScalar(job);
}

} // namespace nuv
