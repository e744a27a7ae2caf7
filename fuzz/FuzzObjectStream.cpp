// Reads arbitrary bytes as a scene file: the version header and an object graph with buffers,
// controller lists, links and node trees. Whatever loads is updated and drawn once, as a frame
// does. Nothing may crash, hang, leak or allocate by a forged count.
#include "core/Controller.h"
#include "core/Engine.h"
#include "core/Renderer.h"
#include "core/SceneFile.h"
#include "core/Stream.h"
#include "render/SceneNodeEffect.h"
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

// A scene effect whose pass count (0 to 3) comes from the file. Every pass of a scene effect
// draws the subtree again, so nested effects multiply the work; only the first effect of a node
// with no effects above it has passes here, which keeps each input's run short.
class FuzzSceneEffect : public SceneNodeEffect {
    NUV_DECLARE_OBJECT
public:
    int Save(Stream& stream) override { return Object::Save(stream) || stream.WriteInt(passes) ? 1 : 0; }
    int Load(Stream& stream) override { return Object::Load(stream) || stream.ReadInt(passes) ? 1 : 0; }
    bool IsEnabled() const override { return passes >= 0; }
    Technique* GetCurrentTechnique() override { return nullptr; }
    int GetPassCount() override {
        SceneNode* owner = GetOwner();
        if (!owner || owner->GetEffect(0) != this) return 0;
        for (Node* above = owner->GetParent(); above; above = above->GetParent())
            if (auto* group = DynamicCast<SceneNode>(above); group && group->GetEffectCount() > 0) return 0;
        return passes & 3;
    }
    int32_t passes = 1;
};

NUV_IMPLEMENT_OBJECT(FuzzSceneEffect, SceneNodeEffect)

// Draws nothing; refuses every third pass so both outcomes of a pass are walked.
class NullRenderer : public Renderer {
public:
    void ReleaseBuffer(Buffer&) override {}
    Camera* GetCamera() override { return camera.Get(); }
    int ApplyPass(Technique*, int index) override { return index == 2 ? 1 : 0; }
    void FlushDeferred() override {}
    void SetCurrentGeometry(GeometryNode*) override {}
    void DrawIndexed() override {}
    void RestorePassStates() override {}
    void DeferGeometry(GeometryNode*) override {}
    Pointer<Camera> camera;
};

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
            nuv::Pointer<nuv::NullRenderer> renderer(new nuv::NullRenderer());
            renderer->camera = new nuv::Camera();
            renderer->camera->UpdateTree(0, false);
            node->CullAndRender(*renderer);
            // Without a camera nothing is culled.
            renderer->camera = nullptr;
            node->CullAndRender(*renderer);
        }
    }
    return 0;
}
