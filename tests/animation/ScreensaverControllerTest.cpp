// The screensaver controller: which set comes next, when it cuts, what it restarts, the fade
// level the host draws, and its file form.
#include "../core/TestSupport.h"
#include "../render/RecordingRenderer.h"

#include "animation/NodeAnimationController.h"
#include "animation/ScreensaverController.h"
#include "animation/TargetCameraController.h"
#include "core/Stream.h"
#include "media/ModuleManager.h"
#include "scene/Camera.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace nuv {
namespace {

using test::LogRecorder;

class ScreensaverTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(test::UseRecordingRenderer(), 0);
        renderer = ModuleManager::GetRenderer();
        ASSERT_TRUE(renderer);
        std::srand(12345);
    }
    void TearDown() override { ModuleManager::DestroyRenderer(); }

    // A controller with count plain cameras, one per set.
    Pointer<ScreensaverController> Director(int count, double duration = 1.0) {
        Pointer<ScreensaverController> director(new ScreensaverController());
        for (int i = 0; i < count; ++i) {
            cameras.emplace_back(new Camera());
            EXPECT_TRUE(director->AddSet(cameras.back().Get(), 0.0, duration));
        }
        return director;
    }

    Renderer* renderer = nullptr;
    std::vector<Pointer<Camera>> cameras;
};

// A camera with its own animation (period cameraPeriod) and a target controller looking at a
// node with an animation of period targetPeriod.
struct AnimatedShot {
    AnimatedShot(double cameraPeriod, double targetPeriod) {
        camera = new Camera();
        camera->SetName("shot");
        cameraAnimation = new NodeAnimationController();
        cameraAnimation->SetPeriod(cameraPeriod);
        target = new Node();
        targetAnimation = new NodeAnimationController();
        targetAnimation->SetPeriod(targetPeriod);
        // The first animation controller of the target's list counts, not a later one.
        Pointer<NodeAnimationController> older(new NodeAnimationController());
        older->SetPeriod(0.5);
        target->AddController(older.Get());
        target->AddController(targetAnimation.Get());
        Pointer<TargetCameraController> aim(new TargetCameraController());
        aim->SetTarget(target.Get());
        camera->AddController(aim.Get());
        camera->AddController(cameraAnimation.Get());
    }
    Pointer<Camera> camera;
    Pointer<NodeAnimationController> cameraAnimation;
    Pointer<Node> target;
    Pointer<NodeAnimationController> targetAnimation;
};

TEST_F(ScreensaverTest, WithoutSetsNothingHappens) {
    Pointer<Camera> mine(new Camera());
    renderer->SetCamera(mine.Get());
    Pointer<ScreensaverController> director(new ScreensaverController());
    director->PickNextSet();
    director->Reset();
    director->Apply(5.0);
    EXPECT_EQ(director->GetCurrent(), -1);
    EXPECT_EQ(director->GetElapsed(), 0.0);
    EXPECT_EQ(director->GetFadeLevel(), 0.0);
    EXPECT_EQ(renderer->GetCamera(), mine.Get());
}

TEST_F(ScreensaverTest, FourOrMoreSetsNeverRepeatOneOfTheLastHalf) {
    for (int n : {4, 5, 8}) {
        Pointer<ScreensaverController> director = Director(n);
        director->Reset();
        ASSERT_EQ(int(director->GetHistory().size()), n / 2) << n;
        std::vector<int> seen(n, 0);
        for (int pick = 0; pick < 400; ++pick) {
            const std::vector<int32_t> before = director->GetHistory();
            director->PickNextSet();
            const int current = director->GetCurrent();
            ASSERT_TRUE(current >= 0 && current < n);
            EXPECT_EQ(std::find(before.begin(), before.end(), current), before.end()) << n << " " << pick;
            // The oldest entry leaves, the new choice comes last.
            std::vector<int32_t> expected(before.begin() + 1, before.end());
            expected.push_back(current);
            EXPECT_EQ(director->GetHistory(), expected);
            EXPECT_EQ(renderer->GetCamera(), cameras[current].Get());
            ++seen[current];
        }
        for (int i = 0; i < n; ++i) EXPECT_GT(seen[i], 0) << n << " " << i;
        cameras.clear();
    }
}

