// Tracks and controllers through the object stream: layouts, round trips and damaged bytes.
#include "AnimationTestSupport.h"

#include "../core/TestSupport.h"
#include "animation/BoolAnimation.h"
#include "animation/NodeAnimationController.h"
#include "animation/SkeletonAnimationController.h"
#include "core/Log.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace nuv {
namespace {

using test::AddNodeKey;
using test::RoundTrip;

template <class T>
T ReadAt(const Stream& stream, int offset) {
    T value;
    std::memcpy(&value, stream.GetData() + offset, sizeof(T));
    return value;
}

TEST(AnimationPersistence, NodeKeysAre48BytesInFieldOrder) {
    Pointer<NodeAnimation> track(new NodeAnimation());
    AddNodeKey(*track, 0.25, {1, 2, 3}, Quaternion(0.5f, 0.5f, 0.5f, 0.5f), {4, 5, 6});
    AddNodeKey(*track, 0.75, {7, 8, 9});
    Stream stream(0, 256);
    ASSERT_EQ(track->Save(stream), 0);
    // Empty name (4), no controllers (4), key count (4), two keys.
    ASSERT_EQ(stream.GetPosition(), 12 + 2 * 48);
    EXPECT_EQ(ReadAt<int32_t>(stream, 8), 2);
    EXPECT_EQ(ReadAt<double>(stream, 12), 0.25);
    EXPECT_EQ(ReadAt<float>(stream, 20), 1.0f);
    EXPECT_EQ(ReadAt<float>(stream, 32), 0.5f);   // rotation x
    EXPECT_EQ(ReadAt<float>(stream, 44), 0.5f);   // rotation w
    EXPECT_EQ(ReadAt<float>(stream, 56), 6.0f);   // scale z
    EXPECT_EQ(ReadAt<double>(stream, 60), 0.75);

    Pointer<BoolAnimation> flags(new BoolAnimation());
    auto* key = new BoolAnimationKey();
    key->time = 0.5;
    key->value = false;
    flags->AppendKey(key);
    Stream bytes(0, 64);
    ASSERT_EQ(flags->Save(bytes), 0);
    ASSERT_EQ(bytes.GetPosition(), 12 + 9);
    EXPECT_EQ(bytes.GetData()[20], 0);
}

// A controller with two tracks (one shared by a frame), two frames and a period.
Pointer<NodeAnimationController> SampleController() {
    Pointer<NodeAnimation> walk(new NodeAnimation());
    walk->SetName("walk");
    AddNodeKey(*walk, 0.0, {1, 0, 0});
    AddNodeKey(*walk, 0.5, {2, 0, 0}, Quaternion(0, 1, 0, 0), {2, 2, 2});
    Pointer<BoolAnimation> flags(new BoolAnimation());
    flags->AppendKey(new BoolAnimationKey());
    Pointer<NodeAnimationController> controller(new NodeAnimationController());
    controller->SetName("legs");
    controller->SetActive(false);
    controller->AddAnimation(walk.Get());
    controller->AddAnimation(flags.Get());
    controller->AddFrame(walk.Get(), 0.0, 0.6, 0, 2.0, 0.125);
    controller->AddFrame(nullptr, 0.5, 1.0, 7, 1.0, 0.0);
    controller->SetPeriod(3.5);
    return controller;
}

TEST(AnimationPersistence, ControllerRoundTrip) {
    auto original = SampleController();
    original->SetStageAnimation(original->GetAnimation(0), 1, 0.5f);  // stages are not stored
    Stream stream(0, 1024);
    auto copy = RoundTrip<NodeAnimationController>(original.Get(), stream);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->GetName(), String("legs"));
    EXPECT_FALSE(copy->IsActive());
    EXPECT_EQ(copy->GetPeriod(), 3.5);
    EXPECT_EQ(copy->GetStageCount(), 0);
    ASSERT_EQ(copy->GetAnimationCount(), 2);
    auto* walk = DynamicCast<NodeAnimation>(copy->GetAnimation(0));
    ASSERT_TRUE(walk);
    ASSERT_TRUE(copy->GetAnimation(1)->IsExactly(BoolAnimation::TYPE));
    ASSERT_EQ(walk->GetKeyCount(), 2);
    EXPECT_EQ(walk->GetNodeKey(1)->time, 0.5);
    EXPECT_EQ(walk->GetNodeKey(1)->rotation, Quaternion(0, 1, 0, 0));
    EXPECT_EQ(walk->GetNodeKey(1)->scale, Vector3(2, 2, 2));
    ASSERT_EQ(copy->GetFrameCount(), 2);
    EXPECT_EQ(copy->GetFrame(0).animation.Get(), walk);  // one object, linked twice
    EXPECT_EQ(copy->GetFrame(0).mode, 0);
    EXPECT_EQ(copy->GetFrame(0).end, 0.6);
    EXPECT_EQ(copy->GetFrame(0).speed, 2.0);
    EXPECT_EQ(copy->GetFrame(0).offset, 0.125);
    EXPECT_EQ(copy->GetFrame(1).animation.Get(), nullptr);
    EXPECT_EQ(copy->GetFrame(1).mode, 7);

    // Searches go through the animations, in array order.
    EXPECT_EQ(copy->FindByName("walk"), walk);
    Array<Object*> found;
    copy->CollectByType(Animation::TYPE, found);
    EXPECT_EQ(found.GetCount(), 2);
}

