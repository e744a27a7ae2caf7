#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "core/Color.h"
#include "core/MathUtil.h"
#include "core/Matrix4.h"
#include "core/Quaternion.h"
#include "core/Status.h"
#include "core/Vector2.h"
#include "core/Vector3.h"
#include "core/Vector4.h"

namespace nuv {
namespace {

::testing::AssertionResult Near(const Vector3& a, const Vector3& b, float tolerance = 1e-5f) {
    if (std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance && std::fabs(a.z - b.z) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a.x << ", " << a.y << ", " << a.z << ") vs (" << b.x << ", "
                                         << b.y << ", " << b.z << ")";
}

::testing::AssertionResult Near(const Matrix4& a, const Matrix4& b, float tolerance) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (!(std::fabs(a.m[r][c] - b.m[r][c]) <= tolerance))
                return ::testing::AssertionFailure() << "element [" << r << "][" << c << "]: " << a.m[r][c]
                                                     << " vs " << b.m[r][c];
    return ::testing::AssertionSuccess();
}

// q and −q are the same rotation.
::testing::AssertionResult SameRotation(const Quaternion& a, const Quaternion& b, float tolerance = 1e-5f) {
    if (std::fabs(std::fabs(Dot(a, b)) - 1.0f) <= tolerance) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a.x << ", " << a.y << ", " << a.z << ", " << a.w << ") vs ("
                                         << b.x << ", " << b.y << ", " << b.z << ", " << b.w << ")";
}

class RandomMath {
public:
    float Uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(engine_); }
    Vector3 Direction() {
        for (;;) {
            const Vector3 v(Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1));
            if (v.LengthSquared() > 0.01f) return v.Normalized();
        }
    }
    Quaternion Rotation() { return Quaternion::FromAxisAngle(Direction(), Uniform(-kPi, kPi)); }

private:
    std::mt19937 engine_{12345};
};

TEST(MathVectors, CrossFollowsAxisOrderAndNormaliseZeroesDegenerateVectors) {
    EXPECT_EQ(Cross(Vector3(1, 0, 0), Vector3(0, 1, 0)), Vector3(0, 0, 1));
    EXPECT_EQ(Cross(Vector3(0, 1, 0), Vector3(0, 0, 1)), Vector3(1, 0, 0));
    EXPECT_EQ(Cross(Vector3(0, 0, 1), Vector3(1, 0, 0)), Vector3(0, 1, 0));
    EXPECT_EQ(Cross(Vector3(0, 1, 0), Vector3(1, 0, 0)), Vector3(0, 0, -1));

    EXPECT_TRUE(Near(Vector3(3, 0, 4).Normalized(), Vector3(0.6f, 0, 0.8f)));
    EXPECT_EQ(Vector3().Normalized(), Vector3());
    EXPECT_EQ(Vector3(1e-4f, 0, 0).Normalized(), Vector3());  // squared length below the float step
    EXPECT_FALSE(std::isnan(Vector4().Normalized().x));
    EXPECT_TRUE(Near(Vector3(1e-3f, 0, 0).Normalized(), Vector3(1, 0, 0)));
    EXPECT_FLOAT_EQ(Vector2(3, 4).Normalized().y, 0.8f);

    EXPECT_EQ(Lerp(Vector3(0, 2, 4), Vector3(10, 4, 0), 0.25f), Vector3(2.5f, 2.5f, 3));
    EXPECT_EQ(ComponentMul(Vector3(1, 2, 3), Vector3(4, 5, 6)), Vector3(4, 10, 18));
    Vector3 v(7, 8, 9);
    v[2] = 1;
    EXPECT_EQ(v[0] + v[1] + v[2], 16.0f);
}

