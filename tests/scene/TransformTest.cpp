#include "core/Stream.h"
#include "scene/Transform.h"

#include <gtest/gtest.h>

#include <random>

namespace nuv {
namespace {

Quaternion RandomRotation(std::mt19937& rng) {
    std::uniform_real_distribution<float> axis(-1.0f, 1.0f), angle(-3.0f, 3.0f);
    return Quaternion::FromAxisAngle(Vector3(axis(rng), axis(rng), axis(rng)), angle(rng));
}

Vector3 RandomVector(std::mt19937& rng, float low, float high) {
    std::uniform_real_distribution<float> d(low, high);
    return {d(rng), d(rng), d(rng)};
}

void ExpectNear(const Vector3& a, const Vector3& b, float tolerance) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

TEST(TransformTest, FlagsFollowTheSetters) {
    Transform t;
    EXPECT_TRUE(t.IsIdentity());
    EXPECT_TRUE(t.IsRotationIdentity());
    t.SetTranslation(Vector3(0, 0, 0));
    EXPECT_FALSE(t.IsIdentity());
    EXPECT_TRUE(t.IsRotationIdentity());
    t.SetScale(Vector3(1, 1, 1));
    EXPECT_TRUE(t.IsRotationIdentity());
    // Setting the identity rotation still clears the shortcut: the flags are never derived.
    t.SetRotation(Quaternion::Identity());
    EXPECT_FALSE(t.IsRotationIdentity());

    const Transform general(Vector3(), Quaternion(), Vector3(1, 1, 1));
    EXPECT_FALSE(general.IsIdentity());
    EXPECT_FALSE(general.IsRotationIdentity());

    Transform loaded;
    Stream stream(0, 64);
    ASSERT_EQ(Transform().Save(stream), 0);
    EXPECT_EQ(stream.GetPosition(), 40);
    stream.SetPosition(0);
    ASSERT_EQ(loaded.Load(stream), 0);
    EXPECT_FALSE(loaded.IsIdentity());
    EXPECT_FALSE(loaded.IsRotationIdentity());
    // A short read leaves the transform as it was.
    Stream cut(0, 64);
    cut.Assign(stream.GetData(), 39);
    Transform kept;
    EXPECT_NE(kept.Load(cut), 0);
    EXPECT_TRUE(kept.IsIdentity());
}

TEST(TransformTest, PointsMapLikeTheMatrixAndTheMatrixProduct) {
    std::mt19937 rng(7);
    for (int i = 0; i < 200; ++i) {
        const Transform t(RandomVector(rng, -50, 50), RandomRotation(rng), RandomVector(rng, 0.2f, 3.0f));
        const Vector3 v = RandomVector(rng, -10, 10);
        const Matrix4 m = t.ToMatrix();
        ExpectNear(t.TransformPoint(v), m.TransformPoint(v), 1e-3f);
        ExpectNear(t.TransformVector(v), m.TransformVector(v), 1e-3f);
        // Scale, then rotate, then translate.
        const Matrix4 product = Matrix4::Scaling(t.GetScale()) * Matrix4::RotationQuaternion(t.GetRotation()) *
                                Matrix4::Translation(t.GetTranslation());
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) EXPECT_NEAR(m.m[r][c], product.m[r][c], 1e-5f);
    }
}

TEST(TransformTest, ShortcutsSkipTheRotation) {
    Transform t;
    const Vector3 v(1, 2, 3);
    EXPECT_EQ(t.TransformPoint(v), v);
    t.SetScale(Vector3(2, 3, 4));
    t.SetTranslation(Vector3(10, 0, 0));
    EXPECT_EQ(t.TransformPoint(v), Vector3(12, 6, 12));
    EXPECT_EQ(t.TransformVector(v), Vector3(2, 6, 12));
    // A quarter turn: (1, 0, 0) goes to (0, 1, 0) with row vectors.
    t = Transform(Vector3(), Quaternion::FromAxisAngle(Vector3(0, 0, 1), 1.5707964f), Vector3(1, 1, 1));
    ExpectNear(t.TransformPoint(Vector3(1, 0, 0)), Matrix4::RotationZ(1.5707964f).TransformPoint(Vector3(1, 0, 0)),
               1e-6f);
}

TEST(TransformTest, ComposeMatchesTheMatrixProduct) {
    std::mt19937 rng(11);
    for (int i = 0; i < 200; ++i) {
        // Uniform parent scale: then the component-wise scale of Compose has no shear to lose.
        const float s = std::uniform_real_distribution<float>(0.3f, 3.0f)(rng);
        const Transform parent(RandomVector(rng, -20, 20), RandomRotation(rng), Vector3(s, s, s));
        const Transform local(RandomVector(rng, -20, 20), RandomRotation(rng), RandomVector(rng, 0.3f, 3.0f));
        const Transform world = Transform::Compose(local, parent);
        EXPECT_FALSE(world.IsIdentity());
        EXPECT_FALSE(world.IsRotationIdentity());
        const Matrix4 expected = local.ToMatrix() * parent.ToMatrix();
        const Matrix4 m = world.ToMatrix();
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) EXPECT_NEAR(m.m[r][c], expected.m[r][c], 2e-3f) << r << "," << c;
        const Vector3 v = RandomVector(rng, -5, 5);
        ExpectNear(world.TransformPoint(v), parent.TransformPoint(local.TransformPoint(v)), 2e-3f);
    }
}

TEST(TransformTest, ComposeCopiesAcrossIdentities) {
    Transform parent(Vector3(1, 2, 3), Quaternion::FromAxisAngle(Vector3(0, 1, 0), 0.5f), Vector3(2, 2, 2));
    Transform local;
    EXPECT_EQ(Transform::Compose(local, parent), parent);
    Transform moved;
    moved.SetTranslation(Vector3(5, 0, 0));
    // Flags included: the copy keeps rotationIsIdentity.
    const Transform copied = Transform::Compose(moved, Transform());
    EXPECT_EQ(copied, moved);
    EXPECT_TRUE(copied.IsRotationIdentity());

    // Only one side rotates: its rotation is taken as it is, and the result has no flags.
    const Transform w1 = Transform::Compose(moved, parent);
    EXPECT_EQ(w1.GetRotation(), parent.GetRotation());
    EXPECT_FALSE(w1.IsRotationIdentity());
    EXPECT_EQ(w1.GetTranslation(), parent.TransformPoint(Vector3(5, 0, 0)));
    Transform shifted;
    shifted.SetTranslation(Vector3(0, 0, 4));
    const Transform w2 = Transform::Compose(local = parent, shifted);
    EXPECT_EQ(w2.GetRotation(), parent.GetRotation());
    // Non-uniform scales multiply per axis.
    Transform a, b;
    a.SetScale(Vector3(2, 3, 4));
    b.SetScale(Vector3(5, 6, 7));
    EXPECT_EQ(Transform::Compose(a, b).GetScale(), Vector3(10, 18, 28));
}

} // namespace
} // namespace nuv