TEST(AnimationPersistence, KeysOutOfOrderAreSortedOnLoad) {
    Pointer<NodeAnimation> track(new NodeAnimation());
    AddNodeKey(*track, 0.8, {8, 0, 0});
    AddNodeKey(*track, 0.1, {1, 0, 0});
    AddNodeKey(*track, 0.5, {5, 0, 0});
    AddNodeKey(*track, 0.1, {2, 0, 0});
    Stream stream(0, 512);
    auto copy = RoundTrip<NodeAnimation>(track.Get(), stream);
    ASSERT_TRUE(copy);
    const float expected[] = {1, 2, 5, 8};  // stable: equal times keep their order
    for (int i = 0; i < 4; ++i) EXPECT_EQ(copy->GetNodeKey(i)->translation.x, expected[i]);
    EXPECT_EQ(copy->FindKey(0.6), 2);
}

TEST(AnimationPersistence, KeysThatAreNotNumbersAreRefused) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int field = 0; field < 3; ++field) {
        Pointer<NodeAnimation> track(new NodeAnimation());
        AddNodeKey(*track, 0.0, {});
        auto* bad = AddNodeKey(*track, 0.5, {});
        if (field == 0) bad->time = nan;
        if (field == 1) bad->translation.y = float(nan);
        if (field == 2) bad->rotation.w = std::numeric_limits<float>::infinity();
        test::LogRecorder log;
        Stream stream(0, 512);
        EXPECT_FALSE(RoundTrip<NodeAnimation>(track.Get(), stream)) << field;
        EXPECT_TRUE(log.Contains(kLogError, "Невозможно загрузить данные кифрейма.")) << field;
        EXPECT_TRUE(log.ContainsText("Невозможно загрузить кифрейм анимации.")) << field;
    }
}

TEST(AnimationPersistence, ForgedCountsFailWithoutReservingThem) {
    // A track of one key whose count claims two billion.
    Pointer<NodeAnimation> track(new NodeAnimation());
    AddNodeKey(*track, 0.0, {});
    Stream stream(0, 256);
    ASSERT_EQ(stream.WriteObject(track.Get()), 0);
    const int size = stream.GetPosition();
    Stream forged(0, 256);
    forged.Assign(stream.GetData(), size);
    // The key count sits just before the 48 key bytes at the end.
    const int32_t huge = 0x7fffffff;
    std::memcpy(const_cast<uint8_t*>(forged.GetData()) + size - 52, &huge, 4);
    test::LogRecorder log;
    Object* read = nullptr;
    EXPECT_NE(forged.ReadObject(read), 0);
    EXPECT_TRUE(log.ContainsText("Невозможно загрузить кифрейм анимации."));
    forged.ClearIdMap();

    // Negative counts of the controller arrays.
    auto controller = SampleController();
    Stream whole(0, 1024);
    ASSERT_EQ(controller->Save(whole), 0);
    Stream negative(0, 1024);
    negative.Assign(whole.GetData(), whole.GetPosition());
    const int32_t minus = -5;
    // Name "legs" (8), controller count (4), active flag (1): the animation count follows.
    std::memcpy(const_cast<uint8_t*>(negative.GetData()) + 13, &minus, 4);
    Pointer<NodeAnimationController> target(new NodeAnimationController());
    test::LogRecorder log2;
    EXPECT_NE(target->Load(negative), 0);
    EXPECT_TRUE(log2.ContainsText("Невозможно загрузить количество анимаций."));
    negative.ClearIdMap();
}

TEST(AnimationPersistence, EveryTruncationFailsCleanly) {
    auto controller = SampleController();
    Stream stream(0, 1024);
    ASSERT_EQ(stream.WriteObject(controller.Get()), 0);
    const int size = stream.GetPosition();
    for (int cut = 0; cut < size; ++cut) {
        Stream part(0, 1024);
        part.Assign(stream.GetData(), cut);
        Object* read = nullptr;
        EXPECT_NE(part.ReadObject(read), 0) << cut;
        part.ClearIdMap();
    }
}

TEST(AnimationPersistence, SaveFailuresAreReported) {
    auto controller = SampleController();
    Stream full(0, 1024);
    ASSERT_EQ(full.WriteObject(controller.Get()), 0);
    const int size = full.GetPosition();
    int failures = 0;
    test::LogRecorder log;
    for (int room = 0; room < size; room += 7) {
        Stream small(room, 0);  // cannot grow: the write that does not fit fails
        if (small.WriteObject(controller.Get()) != 0) ++failures;
    }
    EXPECT_EQ(failures, (size + 6) / 7);
    EXPECT_TRUE(log.ContainsText("Невозможно сохранить кифрейм анимации."));
    EXPECT_TRUE(log.ContainsText("Невозможно сохранить фрейм анимаций."));
}

TEST(AnimationPersistence, AbstractClassesAreNotCreated) {
    for (const char* name : {"Nuv.Controller", "Nuv.Animation", "Nuv.AnimationController"}) {
        Object* object = nullptr;
        CreateFunction create = ClassFactory::FindCreateFunction(name);
        ASSERT_TRUE(create) << name;
        EXPECT_NE(create(&object), 0) << name;
        EXPECT_EQ(object, nullptr);
    }
    for (const char* name : {"Nuv.NodeAnimation", "Nuv.BoolAnimation", "Nuv.NodeAnimationController",
                             "Nuv.PostUpdateController", "Nuv.SkinController", "Nuv.SkeletonAnimationController"}) {
        Object* object = nullptr;
        CreateFunction create = ClassFactory::FindCreateFunction(name);
        ASSERT_TRUE(create) << name;
        EXPECT_EQ(create(&object), 0) << name;
        Pointer<Object> kept(object);
        ASSERT_TRUE(object) << name;
        EXPECT_EQ(String(object->GetType().GetName()), String(name));
    }
}

} // namespace
} // namespace nuv
