// Reads arbitrary bytes as a scene file: the version header and an object graph with buffers,
// controller lists, links and node trees. Whatever loads is updated and drawn once, as a frame
// does. Nothing may crash, hang, leak or allocate by a forged count.
#include "../tests/render/RecordingRenderer.h"

#include "core/Controller.h"
#include "core/Engine.h"
#include "core/SceneFile.h"
#include "core/Stream.h"
#include "render/Pass.h"
#include "render/SceneNodeEffect.h"
#include "render/Technique.h"
#include "scene/Camera.h"
#include "scene/SceneNode.h"

#include <cstddef>
#include <cstdint>

namespace nuv {

// A concrete controller with a plain link, so that links to any object, forward, backward
// and to itself, are exercised as real classes use them.
class FuzzController : public Controller {
    NUV_DECLARE_OBJECT
public:
    int Save(Stream& stream) override { return Controller::Save(stream) || stream.WriteObject(target) ? 1 : 0; }
    int Load(Stream& stream) override { return Controller::Load(stream) || stream.ReadObject(target) ? 1 : 0; }
    Object* target = nullptr;
};

NUV_IMPLEMENT_OBJECT(FuzzController, Controller)

// A pass that draws the children, except pass 2, which is refused: both outcomes are walked.
class FuzzPass : public Pass {
    NUV_DECLARE_OBJECT
public:
    explicit FuzzPass(int index = 0) : index_(index) {}
    int Apply() override { return index_ == 2 ? 1 : 0; }

private:
    int index_;
};

NUV_IMPLEMENT_OBJECT(FuzzPass, Pass)

class FuzzTechnique : public Technique {
public:
    bool IsSupported() override { return true; }
};

// A scene effect whose number of passes (0 to 3) comes from the file.
class FuzzSceneEffect : public SceneNodeEffect {
    NUV_DECLARE_OBJECT
public:
    int Save(Stream& stream) override { return Object::Save(stream) || stream.WriteInt(passes_) ? 1 : 0; }
    int Load(Stream& stream) override {
        if (Object::Load(stream) || stream.ReadInt(passes_)) return 1;
        if (passes_ < 0) Disable();
        auto* technique = new FuzzTechnique;
        for (int i = 0; i < (passes_ & 3); ++i) technique->AddPass(Pointer<Pass>(new FuzzPass(i)).Get());
        return AddTechnique(technique);
    }

private:
    int32_t passes_ = 1;
};

NUV_IMPLEMENT_OBJECT(FuzzSceneEffect, SceneNodeEffect)

namespace {

// Every pass of a scene effect draws the subtree again, so effects nested in effects multiply
// the work of a frame as the file asks; inputs whose frame would visit more nodes than this
// are updated but not drawn, to keep each run short.
constexpr int64_t kMaxDrawVisits = 200000;

int64_t DrawVisits(Node* node, int64_t budget) {
    auto* group = DynamicCast<SceneNode>(node);
    if (!group || budget <= 1) return 1;
    int64_t times = 0;
    for (int i = 0; i < group->GetEffectCount(); ++i) times += group->GetEffect(i)->PassCount();
    if (group->GetEffectCount() == 0) times = 1;
    int64_t visits = 1;
    for (int i = 0; i < group->GetChildCount() && visits <= budget; ++i)
        if (Node* child = group->GetChild(i)) visits += times * DrawVisits(child, budget);
    return visits;
}

} // namespace

} // namespace nuv

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return nuv::InitializeEngine();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24)) return 0;
    nuv::Stream stream(0, 1024);
    stream.Assign(data, int(size));
    nuv::Pointer<nuv::Object> root;
    if (nuv::SceneFile::Read(stream, root) == 0 && root) {
        // Whatever loads must save again and be found by name and type without trouble.
        root->FindByName("x");
        nuv::Array<nuv::Object*> found;
        root->CollectByType(nuv::Object::TYPE, found);
        nuv::Stream out(0, 1024);
        nuv::SceneFile::Write(out, root.Get());
        if (auto* node = nuv::DynamicCast<nuv::Node>(root.Get())) {
            node->UpdateTree(0.016, true);
            if (nuv::DrawVisits(node, nuv::kMaxDrawVisits) <= nuv::kMaxDrawVisits) {
                nuv::Pointer<nuv::test::RecordingRenderer> renderer(new nuv::test::RecordingRenderer());
                renderer->SetCamera(nuv::Pointer<nuv::Camera>(new nuv::Camera()).Get());
                renderer->GetCamera()->UpdateTree(0, false);
                node->CullAndRender(*renderer);
                renderer->FlushDeferred();
                // Without a camera nothing is culled.
                renderer->SetCamera(nullptr);
                node->CullAndRender(*renderer);
                renderer->FlushDeferred();
            }
        }
    }
    return 0;
}
