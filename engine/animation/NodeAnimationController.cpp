#include "animation/NodeAnimationController.h"

#include "animation/NodeAnimation.h"
#include "scene/Node.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(NodeAnimationController, AnimationController)

void NodeAnimationController::Apply(double dt) {
    AnimationController::Apply(dt);
    if (!IsActive()) return;
    Node* node = DynamicCast<Node>(GetOwner());
    if (!node) return;

    const Transform& local = node->GetLocalTransform();
    Quaternion rotation = local.GetRotation();
    Vector3 translation = local.GetTranslation();
    Vector3 scale = local.GetScale();
    for (int i = 0; i < GetStageCount(); ++i) {
        const BlendStage* stage = GetStage(i);
        const NodeAnimation* track = DynamicCast<NodeAnimation>(stage->animation.Get());
        if (!track) continue;
        // Indices left from a longer track that the stage played before are not followed.
        const NodeAnimationKey* k0 = track->GetNodeKey(stage->key0);
        const NodeAnimationKey* k1 = track->GetNodeKey(stage->key1);
        if (!k0 || !k1) continue;
        const float u = float(stage->localTime);
        const float w = stage->weight;
        rotation = Slerp(rotation, Slerp(k0->rotation, k1->rotation, u), w);
        const Vector3 p = k0->translation + (k1->translation - k0->translation) * u;
        translation = translation + (p - translation) * w;
        const Vector3 s = k0->scale + (k1->scale - k0->scale) * u;
        scale = scale + (s - scale) * w;
    }
    node->SetLocalTransform(Transform(translation, rotation, scale));
    node->SetUpdateWorldTransform(true);
}

} // namespace nuv