TEST(MathVectors, FileLayoutIsComponentOrder) {
    const Quaternion q(1, 2, 3, 4);
    const Color c(5, 6, 7, 8);
    float raw[4];
    std::memcpy(raw, &q, sizeof raw);
    EXPECT_EQ(raw[0], 1.0f);
    EXPECT_EQ(raw[3], 4.0f);
    std::memcpy(raw, &c, sizeof raw);
    EXPECT_EQ(raw[0], 5.0f);
    EXPECT_EQ(raw[3], 8.0f);
    const Matrix4 t = Matrix4::Translation(10, 11, 12);
    EXPECT_EQ(t.Data()[12], 10.0f);  // row-major: the fourth row is elements 12..15
    EXPECT_EQ(t.Data()[14], 12.0f);
}

TEST(MathColor, PacksClampedAndRoundedArgb) {
    EXPECT_EQ(Color(1, 0, 0, 1).ToArgb(), 0xFFFF0000u);
    EXPECT_EQ(Color(0, 0.5f, 1, 0).ToArgb(), 0x000080FFu);
    EXPECT_EQ(Color(2, -1, NAN, 0.2f).ToArgb(), 0x33FF0000u);
    EXPECT_EQ(Color().ToArgb(), 0xFF000000u);
    EXPECT_EQ(Color(0.2f, 0.4f, 0.6f, 0.8f) * Color(0.5f, 0.5f, 0.5f, 0.5f), Color(0.1f, 0.2f, 0.3f, 0.4f));
}

// The row-vector, left-handed conventions the renderers rely on.
TEST(MathMatrix, RowVectorConventions) {
    const Matrix4 t = Matrix4::Translation(1, 2, 3);
    EXPECT_EQ(t.Row(3), Vector4(1, 2, 3, 1));
    EXPECT_EQ(t.TransformPoint(Vector3(1, 1, 1)), Vector3(2, 3, 4));
    EXPECT_EQ(t.TransformVector(Vector3(1, 1, 1)), Vector3(1, 1, 1));
    EXPECT_EQ(Vector4(1, 1, 1, 1) * t, Vector4(2, 3, 4, 1));

    // Left-handed, positive angles: x toward y about z, y toward z about x, z toward x about y.
    const float quarter = kHalfPi;
    EXPECT_TRUE(Near(Matrix4::RotationZ(quarter).TransformPoint(Vector3(1, 0, 0)), Vector3(0, 1, 0)));
    EXPECT_TRUE(Near(Matrix4::RotationX(quarter).TransformPoint(Vector3(0, 1, 0)), Vector3(0, 0, 1)));
    EXPECT_TRUE(Near(Matrix4::RotationY(quarter).TransformPoint(Vector3(0, 0, 1)), Vector3(1, 0, 0)));
    EXPECT_TRUE(Near(Matrix4::RotationAxis(Vector3(0, 0, 5), 0.7f), Matrix4::RotationZ(0.7f), 1e-6f));
    EXPECT_TRUE(Near(Matrix4::RotationAxis(Vector3(-2, 0, 0), 0.7f), Matrix4::RotationX(-0.7f), 1e-6f));
    EXPECT_TRUE(Near(Matrix4::RotationAxis(Vector3(0, 1, 0), 1.1f), Matrix4::RotationY(1.1f), 1e-6f));

    // Products apply left to right: scale, then rotate, then translate.
    const Matrix4 srt = Matrix4::Scaling(2) * Matrix4::RotationZ(quarter) * Matrix4::Translation(10, 0, 0);
    EXPECT_TRUE(Near(srt.TransformPoint(Vector3(1, 0, 0)), Vector3(10, 2, 0)));
    const Matrix4 trs = Matrix4::Translation(10, 0, 0) * Matrix4::RotationZ(quarter) * Matrix4::Scaling(2);
    EXPECT_TRUE(Near(trs.TransformPoint(Vector3(1, 0, 0)), Vector3(0, 22, 0), 1e-5f));
}

