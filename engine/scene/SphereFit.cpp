#include "scene/SphereFit.h"

#include <cmath>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define NUV_SPHERE_FIT_SSE 1
#endif

namespace nuv {

// Both routines keep the same accumulators and update them with the same operations in the
// same order, so the results agree bit for bit on any input, NaNs and signed zeros included:
// - box pass: twelve lanes, a block of four points is twelve floats and lane j takes float j of
//   every block; the lanes are reduced per axis at the end;
// - distance pass: four lanes, point i of a block goes to lane i.
// The comparisons are written the way the SSE instructions define them: min(a, b) = a < b ? a : b
// and max(a, b) = a > b ? a : b.
namespace {

inline float Min(float a, float b) { return a < b ? a : b; }
inline float Max(float a, float b) { return a > b ? a : b; }

struct Lanes {
    float low[12];
    float high[12];
    float distance[4];
};

void InitLanes(const Vector3& first, Lanes& lanes) {
    for (int j = 0; j < 12; ++j) lanes.low[j] = lanes.high[j] = first[j % 3];
    for (float& d : lanes.distance) d = 0.0f;
}

// Points from index start on, one at a time, into the lanes their place in a block gives them.
void BoxTail(const Vector3* points, int start, int count, Lanes& lanes) {
    for (int i = start; i < count; ++i) {
        const int lane = (i & 3) * 3;
        for (int axis = 0; axis < 3; ++axis) {
            lanes.low[lane + axis] = Min(lanes.low[lane + axis], points[i][axis]);
            lanes.high[lane + axis] = Max(lanes.high[lane + axis], points[i][axis]);
        }
    }
}

Vector3 BoxCenter(const Lanes& lanes) {
    Vector3 center;
    for (int axis = 0; axis < 3; ++axis) {
        const float low = Min(Min(lanes.low[axis], lanes.low[axis + 3]), Min(lanes.low[axis + 6], lanes.low[axis + 9]));
        const float high =
            Max(Max(lanes.high[axis], lanes.high[axis + 3]), Max(lanes.high[axis + 6], lanes.high[axis + 9]));
        center[axis] = (low + high) * 0.5f;
    }
    return center;
}

inline float DistanceSquared(const Vector3& p, const Vector3& c) {
    const float dx = p.x - c.x, dy = p.y - c.y, dz = p.z - c.z;
    return (dx * dx + dy * dy) + dz * dz;
}

void DistanceTail(const Vector3* points, int start, int count, const Vector3& center, Lanes& lanes) {
    for (int i = start; i < count; ++i)
        lanes.distance[i & 3] = Max(lanes.distance[i & 3], DistanceSquared(points[i], center));
}

float Radius(const Lanes& lanes) {
    return std::sqrt(Max(Max(lanes.distance[0], lanes.distance[1]), Max(lanes.distance[2], lanes.distance[3])));
}

} // namespace

void FitSphereScalar(const Vector3* points, int count, Vector3& center, float& radius) {
    Lanes lanes;
    InitLanes(points[0], lanes);
    const int blocks = count & ~3;
    const float* data = &points[0].x;
    for (int i = 0; i < blocks; i += 4) {
        const float* block = data + i * 3;
        for (int j = 0; j < 12; ++j) {
            lanes.low[j] = Min(lanes.low[j], block[j]);
            lanes.high[j] = Max(lanes.high[j], block[j]);
        }
    }
    BoxTail(points, blocks, count, lanes);
    const Vector3 c = BoxCenter(lanes);
    for (int i = 0; i < blocks; ++i) lanes.distance[i & 3] = Max(lanes.distance[i & 3], DistanceSquared(points[i], c));
    DistanceTail(points, blocks, count, c, lanes);
    center = c;
    radius = Radius(lanes);
}

#ifdef NUV_SPHERE_FIT_SSE

bool HasSimdSphereFit() {
#if defined(__GNUC__)
    static const bool has = __builtin_cpu_supports("sse2");
    return has;
#else
    return true;
#endif
}

bool FitSphereSimd(const Vector3* points, int count, Vector3& center, float& radius) {
    if (!HasSimdSphereFit()) {
        FitSphereScalar(points, count, center, radius);
        return false;
    }
    Lanes lanes;
    InitLanes(points[0], lanes);
    const int blocks = count & ~3;
    const float* data = &points[0].x;
    __m128 low0 = _mm_loadu_ps(lanes.low), low1 = _mm_loadu_ps(lanes.low + 4), low2 = _mm_loadu_ps(lanes.low + 8);
    __m128 high0 = low0, high1 = low1, high2 = low2;
    for (int i = 0; i < blocks; i += 4) {
        const float* block = data + i * 3;
        const __m128 a = _mm_loadu_ps(block), b = _mm_loadu_ps(block + 4), c = _mm_loadu_ps(block + 8);
        low0 = _mm_min_ps(low0, a);
        low1 = _mm_min_ps(low1, b);
        low2 = _mm_min_ps(low2, c);
        high0 = _mm_max_ps(high0, a);
        high1 = _mm_max_ps(high1, b);
        high2 = _mm_max_ps(high2, c);
    }
    _mm_storeu_ps(lanes.low, low0);
    _mm_storeu_ps(lanes.low + 4, low1);
    _mm_storeu_ps(lanes.low + 8, low2);
    _mm_storeu_ps(lanes.high, high0);
    _mm_storeu_ps(lanes.high + 4, high1);
    _mm_storeu_ps(lanes.high + 8, high2);
    BoxTail(points, blocks, count, lanes);
    const Vector3 centre = BoxCenter(lanes);

    const __m128 cx = _mm_set1_ps(centre.x), cy = _mm_set1_ps(centre.y), cz = _mm_set1_ps(centre.z);
    __m128 farthest = _mm_setzero_ps();
    for (int i = 0; i < blocks; i += 4) {
        // (x0 y0 z0 x1) (y1 z1 x2 y2) (z2 x3 y3 z3) to one register per axis, in six shuffles.
        const float* block = data + i * 3;
        const __m128 a = _mm_loadu_ps(block), b = _mm_loadu_ps(block + 4), c = _mm_loadu_ps(block + 8);
        const __m128 x2y2z2x3 = _mm_shuffle_ps(b, c, _MM_SHUFFLE(1, 0, 3, 2));
        const __m128 y0z0y1z1 = _mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 0, 2, 1));
        const __m128 y2z1y3z3 = _mm_shuffle_ps(b, c, _MM_SHUFFLE(3, 2, 1, 3));
        const __m128 xs = _mm_shuffle_ps(a, x2y2z2x3, _MM_SHUFFLE(3, 0, 3, 0));
        const __m128 ys = _mm_shuffle_ps(y0z0y1z1, y2z1y3z3, _MM_SHUFFLE(2, 0, 2, 0));
        const __m128 zs = _mm_shuffle_ps(y0z0y1z1, c, _MM_SHUFFLE(3, 0, 3, 1));
        const __m128 dx = _mm_sub_ps(xs, cx), dy = _mm_sub_ps(ys, cy), dz = _mm_sub_ps(zs, cz);
        const __m128 d2 = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz));
        farthest = _mm_max_ps(farthest, d2);
    }
    _mm_storeu_ps(lanes.distance, farthest);
    DistanceTail(points, blocks, count, centre, lanes);
    center = centre;
    radius = Radius(lanes);
    return true;
}

#else

bool HasSimdSphereFit() { return false; }

bool FitSphereSimd(const Vector3* points, int count, Vector3& center, float& radius) {
    FitSphereScalar(points, count, center, radius);
    return false;
}

#endif

void FitSphere(const Vector3* points, int count, Vector3& center, float& radius) {
    static const bool simd = HasSimdSphereFit();
    if (simd) {
        FitSphereSimd(points, count, center, radius);
    } else {
        FitSphereScalar(points, count, center, radius);
    }
}

} // namespace nuv
