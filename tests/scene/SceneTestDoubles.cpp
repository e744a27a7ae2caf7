#include "SceneTestDoubles.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(TestSceneEffect, SceneNodeEffect)
NUV_IMPLEMENT_OBJECT(TestLeaf, Node)
NUV_IMPLEMENT_OBJECT(TestMover, Controller)

void TestLeaf::Render(Renderer& renderer) {
    test::trace += "draw:" + std::string(GetName().GetText()) + " ";
    if (Camera* camera = renderer.GetCamera()) maskSeen = camera->GetPlaneMask();
}

void TestMover::Apply(double) {
    Node* node = DynamicCast<Node>(GetOwner());
    if (!node) return;
    test::trace += "apply:" + std::string(node->GetName().GetText()) + " ";
    Vector3 t = node->GetLocalTransform().GetTranslation();
    t.x += step;
    node->GetLocalTransform().SetTranslation(t);
}

} // namespace nuv