TEST(MathMatrix, InverseOfRandomMatricesGivesIdentity) {
    RandomMath random;
    for (int i = 0; i < 200; ++i) {
        Matrix4 m;
        if (i % 2 == 0) {
            // Affine: scale, rotation and translation, as world matrices are built.
            m = Matrix4::Scaling(random.Uniform(0.2f, 5), random.Uniform(0.2f, 5), random.Uniform(0.2f, 5)) *
                random.Rotation().ToMatrix() *
                Matrix4::Translation(random.Uniform(-100, 100), random.Uniform(-100, 100), random.Uniform(-100, 100));
        } else {
            // General, kept well conditioned by a dominant diagonal.
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c) m.m[r][c] = random.Uniform(-1, 1) + (r == c ? 5.0f : 0.0f);
        }
        Matrix4 inverse = Matrix4::Zero();
        ASSERT_EQ(m.Inverse(inverse), kStatusOk);
        EXPECT_TRUE(Near(inverse * m, Matrix4::Identity(), 2e-5f)) << "matrix " << i;
        EXPECT_TRUE(Near(m * inverse, Matrix4::Identity(), 2e-4f)) << "matrix " << i;
        EXPECT_NEAR(inverse.Determinant() * m.Determinant(), 1.0f, 1e-4f);
    }
}

TEST(MathMatrix, InverseOfViewProjectionRecoversWorldPoints) {
    const Matrix4 view = Matrix4::LookAtLH(Vector3(3, 4, -20), Vector3(0, 1, 0), Vector3(0, 1, 0));
    const Matrix4 viewProjection = view * Matrix4::PerspectiveFovLH(kPi / 4, 31.0f / 24.0f, 0.1f, 10000.0f);
    Matrix4 inverse;
    ASSERT_EQ(viewProjection.Inverse(inverse), kStatusOk);
    for (const Vector3 p : {Vector3(0, 1, 0), Vector3(-2, 3, 5), Vector3(10, -5, 200)}) {
        const Vector3 ndc = viewProjection.TransformPoint(p);
        EXPECT_TRUE(Near(inverse.TransformPoint(ndc), p, 2e-3f * (1.0f + p.Length())));
    }
}

TEST(MathMatrix, SingularInverseFailsAndLeavesResult) {
    Matrix4 result = Matrix4::Translation(1, 2, 3);
    EXPECT_EQ(Matrix4::Scaling(1, 0, 1).Inverse(result), kStatusFailed);
    EXPECT_EQ(Matrix4::Zero().Inverse(result), kStatusFailed);
    Matrix4 repeatedRow = Matrix4::RotationY(0.3f);
    repeatedRow.SetRow(2, repeatedRow.Row(0));
    EXPECT_EQ(repeatedRow.Inverse(result), kStatusFailed);
    Matrix4 withNan;
    withNan.m[1][2] = NAN;
    EXPECT_EQ(withNan.Inverse(result), kStatusFailed);
    EXPECT_EQ(result, Matrix4::Translation(1, 2, 3));
}

TEST(MathMatrix, DeterminantAndTranspose) {
    EXPECT_FLOAT_EQ(Matrix4::Scaling(2, 3, 4).Determinant(), 24.0f);
    EXPECT_NEAR(Matrix4::RotationAxis(Vector3(1, 2, 3), 1.0f).Determinant(), 1.0f, 1e-6f);
    // Mirroring flips the sign.
    EXPECT_FLOAT_EQ(Matrix4::Scaling(1, -1, 1).Determinant(), -1.0f);
    const Matrix4 a(1, 2, 0, 1, 0, 3, 1, 0, 2, 0, 1, 1, 1, 1, 0, 2);
    const Matrix4 b = Matrix4::RotationX(0.5f) * Matrix4::Translation(1, 2, 3) * Matrix4::Scaling(1, 2, 3);
    EXPECT_NEAR((a * b).Determinant(), a.Determinant() * b.Determinant(), 1e-4f);
    EXPECT_EQ(a.Transposed().Row(1), a.Column(1));
    EXPECT_EQ(a.Transposed().Transposed(), a);
    // The transpose of a rotation is its inverse.
    const Matrix4 r = Matrix4::RotationAxis(Vector3(1, -1, 2), 2.0f);
    EXPECT_TRUE(Near(r * r.Transposed(), Matrix4::Identity(), 1e-6f));
}

