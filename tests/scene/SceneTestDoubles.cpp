#include "SceneTestDoubles.h"

#include "render/Technique.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(TestScenePass, Pass)
NUV_IMPLEMENT_OBJECT(TestSceneEffect, SceneNodeEffect)

namespace {

class AlwaysTechnique : public Technique {
public:
    bool IsSupported() override { return true; }
};

} // namespace

TestSceneEffect::TestSceneEffect(int passes) {
    auto* technique = new AlwaysTechnique;
    for (int i = 0; i < passes; ++i) technique->AddPass(Pointer<Pass>(new TestScenePass(i)).Get());
    AddTechnique(technique);
}
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
