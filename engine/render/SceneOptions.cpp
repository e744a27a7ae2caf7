#include "render/SceneOptions.h"

#include "core/Array.h"
#include "core/Pointer.h"
#include "render/CustomGlowPostRenderEffect.h"
#include "render/SceneNodeEffect.h"
#include "render/ShadowmapEffect.h"
#include "render/SnowIceEffect.h"
#include "render/TextureEffect.h"
#include "scene/GeometryNode.h"
#include "scene/SceneNode.h"

#include <algorithm>
#include <new>
#include <vector>

namespace nuv {

void SceneOptions::Apply(Node& root, const Choice& choice) {
    if (!choice.reflections) ReplaceSnowIceEffects(root);
    if (!choice.shadows) RemoveEffects(root, ShadowmapEffect::TYPE);
    if (!choice.snow) RemoveNamedNode(root, kSnowNodeName);
    if (!choice.shine) RemoveEffects(root, CustomGlowPostRenderEffect::TYPE);
}

void SceneOptions::RemoveEffects(Node& root, const Rtti& type) {
    Array<Object*> found;
    root.CollectByType(type, found);
    // Held while they are removed: an effect found twice is not used after its removal.
    std::vector<Pointer<SceneNodeEffect>> effects;
    for (int i = 0; i < found.GetCount(); ++i) effects.emplace_back(static_cast<SceneNodeEffect*>(found[i]));
    for (const Pointer<SceneNodeEffect>& effect : effects)
        if (SceneNode* owner = effect->GetOwner()) owner->RemoveEffect(effect.Get());
}

void SceneOptions::ReplaceSnowIceEffects(Node& root) {
    Array<Object*> found;
    root.CollectByType(SnowIceEffect::TYPE, found);
    for (int i = 0; i < found.GetCount(); ++i) {
        auto* ice = static_cast<SnowIceEffect*>(found[i]);
        GeometryNode* geometry = ice->GetGeometry();
        if (!geometry || geometry->GetEffect() != ice) continue;
        Pointer<TextureEffect> plain(new (std::nothrow) TextureEffect());
        if (!plain) continue;
        plain->SetTexture(ice->GetTexture());
        plain->SetTexCoordSet(std::clamp(ice->GetTexCoordSet(), 0, 7));
        plain->SetColor(ice->GetColor());
        geometry->SetEffect(plain.Get());
        plain->SetGeometry(geometry);
    }
}

void SceneOptions::RemoveNamedNode(Node& root, const char* name) {
    Object* found = root.FindByName(String(name));
    if (!found || !found->IsDerived(Node::TYPE)) return;
    auto* node = static_cast<Node*>(found);
    if (Node* parent = node->GetParent(); parent && parent->IsDerived(SceneNode::TYPE))
        static_cast<SceneNode*>(parent)->RemoveChild(node);
}

} // namespace nuv