TEST(MathMatrix, PerspectiveMapsNearToZeroAndFarToOne) {
    const float nearPlane = 0.1f, farPlane = 10000.0f;
    const Matrix4 p = Matrix4::PerspectiveFovLH(kPi / 4, 31.0f / 24.0f, nearPlane, farPlane);
    EXPECT_FLOAT_EQ(p.m[1][1], 2.4142137f);
    EXPECT_FLOAT_EQ(p.m[0][0], 1.8690687f);
    EXPECT_NEAR(p.TransformPoint(Vector3(0, 0, nearPlane)).z, 0.0f, 1e-6f);
    EXPECT_NEAR(p.TransformPoint(Vector3(0, 0, farPlane)).z, 1.0f, 1e-6f);
    const float middle = p.TransformPoint(Vector3(0, 0, 50)).z;
    EXPECT_GT(middle, 0.0f);
    EXPECT_LT(middle, 1.0f);
    // w carries the view depth.
    EXPECT_EQ(p.Transform(Vector4(0, 0, 7, 1)).w, 7.0f);
    // The top edge of the vertical field of view lands on y = 1; the side edge on x = 1.
    const float z = 20.0f, halfHeight = z * std::tan(kPi / 8);
    EXPECT_NEAR(p.TransformPoint(Vector3(0, halfHeight, z)).y, 1.0f, 1e-5f);
    EXPECT_NEAR(p.TransformPoint(Vector3(halfHeight * 31.0f / 24.0f, 0, z)).x, 1.0f, 1e-5f);
}

TEST(MathMatrix, OrthographicMapsBoxToClipVolume) {
    const Matrix4 o = Matrix4::OrthoLH(8, 4, 0.1f, 50.1f);
    EXPECT_TRUE(Near(o.TransformPoint(Vector3(4, -2, 0.1f)), Vector3(1, -1, 0)));
    EXPECT_TRUE(Near(o.TransformPoint(Vector3(-4, 2, 50.1f)), Vector3(-1, 1, 1)));
    const Matrix4 box = Matrix4::OrthoOffCenterLH(-1, 5, 2, 4, 10, 30);
    EXPECT_TRUE(Near(box.TransformPoint(Vector3(-1, 2, 10)), Vector3(-1, -1, 0)));
    EXPECT_TRUE(Near(box.TransformPoint(Vector3(5, 4, 30)), Vector3(1, 1, 1)));
    EXPECT_TRUE(Near(box.TransformPoint(Vector3(2, 3, 20)), Vector3(0, 0, 0.5f)));
}

TEST(MathMatrix, LookAtPutsTargetOnPositiveZ) {
    const Vector3 eye(5, 2, -3), target(1, 2, 4);
    const Matrix4 view = Matrix4::LookAtLH(eye, target, Vector3(0, 1, 0));
    EXPECT_TRUE(Near(view.TransformPoint(eye), Vector3()));
    EXPECT_TRUE(Near(view.TransformPoint(target), Vector3(0, 0, Distance(eye, target))));
    EXPECT_TRUE(Near(view.TransformPoint(eye + Vector3(0, 3, 0)), Vector3(0, 3, 0)));
    // Right is up × forward: looking along +z from the origin, +x is on the right.
    const Matrix4 straight = Matrix4::LookAtLH(Vector3(), Vector3(0, 0, 1), Vector3(0, 1, 0));
    EXPECT_TRUE(Near(straight, Matrix4::Identity(), 1e-7f));
    const Matrix4 alongX = Matrix4::LookToLH(Vector3(), Vector3(1, 0, 0), Vector3(0, 1, 0));
    EXPECT_TRUE(Near(alongX.TransformPoint(Vector3(0, 0, -1)), Vector3(1, 0, 0)));
    Matrix4 inverse;
    ASSERT_EQ(view.Inverse(inverse), kStatusOk);
    EXPECT_TRUE(Near(inverse.TransformPoint(Vector3(0, 0, 1)), eye + (target - eye).Normalized()));
}

