#include "../core/TestSupport.h"

#include "core/Stream.h"
#include "core/Vector3Buffer.h"
#include "scene/Plane.h"
#include "scene/Ray.h"
#include "scene/SphereBoundingVolume.h"
#include "scene/SphereFit.h"
#include "scene/Transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace nuv {
namespace {

using test::LogRecorder;

uint32_t Bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

Pointer<Vector3Buffer> Points(const std::vector<Vector3>& points) {
    Pointer<Vector3Buffer> buffer(new Vector3Buffer(int(points.size())));
    for (size_t i = 0; i < points.size(); ++i) buffer->GetElements()[i] = points[i];
    return buffer;
}

TEST(BoundTest, FitsTheBoxCentreAndTheFarthestPoint) {
    SphereBoundingVolume sphere;
    ASSERT_EQ(sphere.FitToPoints(Points({{0, 0, 0}, {2, 0, 0}}).Get()), 0);
    EXPECT_EQ(sphere.GetCenter(), Vector3(1, 0, 0));
    EXPECT_EQ(sphere.GetRadius(), 1.0f);
    ASSERT_EQ(sphere.FitToPoints(Points({{0, 0, 0}, {2, 0, 0}, {1, 5, 0}}).Get()), 0);
    EXPECT_EQ(sphere.GetCenter(), Vector3(1, 2.5f, 0));
    EXPECT_FLOAT_EQ(sphere.GetRadius(), 2.6925824f);
    // Every point inside, whatever the count's remainder by four.
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> d(-100, 100);
    for (int n = 1; n < 40; ++n) {
        std::vector<Vector3> points(n);
        for (Vector3& p : points) p = {d(rng), d(rng), d(rng)};
        ASSERT_EQ(sphere.FitToPoints(points.data(), n), 0);
        float farthest = 0;
        for (const Vector3& p : points) farthest = std::max(farthest, Distance(p, sphere.GetCenter()));
        EXPECT_FLOAT_EQ(sphere.GetRadius(), farthest) << n;
    }
}

TEST(BoundTest, MissingPointsWarnAndLeaveTheSphere) {
    SphereBoundingVolume sphere(Vector3(1, 2, 3), 4);
    sphere.SetName(String("s"));
    LogRecorder log;
    EXPECT_EQ(sphere.FitToPoints(static_cast<const Vector3Buffer*>(nullptr)), 3);
    EXPECT_EQ(sphere.FitToPoints(Points({}).Get()), 3);
    EXPECT_EQ(sphere.CopyFrom(nullptr), 3);
    EXPECT_EQ(sphere.Merge(nullptr), 3);
    EXPECT_EQ(sphere.TransformFrom(nullptr, Transform()), 3);
    EXPECT_FALSE(sphere.Intersects(nullptr));
    const std::string tail = " Имя[s] ID[" + std::to_string(sphere.GetId()) + "].";
    EXPECT_TRUE(log.Contains(kLogWarning, "Указатель на вершины равен 0 при генерации." + tail));
    EXPECT_TRUE(log.Contains(kLogWarning, "Нет вершин в буффере при генерации объёма." + tail));
    EXPECT_TRUE(log.Contains(kLogWarning, "Указатель на объём равен 0 при генерации." + tail));
    EXPECT_TRUE(log.Contains(kLogWarning, "Указатель на объём равен 0 при слиянии." + tail));
    EXPECT_TRUE(log.Contains(kLogWarning, "Указатель на объём равен 0 при трансформации." + tail));
    EXPECT_EQ(sphere.GetCenter(), Vector3(1, 2, 3));
    EXPECT_EQ(sphere.GetRadius(), 4.0f);
}

TEST(BoundTest, MergeGivesTheSmallestEnclosingSphere) {
    SphereBoundingVolume small(Vector3(), 1), large(Vector3(), 5);
    SphereBoundingVolume a(Vector3(), 1);
    a.Merge(&large);
    EXPECT_EQ(a.GetRadius(), 5.0f);
    SphereBoundingVolume b(Vector3(), 5);
    b.Merge(&small);
    EXPECT_EQ(b.GetRadius(), 5.0f);
    SphereBoundingVolume c(Vector3(0, 0, 0), 1), d(Vector3(4, 0, 0), 1);
    c.Merge(&d);
    EXPECT_EQ(c.GetCenter(), Vector3(2, 0, 0));
    EXPECT_EQ(c.GetRadius(), 3.0f);
    // Unequal radii: the result touches both far sides.
    SphereBoundingVolume e(Vector3(0, 0, 0), 1), f(Vector3(0, 10, 0), 3);
    e.Merge(&f);
    EXPECT_FLOAT_EQ(e.GetCenter().y, 6.0f);
    EXPECT_FLOAT_EQ(e.GetRadius(), 7.0f);
}

TEST(BoundTest, TransformScalesTheRadiusByXOnly) {
    SphereBoundingVolume source(Vector3(1, 0, 0), 2), moved;
    Transform t;
    t.SetScale(Vector3(2, 1, 1));
    t.SetTranslation(Vector3(0, 0, 5));
    moved.TransformFrom(&source, t);
    EXPECT_EQ(moved.GetCenter(), Vector3(2, 0, 5));
    EXPECT_EQ(moved.GetRadius(), 4.0f);
    t.SetScale(Vector3(1, 3, 1));
    moved.TransformFrom(&source, t);
    EXPECT_EQ(moved.GetRadius(), 2.0f);
    // A rotation keeps the radius; the source may be the sphere itself.
    const Transform turn(Vector3(), Quaternion::FromAxisAngle(Vector3(0, 0, 1), 1.0f), Vector3(1, 1, 1));
    moved.TransformFrom(&moved, turn);
    EXPECT_FLOAT_EQ(moved.GetRadius(), 2.0f);
}

TEST(BoundTest, PlaneSidesRaysAndOverlaps) {
    const SphereBoundingVolume sphere(Vector3(0, 0, 5), 1);
    EXPECT_EQ(sphere.PlaneSide(Plane{{0, 0, 1}, 4}), 1);    // exactly touching from the positive side
    EXPECT_EQ(sphere.PlaneSide(Plane{{0, 0, 1}, 6}), -1);   // exactly touching from the negative side
    EXPECT_EQ(sphere.PlaneSide(Plane{{0, 0, 1}, 5.5f}), 0);
    EXPECT_EQ(sphere.PlaneSide(Plane{{0, 0, -1}, 0}), -1);
    float t1 = 0, t2 = 0;
    ASSERT_TRUE(sphere.IntersectRay(Ray{{0, 0, 0}, {0, 0, 1}}, t1, t2));
    EXPECT_FLOAT_EQ(t1, 6.0f);
    EXPECT_FLOAT_EQ(t2, 4.0f);
    EXPECT_FALSE(sphere.IntersectRay(Ray{{2, 0, 0}, {0, 0, 1}}, t1, t2));
    const SphereBoundingVolume touching(Vector3(0, 0, 7), 1), apart(Vector3(0, 0, 7.5f), 1);
    EXPECT_TRUE(sphere.Intersects(&touching));
    EXPECT_FALSE(sphere.Intersects(&apart));
}

TEST(BoundTest, SaveAndLoad) {
    SphereBoundingVolume sphere(Vector3(1, 2, 3), 4);
    Stream stream(0, 64);
    ASSERT_EQ(stream.WriteObject(&sphere), 0);
    const int size = stream.GetPosition();
    for (int cut = 0; cut <= size; ++cut) {
        Stream in(0, 64);
        in.Assign(stream.GetData(), cut);
        LogRecorder log;
        Object* out = nullptr;
        const int status = in.ReadObject(out);
        if (cut < size) {
            EXPECT_NE(status, 0);
            // Past the class name, the sphere itself reports the failure.
            if (cut > 4 + 4 + 27) {
                EXPECT_TRUE(log.ContainsText("Невозможно загрузить данные окружающего объёма. ID["));
            }
        } else {
            ASSERT_EQ(status, 0);
            auto* copy = DynamicCast<SphereBoundingVolume>(out);
            ASSERT_TRUE(copy);
            EXPECT_EQ(copy->GetCenter(), Vector3(1, 2, 3));
            EXPECT_EQ(copy->GetRadius(), 4.0f);
        }
    }
    LogRecorder log;
    Stream tight(size - 2, 0);
    EXPECT_NE(tight.WriteObject(&sphere), 0);
    EXPECT_TRUE(log.ContainsText("Невозможно сохранить данные окружающего объёма. Имя[] ID["));
}

// The two routines must agree to the bit, on every count (the block remainder takes its own path)
// and on awkward values: signed zeros, infinities and NaNs.
TEST(BoundTest, SimdAndScalarFitsAgreeBitForBit) {
    if (!HasSimdSphereFit()) GTEST_SKIP() << "no SIMD routine on this processor";
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> wide(-1e6f, 1e6f), narrow(-1, 1);
    const float specials[] = {0.0f, -0.0f, std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
                              1e-40f, 3.4e38f};
    for (int round = 0; round < 600; ++round) {
        const int n = 1 + int(rng() % (round < 300 ? 17 : 3000));
        std::vector<Vector3> points(n);
        for (Vector3& p : points)
            for (int axis = 0; axis < 3; ++axis) p[axis] = (round & 1) ? wide(rng) : narrow(rng);
        if (round % 5 == 0)
            for (int k = 0; k < 3; ++k) points[rng() % n][int(rng() % 3)] = specials[rng() % 7];
        Vector3 c1, c2;
        float r1 = -1, r2 = -2;
        FitSphereScalar(points.data(), n, c1, r1);
        ASSERT_TRUE(FitSphereSimd(points.data(), n, c2, r2));
        for (int axis = 0; axis < 3; ++axis) ASSERT_EQ(Bits(c1[axis]), Bits(c2[axis])) << round << " " << axis;
        ASSERT_EQ(Bits(r1), Bits(r2)) << round;
    }
}

} // namespace
} // namespace nuv
