#pragma once

// Test doubles for the scene graph: a renderer that writes down the calls the draw pass makes,
// a scene effect with a chosen number of passes, a leaf node with a fixed model sphere and a
// controller, all of which append to one trace so that the order of the passes can be checked.
#include "core/Controller.h"
#include "../render/RecordingRenderer.h"
#include "render/Pass.h"
#include "render/SceneNodeEffect.h"
#include "scene/Camera.h"
#include "scene/Node.h"
#include "scene/SphereBoundingVolume.h"

#include <string>

namespace nuv::test {

// Every double appends "what:name " here.
inline std::string trace;
// The scene effect pass with this index refuses to be drawn.
inline int refusedPass = -1;

} // namespace nuv::test

namespace nuv {

// A pass that writes down its index and is refused when test::refusedPass names it.
class TestScenePass : public Pass {
    NUV_DECLARE_OBJECT
public:
    explicit TestScenePass(int index = 0) : index_(index) {}
    int Apply() override {
        test::trace += "apply" + std::to_string(index_) + " ";
        return index_ == test::refusedPass ? 1 : 0;
    }

private:
    int index_;
};

// A scene effect with one always supported technique of the given number of passes.
class TestSceneEffect : public SceneNodeEffect {
    NUV_DECLARE_OBJECT
public:
    explicit TestSceneEffect(int passes = 1);
    void Update(double) override { test::trace += "effect:" + std::string(GetName().GetText()) + " "; }
};

// A drawn leaf: its world bound is its model sphere carried by the world transform.
class TestLeaf : public Node {
    NUV_DECLARE_OBJECT
public:
    TestLeaf() = default;
    TestLeaf(const char* name, const Vector3& center, float radius) : model(center, radius) { SetName(String(name)); }

    void Render(Renderer& renderer) override;
    void UpdateBound() override {
        test::trace += "bound:" + std::string(GetName().GetText()) + " ";
        if (GetUpdateWorldBound()) GetWorldBound()->TransformFrom(&model, GetWorldTransform());
    }

    SphereBoundingVolume model;
    // The camera's plane mask when the leaf was drawn.
    int32_t maskSeen = -1;
};

// Moves its owner by `step` along x on each application and writes down the owner's name.
class TestMover : public Controller {
    NUV_DECLARE_OBJECT
public:
    void Apply(double dt) override;
    float step = 0.0f;
};

} // namespace nuv