TEST(MathQuaternion, MatrixLayoutAndProductOrder) {
    // A raw quaternion about z: its matrix turns x away from y (R(q) applies the conjugate).
    const float half = 0.35f;
    const Quaternion raw(0, 0, std::sin(half), std::cos(half));
    EXPECT_TRUE(Near(raw.Rotate(Vector3(1, 0, 0)), Vector3(std::cos(2 * half), -std::sin(2 * half), 0)));
    EXPECT_TRUE(Near(raw.ToMatrix().TransformPoint(Vector3(1, 0, 0)),
                     Vector3(std::cos(2 * half), -std::sin(2 * half), 0)));

    // FromAxisAngle agrees with the matrix rotations.
    EXPECT_TRUE(Near(Quaternion::FromAxisAngle(Vector3(0, 0, 1), kHalfPi).Rotate(Vector3(1, 0, 0)), Vector3(0, 1, 0)));
    RandomMath random;
    for (int i = 0; i < 50; ++i) {
        const Vector3 axis = random.Direction() * random.Uniform(0.5f, 3);
        const float angle = random.Uniform(-kPi, kPi);
        EXPECT_TRUE(Near(Quaternion::FromAxisAngle(axis, angle).ToMatrix(), Matrix4::RotationAxis(axis, angle), 2e-6f));
    }

    // a * b rotates by a, then by b, like the matrices.
    for (int i = 0; i < 50; ++i) {
        const Quaternion a = random.Rotation(), b = random.Rotation();
        const Vector3 v(random.Uniform(-5, 5), random.Uniform(-5, 5), random.Uniform(-5, 5));
        EXPECT_TRUE(Near((a * b).ToMatrix(), a.ToMatrix() * b.ToMatrix(), 2e-6f));
        EXPECT_TRUE(Near((a * b).Rotate(v), b.Rotate(a.Rotate(v)), 2e-5f));
        EXPECT_TRUE(Near(a.Rotate(v), a.ToMatrix().TransformVector(v), 2e-5f));
        EXPECT_NEAR(a.Rotate(v).Length(), v.Length(), 1e-5f);
    }
    EXPECT_EQ(Quaternion() * Quaternion(1, 2, 3, 4), Quaternion(1, 2, 3, 4));
    EXPECT_EQ(Quaternion::FromAxisAngle(Vector3(), 1.0f), Quaternion());
}

TEST(MathQuaternion, MatrixRoundTripsThroughEveryBranch) {
    RandomMath random;
    std::vector<Quaternion> cases = {
        Quaternion(),
        Quaternion::FromAxisAngle(Vector3(1, 0, 0), kPi),  // w = 0, x dominant
        Quaternion::FromAxisAngle(Vector3(0, 1, 0), kPi),
        Quaternion::FromAxisAngle(Vector3(0, 0, 1), kPi),
        Quaternion::FromAxisAngle(Vector3(1, 1, 0), 3.0f),
        Quaternion::FromAxisAngle(Vector3(0, 1, 1), -3.0f),
        Quaternion::FromAxisAngle(Vector3(1, 0, 1), 2.9f),
    };
    for (int i = 0; i < 200; ++i) cases.push_back(random.Rotation());
    for (const Quaternion& q : cases) {
        const Quaternion back = Quaternion::FromRotationMatrix(q.ToMatrix());
        EXPECT_TRUE(SameRotation(back, q)) << q.x << ", " << q.y << ", " << q.z << ", " << q.w;
        EXPECT_NEAR(back.Length(), 1.0f, 1e-6f);
    }
    // Translation and a fourth column are ignored; the matrix from axes recovers them.
    Matrix4 placed = Quaternion::FromAxisAngle(Vector3(1, 2, 3), 1.0f).ToMatrix() * Matrix4::Translation(5, 6, 7);
    EXPECT_TRUE(SameRotation(Quaternion::FromRotationMatrix(placed), Quaternion::FromAxisAngle(Vector3(1, 2, 3), 1.0f)));
    // Garbage gives a finite rotation, never NaN.
    const Quaternion fromZero = Quaternion::FromRotationMatrix(Matrix4::Zero());
    EXPECT_FALSE(std::isnan(fromZero.x + fromZero.y + fromZero.z + fromZero.w));
}