TEST_F(ScreensaverTest, TwoOrThreeSetsMayRepeatAndAnAddedSetResizesTheHistory) {
    for (int n : {1, 2, 3}) {
        Pointer<ScreensaverController> director = Director(n);
        director->Reset();
        const std::vector<int32_t> history = director->GetHistory();
        ASSERT_EQ(history.size(), 1u);
        int repeats = 0, previous = director->GetCurrent();
        std::vector<int> seen(n, 0);
        for (int pick = 0; pick < 200; ++pick) {
            director->PickNextSet();
            repeats += director->GetCurrent() == previous;
            previous = director->GetCurrent();
            ++seen[previous];
        }
        // With a single-entry history nothing is excluded and the history stays as built.
        EXPECT_GT(repeats, 0) << n;
        EXPECT_EQ(director->GetHistory(), history) << n;
        for (int i = 0; i < n; ++i) EXPECT_GT(seen[i], 0) << n << " " << i;
        if (n == 3) {
            for (int i = 0; i < 3; ++i) director->AddSet(nullptr, 0.0, 1.0);
            director->PickNextSet();
            EXPECT_EQ(director->GetHistory().size(), 3u);
        }
        cameras.clear();
    }
}

TEST_F(ScreensaverTest, CutsAtTheSetsDurationOncePerApply) {
    Pointer<ScreensaverController> director(new ScreensaverController());
    for (double duration : {2.0, 3.0, 5.0}) {
        cameras.emplace_back(new Camera());
        director->AddSet(cameras.back().Get(), 0.0, duration);
    }
    director->Reset();
    double expected = 0.0;
    for (int frame = 0; frame < 200; ++frame) {
        const int before = director->GetCurrent();
        const double duration = director->GetCurrentSet()->duration;
        director->Apply(0.25);
        expected += 0.25;
        if (expected >= duration) {
            expected -= duration;
            EXPECT_EQ(renderer->GetCamera(), cameras[director->GetCurrent()].Get());
        } else {
            EXPECT_EQ(director->GetCurrent(), before);
        }
        EXPECT_DOUBLE_EQ(director->GetElapsed(), expected) << frame;
    }

    // A step longer than several sets still advances one set; the next call cuts again.
    const double duration = director->GetCurrentSet()->duration;
    const double elapsed = director->GetElapsed();
    director->Apply(100.0);
    EXPECT_DOUBLE_EQ(director->GetElapsed(), elapsed + 100.0 - duration);
    const double next = director->GetCurrentSet()->duration;
    director->Apply(0.0);
    EXPECT_DOUBLE_EQ(director->GetElapsed(), elapsed + 100.0 - duration - next);

    // Inactive, or with a step that is not a number, the show stands still.
    director->SetActive(false);
    director->Apply(1000.0);
    director->SetActive(true);
    director->Apply(std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(director->GetElapsed(), elapsed + 100.0 - duration - next);

    // Sets of no length cut at every call without piling up time.
    Pointer<ScreensaverController> empty(new ScreensaverController());
    empty->AddSet(cameras[0].Get(), 0.0, 0.0);
    empty->AddSet(cameras[1].Get(), 0.0, -3.0);
    empty->Reset();
    for (int frame = 0; frame < 20; ++frame) {
        empty->Apply(0.1);
        EXPECT_EQ(empty->GetElapsed(), 0.0);
        EXPECT_TRUE(empty->GetFadeLevel() >= 0.0 && empty->GetFadeLevel() <= 1.0);
    }
}

TEST_F(ScreensaverTest, ChosenSetsRestartTheirAnimationsAndTakeTheShorterPeriod) {
    AnimatedShot shot(4.0, 3.0);
    Pointer<ScreensaverController> director(new ScreensaverController());
    ASSERT_TRUE(director->AddSet(shot.camera.Get(), 0.0, 10.0));
    const ScreensaverSet* set = director->GetSet(0);
    EXPECT_EQ(set->cameraAnimation.Get(), shot.cameraAnimation.Get());
    EXPECT_EQ(set->targetAnimation.Get(), shot.targetAnimation.Get());

    shot.cameraAnimation->SetPosition(0.7);
    shot.targetAnimation->SetPosition(0.2);
    director->Reset();
    EXPECT_EQ(shot.cameraAnimation->GetPosition(), 0.0);
    EXPECT_EQ(shot.targetAnimation->GetPosition(), 0.0);
    EXPECT_EQ(set->duration, 3.0);
    EXPECT_EQ(renderer->GetCamera(), shot.camera.Get());

    // The camera's period is shorter now; it is taken even when longer than the stored time.
    shot.targetAnimation->SetPeriod(6.0);
    shot.cameraAnimation->SetPeriod(5.0);
    director->PickNextSet();
    EXPECT_EQ(set->duration, 5.0);

    // At a cut the new set's animations start so that, after their own step of the frame,
    // they stand as far into their tracks as the set has run.
    director->Reset();
    for (int frame = 0; frame < 4; ++frame) {
        director->Apply(1.5);
        shot.cameraAnimation->Apply(1.5);
        shot.targetAnimation->Apply(1.5);
    }
    ASSERT_DOUBLE_EQ(director->GetElapsed(), 1.0);  // 6 - 5
    EXPECT_NEAR(shot.cameraAnimation->GetPosition(), 1.0 / 5.0, 1e-12);
    EXPECT_NEAR(shot.targetAnimation->GetPosition(), 1.0 / 6.0, 1e-12);

    // Animations that do not run neither time the set nor get a phase.
    shot.cameraAnimation->SetPeriod(0.0);
    shot.targetAnimation->SetPeriod(std::numeric_limits<double>::infinity());
    director->Reset();
    EXPECT_EQ(set->duration, 5.0);
    director->Apply(4.5);
    director->Apply(1.0);
    EXPECT_DOUBLE_EQ(director->GetElapsed(), 0.5);
    EXPECT_EQ(shot.cameraAnimation->GetPosition(), 0.0);
    EXPECT_EQ(shot.targetAnimation->GetPosition(), 0.0);
}

TEST_F(ScreensaverTest, FadesOutOverTheLastSecondAndInAfterTheStart) {
    Pointer<ScreensaverController> director(new ScreensaverController());
    cameras.emplace_back(new Camera());
    director->AddSet(cameras.back().Get(), 0.0, 10.0);
    director->Reset();
    const std::vector<std::pair<double, double>> steps = {
        {0.0, 1.0}, {0.25, 0.75}, {0.5, 0.25}, {0.25, 0.0}, {4.0, 0.0}, {4.5, 0.5}, {0.25, 0.75}, {0.24, 0.99}};
    for (const auto& [step, alpha] : steps) {
        director->Apply(step);
        EXPECT_NEAR(director->GetFadeLevel(), alpha, 1e-9) << director->GetElapsed();
    }
    director->Apply(0.01);  // the cut: black, then brightening again
    EXPECT_NEAR(director->GetFadeLevel(), 1.0, 1e-9);

    // A later start keeps the picture black until it, then brightens over one second.
    Pointer<ScreensaverController> late(new ScreensaverController());
    late->AddSet(cameras.back().Get(), 2.0, 10.0);
    late->Reset();
    const std::vector<std::pair<double, double>> lateSteps = {{0.0, 1.0}, {1.0, 1.0}, {1.5, 0.5}, {0.5, 0.0}};
    for (const auto& [step, alpha] : lateSteps) {
        late->Apply(step);
        EXPECT_NEAR(late->GetFadeLevel(), alpha, 1e-9) << late->GetElapsed();
    }
}

// Controller fields of an unnamed controller without controllers: name (4), count (4), active (1).
constexpr int kSetCountOffset = 9;

TEST_F(ScreensaverTest, RoundTripsItsSetsAndChoosesOneOnLoad) {
    AnimatedShot shot(4.0, 3.0);
    Pointer<Camera> plain(new Camera());
    plain->SetName("plain");
    Pointer<ScreensaverController> director(new ScreensaverController());
    director->SetName("director");
    director->AddSet(shot.camera.Get(), 0.25, 9.0);
    director->AddSet(plain.Get(), 1.5, 12.0);
    director->AddSet(shot.camera.Get(), 0.5, 7.0);

    Stream raw(0, 1024);
    ASSERT_EQ(director->Save(raw), 0);
    const int size = raw.GetPosition();
    int32_t count = 0;
    std::memcpy(&count, raw.GetData() + 9 + 8, 4);  // the name "director" adds 8 bytes
    EXPECT_EQ(count, 3);
    // The last set links the camera written in full by the first: its ID, then the two times.
    int32_t link = 0;
    double start = 0, duration = 0;
    std::memcpy(&link, raw.GetData() + size - 20, 4);
    std::memcpy(&start, raw.GetData() + size - 16, 8);
    std::memcpy(&duration, raw.GetData() + size - 8, 8);
    EXPECT_EQ(link, shot.camera->GetId());
    EXPECT_EQ(start, 0.5);
    EXPECT_EQ(duration, 7.0);

    Stream stream(0, 1024);
    ASSERT_EQ(stream.WriteObject(director.Get()), 0);
    stream.ClearIdMap();
    stream.SetPosition(0);
    ScreensaverController* read = nullptr;
    ASSERT_EQ(stream.ReadObjectAs(read), 0);
    Pointer<ScreensaverController> kept(read);
    stream.ClearIdMap();
    ASSERT_EQ(kept->GetSetCount(), 3);
    EXPECT_EQ(kept->GetName(), String("director"));
    const ScreensaverSet* first = kept->GetSet(0);
    const ScreensaverSet* second = kept->GetSet(1);
    ASSERT_TRUE(first->camera && second->camera);
    EXPECT_EQ(first->camera->GetName(), String("shot"));
    EXPECT_NE(first->camera.Get(), shot.camera.Get());
    EXPECT_EQ(kept->GetSet(2)->camera.Get(), first->camera.Get());
    EXPECT_EQ(second->camera->GetName(), String("plain"));
    EXPECT_EQ(second->start, 1.5);
    EXPECT_EQ(second->duration, 12.0);
    EXPECT_EQ(first->start, 0.25);
    EXPECT_EQ(kept->GetSet(2)->start, 0.5);
    ASSERT_TRUE(first->cameraAnimation && first->targetAnimation);
    EXPECT_EQ(first->cameraAnimation->GetPeriod(), 4.0);
    EXPECT_EQ(first->targetAnimation->GetPeriod(), 3.0);
    EXPECT_FALSE(second->cameraAnimation);
    // Loading chose the first shot and made its camera current.
    ASSERT_TRUE(kept->GetCurrentSet());
    EXPECT_EQ(renderer->GetCamera(), kept->GetCurrentSet()->camera.Get());
    if (kept->GetCurrent() != 1) {
        EXPECT_EQ(kept->GetCurrentSet()->duration, 3.0);
    }

    for (int cut = 0; cut < stream.GetPosition(); ++cut) {
        Stream part(0, 1024);
        part.Assign(stream.GetData(), cut);
        Object* object = nullptr;
        EXPECT_NE(part.ReadObject(object), 0) << cut;
        part.ClearIdMap();
    }

    LogRecorder log;
    int failures = 0;
    for (int room = 0; room < size; ++room) {
        Stream small(room, 0);
        failures += director->Save(small) != 0;
    }
    EXPECT_EQ(failures, size);
    for (const char* text : {"Невозможно сохранить количество сетов. Имя[", "Невозможно сохранить сет. Имя[",
                             "Невозможно сохранить камеру сета контроллера скринсейвера.",
                             "Невозможно сохранить данные сета контроллера скринсейвера."})
        EXPECT_TRUE(log.ContainsText(text)) << text;
}

// The controller fields followed by a set count and one set linking object, with two times.
void WriteOneSet(Stream& stream, Object* camera, double start, double duration) {
    stream.WriteString(String(""));
    stream.WriteInt(0);
    stream.WriteBool(true);
    stream.WriteInt(1);
    stream.WriteObject(camera);
    stream.WriteDouble(start);
    stream.WriteDouble(duration);
    stream.ClearIdMap();
    stream.SetPosition(0);
}

TEST_F(ScreensaverTest, BadFilesFailWithTheirMessages) {
    Pointer<Camera> camera(new Camera());
    Pointer<Node> node(new Node());
    struct Case {
        Object* camera;
        double start, duration;
        const char* message;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const Case& c : {Case{node.Get(), 0, 1, "Невозможно загрузить камеру сета контроллера скринсейвера."},
                          Case{camera.Get(), 0, nan, "Невозможно загрузить данные сета контроллера скринсейвера."},
                          Case{camera.Get(), inf, 1, "Невозможно загрузить данные сета контроллера скринсейвера."}}) {
        Stream stream(0, 256);
        WriteOneSet(stream, c.camera, c.start, c.duration);
        LogRecorder log;
        Pointer<ScreensaverController> director(new ScreensaverController());
        EXPECT_NE(director->Load(stream), 0) << c.message;
        EXPECT_TRUE(log.Contains(kLogError, c.message));
        EXPECT_TRUE(log.ContainsText("Невозможно загрузить сет. Имя["));
        stream.ClearIdMap();
    }

    // A null camera is a set all the same; it keeps the current camera.
    renderer->SetCamera(camera.Get());
    Stream nullCamera(0, 256);
    WriteOneSet(nullCamera, nullptr, 0, 2);
    Pointer<ScreensaverController> director(new ScreensaverController());
    ASSERT_EQ(director->Load(nullCamera), 0);
    EXPECT_EQ(director->GetCurrent(), 0);
    director->Apply(2.5);
    EXPECT_DOUBLE_EQ(director->GetElapsed(), 0.5);
    EXPECT_EQ(renderer->GetCamera(), camera.Get());

    // Counts: negative, and far more sets than the bytes hold.
    for (int32_t forged : {-1, 0x7fffffff}) {
        Stream stream(0, 256);
        WriteOneSet(stream, camera.Get(), 0, 1);
        std::memcpy(const_cast<uint8_t*>(stream.GetData()) + kSetCountOffset, &forged, 4);
        LogRecorder log;
        Pointer<ScreensaverController> loader(new ScreensaverController());
        EXPECT_NE(loader->Load(stream), 0);
        if (forged < 0) {
            EXPECT_TRUE(log.ContainsText("Невозможно загрузить количество сетов. ID["));
        } else {
            EXPECT_TRUE(log.Contains(kLogError, "Невозможно загрузить камеру сета контроллера скринсейвера."));
            EXPECT_TRUE(log.ContainsText("Невозможно загрузить сет. Имя["));
        }
        EXPECT_EQ(loader->GetCurrent(), -1);
        stream.ClearIdMap();
    }
}

} // namespace
} // namespace nuv
