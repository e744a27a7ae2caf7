// The track, its frames and blend stages, the key search and the node blend.
#include "AnimationTestSupport.h"

#include "animation/BoolAnimation.h"
#include "animation/NodeAnimationController.h"
#include "scene/Node.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace nuv {
namespace {

using test::AddNodeKey;

Pointer<NodeAnimation> Track(std::initializer_list<double> times) {
    Pointer<NodeAnimation> track(new NodeAnimation());
    for (double t : times) AddNodeKey(*track, t, Vector3(float(t), 0, 0));
    return track;
}

// A controller on a node with one track played in one looping frame over the whole track.
struct Rig {
    Pointer<Node> node{new Node()};
    Pointer<NodeAnimationController> controller{new NodeAnimationController()};
    Rig(Animation* track, double period = 1.0) {
        controller->AddAnimation(track);
        controller->AddFrame(track, 0.0, 1.0);
        controller->SetPeriod(period);
        node->AddController(controller.Get());
    }
};

TEST(FindKey, BisectionFindsTheLastKeyAtOrBeforeTAndWrapsBeforeTheFirst) {
    auto track = Track({0.2, 0.7});
    EXPECT_EQ(track->FindKey(0.1), 1);
    EXPECT_EQ(track->FindKey(0.2), 0);
    EXPECT_EQ(track->FindKey(0.69), 0);
    EXPECT_EQ(track->FindKey(0.7), 1);
    EXPECT_EQ(track->FindKey(0.99), 1);
    EXPECT_EQ(Track({})->FindKey(0.5), -1);

    // Against a linear search over a long track with uneven spacing.
    std::mt19937 random(7);
    Pointer<NodeAnimation> many(new NodeAnimation());
    double time = 0.0;
    for (int i = 0; i < 1000; ++i) {
        AddNodeKey(*many, time, {});
        time += std::uniform_real_distribution<double>(1e-6, 1.9e-3)(random);
    }
    for (int i = 0; i < 5000; ++i) {
        const double t = std::uniform_real_distribution<double>(-0.01, 1.0)(random);
        int expected = many->GetKeyCount() - 1;
        if (many->GetKey(0)->time <= t)
            for (int k = 0; k < many->GetKeyCount() && many->GetKey(k)->time <= t; ++k) expected = k;
        ASSERT_EQ(many->FindKey(t), expected) << t;
    }
}

TEST(BlendStage, LocalTimeAcrossTheWrapAndForSingleKeys) {
    BlendStage stage;
    stage.animation = Track({0.2, 0.7}).Get();
    stage.SetTime(0.1);
    EXPECT_EQ(stage.key0, 1);
    EXPECT_EQ(stage.key1, 0);
    EXPECT_NEAR(stage.localTime, 0.8, 1e-12);
    stage.SetTime(0.7);
    EXPECT_EQ(stage.key0, 1);
    EXPECT_EQ(stage.localTime, 0.0);
    stage.SetTime(0.45);
    EXPECT_EQ(stage.key0, 0);
    EXPECT_NEAR(stage.localTime, 0.5, 1e-12);

    stage.animation = Track({0.3}).Get();
    stage.SetTime(0.9);
    EXPECT_EQ(stage.key0, 0);
    EXPECT_EQ(stage.key1, 0);
    EXPECT_EQ(stage.localTime, 0.0);

    // No keys, or a time that is not a number: the stage keeps its keys, or starts the track.
    stage.localTime = 0.25;
    stage.animation = Track({}).Get();
    stage.SetTime(0.5);
    EXPECT_EQ(stage.localTime, 0.25);
    stage.animation = Track({0.2, 0.7}).Get();
    stage.SetTime(std::nan(""));
    EXPECT_EQ(stage.key0, 1);
    EXPECT_NEAR(stage.localTime, 0.6, 1e-12);
}

TEST(BlendStage, KeyTimesOutsideTheTimeLineKeepTheFractionBetweenTheKeys) {
    BlendStage stage;
    stage.animation = Track({0.2, 1.5}).Get();
    for (double t : {0.0, 0.1, 0.5, 0.99}) {
        stage.SetTime(t);
        EXPECT_GE(stage.localTime, 0.0) << t;
        EXPECT_LE(stage.localTime, 1.0) << t;
    }
}

TEST(AnimationFrame, StageTimeByMode) {
    AnimationFrame frame;
    frame.start = 0.0;
    frame.end = 1.0;
    frame.mode = 2;  // ping-pong
    frame.offset = 1.25;
    EXPECT_DOUBLE_EQ(frame.StageTime(0.0, true), 0.75);
    frame.offset = 2.25;
    EXPECT_DOUBLE_EQ(frame.StageTime(0.0, true), 0.25);
    frame.offset = 1e300;  // far beyond any int: parity without a conversion
    const double far = frame.StageTime(0.0, true);
    EXPECT_TRUE(far >= 0.0 && far <= 1.0);

    frame.mode = AnimationFrame::kLoop;
    frame.offset = 0.0;
    frame.speed = 2.0;
    EXPECT_DOUBLE_EQ(frame.StageTime(0.25, true), 0.5);
    EXPECT_DOUBLE_EQ(frame.StageTime(0.75, true), 0.5);

    frame.mode = AnimationFrame::kOnce;
    EXPECT_DOUBLE_EQ(frame.StageTime(0.25, true), 0.5);
    EXPECT_DOUBLE_EQ(frame.StageTime(0.75, true), 0.0);   // stage 0 starts over
    EXPECT_DOUBLE_EQ(frame.StageTime(0.75, false), 1.0);  // stage 1 holds the end
    frame.offset = -1.0;
    EXPECT_DOUBLE_EQ(frame.StageTime(0.25, false), 0.0);

    // A window of no width, or numbers that are not numbers, give the start of the animation.
    frame.end = 0.0;
    EXPECT_EQ(frame.StageTime(0.0, true), 0.0);
    frame.end = 1.0;
    frame.speed = std::nan("");
    EXPECT_EQ(frame.StageTime(0.5, false), 0.0);
}

TEST(AnimationController, StageCommands) {
    auto first = Track({0.0});
    auto second = Track({0.0});
    first->SetName("walk");
    second->SetName("walk");
    Pointer<NodeAnimationController> controller(new NodeAnimationController());
    controller->AddAnimation(first.Get());
    controller->AddAnimation(second.Get());

    controller->SetStageWeight(0, 0.5f);
    EXPECT_EQ(controller->GetStageCount(), 0);
    controller->SetStageAnimation(first.Get(), 3, 0.25f);
    ASSERT_EQ(controller->GetStageCount(), 4);
    EXPECT_EQ(controller->GetStage(3)->animation.Get(), first.Get());
    EXPECT_EQ(controller->GetStage(3)->weight, 0.25f);
    EXPECT_EQ(controller->GetStage(0)->animation.Get(), nullptr);
    EXPECT_EQ(controller->GetStage(0)->weight, 1.0f);

    controller->SetStageAnimationByName("walk", 1, 0.75f);
    EXPECT_EQ(controller->GetStage(1)->animation.Get(), second.Get());  // the last of that name
    EXPECT_EQ(controller->GetStage(1)->weight, 0.75f);
    controller->SetStageAnimationByName("run", 1, 0.5f);
    EXPECT_EQ(controller->GetStage(1)->animation.Get(), nullptr);
    EXPECT_EQ(controller->GetStage(1)->weight, 0.5f);

    controller->SetPosition(0.4);
    controller->Reset();
    EXPECT_EQ(controller->GetStageCount(), 0);
    EXPECT_EQ(controller->GetPosition(), 0.0);
}

TEST(AnimationController, TrackPositionWrapsAndHoldsWithoutAPeriod) {
    Rig rig(Track({0.0}).Get(), 2.0);
    rig.node->Update(4.6);  // 2.3 passes
    EXPECT_NEAR(rig.controller->GetPosition(), 0.3, 1e-12);
    rig.node->Update(-0.8);  // a step back past the start wraps too
    EXPECT_NEAR(rig.controller->GetPosition(), 0.9, 1e-12);

    for (double period : {0.0, -1.0, std::nan(""), double(INFINITY)}) {
        rig.controller->SetPeriod(period);
        rig.controller->SetPosition(0.25);
        rig.node->Update(0.1);
        EXPECT_EQ(rig.controller->GetPosition(), 0.25) << period;
        EXPECT_EQ(rig.controller->GetStageCount(), 1);  // the frames still pick their stages
    }
    rig.controller->SetPeriod(1.0);
    rig.node->Update(std::nan(""));
    EXPECT_EQ(rig.controller->GetPosition(), 0.25);
}

TEST(AnimationController, InactiveChangesNothing) {
    Rig rig(Track({0.0, 0.5}).Get());
    rig.node->GetLocalTransform().SetTranslation(Vector3(3, 4, 5));
    rig.node->SetUpdateWorldTransform(false);
    rig.controller->SetActive(false);
    rig.node->Update(0.25);
    EXPECT_EQ(rig.controller->GetPosition(), 0.0);
    EXPECT_EQ(rig.controller->GetStageCount(), 0);
    EXPECT_EQ(rig.node->GetLocalTransform().GetTranslation(), Vector3(3, 4, 5));
    EXPECT_FALSE(rig.node->GetUpdateWorldTransform());
}

TEST(AnimationController, OverlappingFramesCrossFade) {
    auto a = Track({0.0});
    auto b = Track({0.0});
    Pointer<NodeAnimationController> controller(new NodeAnimationController());
    controller->AddFrame(a.Get(), 0.0, 0.6);
    controller->AddFrame(b.Get(), 0.5, 1.0);
    controller->SetPeriod(1.0);

    controller->SetPosition(0.55);
    controller->Apply(0.0);
    ASSERT_EQ(controller->GetStageCount(), 2);
    EXPECT_EQ(controller->GetStage(0)->animation.Get(), a.Get());
    EXPECT_EQ(controller->GetStage(1)->animation.Get(), b.Get());
    EXPECT_NEAR(controller->GetStage(0)->weight, 0.5f, 1e-6);
    EXPECT_NEAR(controller->GetStage(1)->weight, 0.5f, 1e-6);

    controller->SetPosition(0.6);  // a window's end still belongs to it
    controller->Apply(0.0);
    EXPECT_EQ(controller->GetStage(1)->animation.Get(), b.Get());
    EXPECT_EQ(controller->GetStage(1)->weight, 1.0f);
    EXPECT_EQ(controller->GetStage(0)->weight, 0.0f);

    // Past the overlap B is alone: it moves to stage 0 and stage 1 is emptied.
    controller->SetPosition(0.8);
    controller->Apply(0.0);
    EXPECT_EQ(controller->GetStage(0)->animation.Get(), b.Get());
    EXPECT_EQ(controller->GetStage(0)->weight, 1.0f);
    EXPECT_EQ(controller->GetStage(1)->animation.Get(), nullptr);
    EXPECT_EQ(controller->GetStage(1)->weight, 0.0f);

    // One window inside another: half and half.
    Pointer<NodeAnimationController> nested(new NodeAnimationController());
    nested->AddFrame(a.Get(), 0.1, 0.9);
    nested->AddFrame(b.Get(), 0.3, 0.5);
    nested->SetPosition(0.4);
    nested->Apply(0.0);
    EXPECT_EQ(nested->GetStage(0)->weight, 0.5f);
    EXPECT_EQ(nested->GetStage(1)->weight, 0.5f);

    // B leading: frames listed the other way round.
    Pointer<NodeAnimationController> reversed(new NodeAnimationController());
    reversed->AddFrame(b.Get(), 0.5, 1.0);
    reversed->AddFrame(a.Get(), 0.0, 0.6);
    reversed->SetPosition(0.525);
    reversed->Apply(0.0);
    EXPECT_NEAR(reversed->GetStage(0)->weight, 0.25f, 1e-6);
    EXPECT_NEAR(reversed->GetStage(1)->weight, 0.75f, 1e-6);

    // Overlap of no width: no division by zero.
    Pointer<NodeAnimationController> touching(new NodeAnimationController());
    touching->AddFrame(a.Get(), 0.0, 0.5);
    touching->AddFrame(b.Get(), 0.5, 1.0);
    touching->SetPosition(0.5);
    touching->Apply(0.0);
    EXPECT_EQ(touching->GetStage(1)->weight, 1.0f);
    EXPECT_EQ(touching->GetStage(0)->weight, 0.0f);
}

TEST(NodeAnimationController, InterpolatesAcrossTheWrap) {
    Pointer<NodeAnimation> track(new NodeAnimation());
    AddNodeKey(*track, 0.0, {0, 0, 0});
    AddNodeKey(*track, 0.5, {10, 0, 0}, Quaternion(), {3, 3, 3});
    Rig rig(track.Get());
    rig.node->SetUpdateWorldTransform(false);
    rig.node->Update(0.25);
    EXPECT_EQ(rig.node->GetLocalTransform().GetTranslation(), Vector3(5, 0, 0));
    EXPECT_EQ(rig.node->GetLocalTransform().GetScale(), Vector3(2, 2, 2));
    EXPECT_TRUE(rig.node->GetUpdateWorldTransform());
    EXPECT_FALSE(rig.node->GetLocalTransform().IsIdentity());
    EXPECT_FALSE(rig.node->GetLocalTransform().IsRotationIdentity());
    rig.node->Update(0.5);
    EXPECT_EQ(rig.node->GetLocalTransform().GetTranslation(), Vector3(5, 0, 0));
    EXPECT_EQ(rig.node->GetLocalTransform().GetScale(), Vector3(2, 2, 2));
}

TEST(NodeAnimationController, RotationsTakeTheShortWay) {
    const Quaternion q = Quaternion::FromAxisAngle(Vector3(0, 1, 0), 1.0f);
    Pointer<NodeAnimation> track(new NodeAnimation());
    AddNodeKey(*track, 0.0, {}, q);
    AddNodeKey(*track, 0.5, {}, -q);  // the same rotation, other sign
    Rig rig(track.Get());
    rig.node->Update(0.2);
    const Quaternion r = rig.node->GetLocalTransform().GetRotation();
    EXPECT_NEAR(std::fabs(Dot(r, q)), 1.0f, 1e-5f);

    // Two different rotations: halfway is the rotation by half the angle.
    Pointer<NodeAnimation> turn(new NodeAnimation());
    AddNodeKey(*turn, 0.0, {}, Quaternion());
    AddNodeKey(*turn, 0.5, {}, q);
    Rig second(turn.Get());
    second.node->Update(0.25);
    const Quaternion half = Quaternion::FromAxisAngle(Vector3(0, 1, 0), 0.5f);
    EXPECT_NEAR(Dot(second.node->GetLocalTransform().GetRotation(), half), 1.0f, 1e-6f);
}

TEST(NodeAnimationController, WeightsBlendWithThePoseSoFar) {
    Pointer<NodeAnimation> track(new NodeAnimation());
    AddNodeKey(*track, 0.0, {8, 0, 0});
    Pointer<NodeAnimation> other(new NodeAnimation());
    AddNodeKey(*other, 0.0, {0, 4, 0});
    Pointer<NodeAnimationController> controller(new NodeAnimationController());
    controller->AddFrame(track.Get(), 0.0, 0.6);
    controller->AddFrame(other.Get(), 0.5, 1.0);
    Pointer<Node> node(new Node());
    node->AddController(controller.Get());
    controller->SetPosition(0.5);  // stage 1 enters with weight 0 and changes nothing
    node->Update(0.0);
    EXPECT_EQ(node->GetLocalTransform().GetTranslation(), Vector3(8, 0, 0));
    controller->SetPosition(0.575);  // three quarters of the way from stage 0's pose to stage 1's
    node->Update(0.0);
    const Vector3 t = node->GetLocalTransform().GetTranslation();
    EXPECT_NEAR(t.x, 2.0f, 1e-5f);
    EXPECT_NEAR(t.y, 3.0f, 1e-5f);
}

TEST(NodeAnimationController, TracksWithoutUsableKeysLeaveTheNode) {
    Rig empty(Track({}).Get());
    empty.node->GetLocalTransform().SetTranslation(Vector3(1, 2, 3));
    empty.node->Update(0.3);
    EXPECT_EQ(empty.node->GetLocalTransform().GetTranslation(), Vector3(1, 2, 3));

    // A stage whose key indices came from a longer track is not followed past the keys.
    Pointer<NodeAnimationController> controller(new NodeAnimationController());
    Pointer<Node> node(new Node());
    node->GetLocalTransform().SetTranslation(Vector3(7, 7, 7));
    node->AddController(controller.Get());
    controller->SetStageAnimation(Track({0.0, 0.2, 0.4, 0.6, 0.8}).Get(), 0, 1.0f);
    controller->SetPosition(0.9);
    controller->AddFrame(nullptr, 2.0, 3.0);  // never contains the position
    const_cast<BlendStage*>(controller->GetStage(0))->SetTime(0.9);
    controller->SetStageAnimation(Track({0.0}).Get(), 0, 1.0f);
    node->Update(0.0);
    EXPECT_EQ(node->GetLocalTransform().GetTranslation(), Vector3(7, 7, 7));

    // A bool track on a node controller is not a pose.
    Pointer<BoolAnimation> flags(new BoolAnimation());
    flags->AppendKey(new BoolAnimationKey());
    Rig other(flags.Get());
    other.node->GetLocalTransform().SetTranslation(Vector3(1, 1, 1));
    other.node->Update(0.5);
    EXPECT_EQ(other.node->GetLocalTransform().GetTranslation(), Vector3(1, 1, 1));
}

TEST(NodeAnimationController, AnOwnerThatIsNotANodeIsNotWritten) {
    Pointer<NodeAnimationController> controller(new NodeAnimationController());
    auto track = Track({0.0, 0.5});
    controller->AddAnimation(track.Get());
    controller->AddFrame(track.Get(), 0.0, 1.0);
    controller->SetPeriod(1.0);
    Pointer<NodeAnimation> owner(new NodeAnimation());  // any object can hold controllers
    owner->AddController(controller.Get());
    owner->Update(0.3);
    EXPECT_NEAR(controller->GetPosition(), 0.3, 1e-12);
    EXPECT_EQ(controller->GetStageCount(), 1);
}

TEST(BoolAnimation, ValueIsThatOfKey0) {
    Pointer<BoolAnimation> track(new BoolAnimation());
    auto* on = new BoolAnimationKey();
    auto* off = new BoolAnimationKey();
    off->time = 0.5;
    off->value = false;
    track->AppendKey(on);
    track->AppendKey(off);
    BlendStage stage;
    EXPECT_TRUE(BoolAnimation::ValueAt(stage, true));
    stage.animation = track.Get();
    stage.SetTime(0.25);
    EXPECT_TRUE(BoolAnimation::ValueAt(stage, false));
    stage.SetTime(0.75);
    EXPECT_FALSE(BoolAnimation::ValueAt(stage, true));
}

} // namespace
} // namespace nuv
