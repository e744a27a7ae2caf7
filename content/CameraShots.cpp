#include "content/CameraShots.h"

#include "animation/CameraCulledController.h"
#include "animation/NodeAnimation.h"
#include "animation/NodeAnimationController.h"
#include "animation/ScreensaverController.h"
#include "animation/TargetCameraController.h"
#include "content/SceneKit.h"
#include "core/String.h"
#include "scene/FPCamera.h"
#include "scene/SceneNode.h"

namespace nuv {

Node* CameraShots::Mark(const std::string& name, const Vector3& at) {
    Pointer<Node> mark(new Node());
    mark->SetName(String(name.c_str()));
    mark->GetLocalTransform().SetTranslation(at);
    cameras_->AttachChild(mark.Get());
    return mark.Get();
}

Pointer<Camera> CameraShots::Shot(const std::string& name, const std::vector<Vector3>& path, const Vector3& lookAt,
                                  Node* target, double seconds, bool firstPerson) {
    Pointer<Camera> camera(firstPerson ? static_cast<Camera*>(new FPCamera()) : new Camera());
    camera->SetName(String(name.c_str()));
    camera->SetFieldOfView(0.9f);
    camera->SetNearPlane(0.3f);
    camera->SetFarPlane(5000.0f);
    camera->GetLocalTransform().SetTranslation(path.front());
    camera->GetLocalTransform().SetRotation(SceneKit::LookRotation(path.front(), lookAt));
    if (target) {
        // Added first so that it runs after the path has moved the camera this frame.
        Pointer<TargetCameraController> aim(new TargetCameraController());
        aim->SetName(String((name + " Aim").c_str()));
        aim->SetTarget(target);
        camera->AddController(aim.Get());
    }
    Pointer<NodeAnimation> track(new NodeAnimation());
    track->SetName(String((name + " Path").c_str()));
    for (size_t i = 0; i < path.size(); ++i) {
        auto* key = new NodeAnimationKey();
        // The last key ends just short of the loop point: the track is played once per shot.
        key->time = path.size() > 1 ? double(i) / double(path.size() - 1) * 0.999 : 0.0;
        key->translation = path[i];
        key->rotation = SceneKit::LookRotation(path[i], lookAt);
        track->AppendKey(key);
    }
    Pointer<NodeAnimationController> move(new NodeAnimationController());
    move->SetName(String((name + " Animation").c_str()));
    move->AddAnimation(track.Get());
    move->AddFrame(track.Get(), 0.0, 1.0);
    move->SetPeriod(seconds);
    camera->AddController(move.Get());
    cameras_->AttachChild(camera.Get());
    director_.AddSet(camera.Get(), 0.0, seconds);
    return camera;
}

void CameraShots::Build(const Subjects& s) {
    cameras_ = new SceneNode();
    cameras_->SetName(String("Cameras"));
    root_.AttachChild(cameras_.Get());
    Node* village = Mark("Village Centre", {0.0f, 2.0f, 30.0f});

    // Across the pond to the village, the skater passing.
    Shot("Camera Pond", {{-60, 6, -50}, {-20, 5, -62}, {25, 6, -55}}, {0, 1, 10}, village, 20.0);
    // Low over the ice: the houses stand on their reflections.
    Shot("Camera Ice", {{14, 1.2f, -24}, {2, 1.0f, -22}, {-12, 1.2f, -20}}, {0, 3, 40}, village, 16.0);
    // Inside the lap, turning with the skater.
    if (s.skater)
        Shot("Camera Skater", {{0, 2.5f, -4}, {-4, 2.2f, 2}, {0, 2.5f, 8}, {4, 2.2f, 2}}, {15, 1, 2}, s.skater, 14.0);
    // The snowman waves under the lamp garlands.
    if (s.snowman) {
        Node* face = Mark("Snowman Gaze", s.snowman->GetLocalTransform().GetTranslation() + Vector3(0.0f, 2.2f, 0.0f));
        Shot("Camera Snowman", {{-3, 2.4f, 24}, {3, 2.8f, 25}, {11, 2.5f, 26}}, {6, 2, 36}, face, 14.0);
    }
    // Close by the garland-wound fir of the lane, the lamp garland overhead.
    if (s.eaveGarland) {
        Node* fir = Mark("Fir Gaze", {-2.0f, 4.5f, 38.0f});
        Shot("Camera Garlands", {{1, 2.4f, 28}, {3, 2.6f, 29}, {5, 2.4f, 30.5f}}, {-2, 4.5f, 38}, fir, 15.0);
    }
    // From behind the first house towards the fire and the pond; the house is left out of this
    // view instead of filling it.
    if (s.campFire) {
        Pointer<Camera> behind = Shot("Camera Fire", {{-36, 2.6f, 33}, {-33, 2.3f, 31}, {-30, 2.5f, 32}},
                                      {-22, 1, 27}, s.campFire, 14.0);
        if (s.blockingHouse) {
            Pointer<CameraCulledController> clear(new CameraCulledController());
            clear->SetName(String("Camera Fire Clearing"));
            clear->AddNode(s.blockingHouse);
            behind->AddController(clear.Get());
        }
    }
    // A crane shot high over the village on its own key-framed turn (no target).
    Shot("Camera High", {{0, 38, -70}, {45, 34, -45}, {70, 30, 0}}, {0, 2, 20}, nullptr, 22.0, true);
}

} // namespace nuv