TEST(MathQuaternion, InverseAndNormalise) {
    const Quaternion q = Quaternion::FromAxisAngle(Vector3(1, 2, 3), 0.8f);
    EXPECT_TRUE(SameRotation(q * q.Inverse(), Quaternion()));
    const Quaternion scaled = q * 3.0f;
    const Quaternion product = scaled * scaled.Inverse();
    EXPECT_NEAR(product.w, 1.0f, 1e-6f);
    EXPECT_NEAR(product.x, 0.0f, 1e-6f);
    EXPECT_TRUE(Near(q.Conjugate().Rotate(q.Rotate(Vector3(1, 2, 3))), Vector3(1, 2, 3)));
    EXPECT_NEAR(scaled.Normalized().Length(), 1.0f, 1e-6f);
    EXPECT_EQ(Quaternion(0, 0, 0, 0).Normalized(), Quaternion());
    EXPECT_EQ(Quaternion(0, 0, 0, 0).Inverse(), Quaternion());
}

TEST(MathQuaternion, SlerpTakesShortArcAndKeepsEqualRotations) {
    const Vector3 z(0, 0, 1);
    const Quaternion q0 = Quaternion::FromAxisAngle(z, 0.2f), q1 = Quaternion::FromAxisAngle(z, 1.4f);
    EXPECT_TRUE(SameRotation(Slerp(q0, q1, 0.5f), Quaternion::FromAxisAngle(z, 0.8f)));
    EXPECT_TRUE(SameRotation(Slerp(q0, q1, 0.25f), Quaternion::FromAxisAngle(z, 0.5f)));
    EXPECT_EQ(Slerp(q0, q1, 0.0f), q0);
    const Quaternion end = Slerp(q0, q1, 1.0f);
    EXPECT_NEAR(end.z, q1.z, 1e-6f);
    EXPECT_NEAR(end.w, q1.w, 1e-6f);

    // The same end rotation with the opposite sign: the path and the result do not change.
    const Quaternion halfway = Slerp(q0, -q1, 0.5f);
    EXPECT_TRUE(SameRotation(halfway, Quaternion::FromAxisAngle(z, 0.8f)));
    EXPECT_GT(Dot(halfway, q0), 0.0f);  // stays on q0's side
    // Crossing the ±π seam goes the short way: from +170° to −170° passes 180°, not 0°.
    const Quaternion across = Slerp(Quaternion::FromAxisAngle(z, DegreesToRadians(170)),
                                    Quaternion::FromAxisAngle(z, DegreesToRadians(-170)), 0.5f);
    EXPECT_TRUE(SameRotation(across, Quaternion::FromAxisAngle(z, kPi)));

    // Equal (or sign-flipped equal) rotations return q0 exactly, whatever t is.
    EXPECT_EQ(Slerp(q0, q0, 0.7f), q0);
    EXPECT_EQ(Slerp(q0, -q0, 0.3f), q0);
    // The result is not renormalised: a long input stays long.
    const Quaternion longer = Slerp(q0 * 2.0f, q1 * 2.0f, 0.5f);
    EXPECT_GT(longer.Length(), 1.5f);
}

} // namespace
} // namespace nuv
