#pragma once

#include "core/Pointer.h"
#include "core/Vector3.h"
#include "scene/Camera.h"

#include <string>
#include <vector>

namespace nuv {

class Node;
class SceneNode;
class ScreensaverController;

// The screensaver's camera shots: each a camera moving on key frames, most of them kept on a
// subject by a target controller, and each listed as a set of the director.
class CameraShots {
public:
    // What the shots look at, made by the other builders.
    struct Subjects {
        Node* skater = nullptr;
        Node* snowman = nullptr;
        Node* eaveGarland = nullptr;
        Node* campFire = nullptr;
        Node* blockingHouse = nullptr;  // stands between one shot and its subject
    };

    CameraShots(ScreensaverController& director, SceneNode& root) : director_(director), root_(root) {}

    // Adds every shot under a "Cameras" node.
    void Build(const Subjects& subjects);

private:
    // A camera on its path; aimed at target when one is given (else along the path's keys at
    // lookAt). Listed with the director for its path's period.
    Pointer<Camera> Shot(const std::string& name, const std::vector<Vector3>& path, const Vector3& lookAt,
                         Node* target, double seconds, bool firstPerson = false);
    // A still node for a camera to aim at: no animation of its own, so it does not cut the
    // shot short.
    Node* Mark(const std::string& name, const Vector3& at);

    ScreensaverController& director_;
    SceneNode& root_;
    Pointer<SceneNode> cameras_;
};

} // namespace nuv
