#include "scene/SceneNode.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "render/Pass.h"
#include "render/Renderer.h"
#include "render/SceneNodeEffect.h"

#include <memory>
#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(SceneNode, Node)

namespace {

// Largest growth step a file may ask for; beyond it the next append would ask for absurd memory.
constexpr int32_t kMaxChildGrowth = 1 << 16;

// Levels below node (0 for a leaf), or more than limit once the subtree is found deeper.
int SubtreeHeight(const Node* node, int limit) {
    const SceneNode* group = DynamicCast<SceneNode>(node);
    if (!group) return 0;
    if (limit <= 0) return 1;
    int height = 0;
    for (int i = 0; i < group->GetChildCount(); ++i) {
        if (const Node* child = group->GetChild(i)) {
            const int below = 1 + SubtreeHeight(child, limit - 1);
            if (below > height) height = below;
            if (height > limit) break;
        }
    }
    return height;
}

} // namespace

struct SceneNode::EffectEntry {
    Pointer<SceneNodeEffect> effect;
    EffectEntry* next;
};

SceneNode::SceneNode() {
    children_.Append(Pointer<Node>());
}

SceneNode::~SceneNode() {
    ClearEffects();
    ClearChildren();
}

void SceneNode::ClearEffects() {
    while (effects_) {
        EffectEntry* entry = effects_;
        effects_ = entry->next;
        if (entry->effect->GetOwner() == this) entry->effect->SetOwner(nullptr);
        delete entry;
    }
}

void SceneNode::ClearChildren() {
    for (Pointer<Node>& child : children_)
        if (child) child->SetParent(nullptr);
    children_.Clear();
}

int SceneNode::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Follow(Node::Save(stream)).Int(GetEffectCount(), "Невозможно сохранить количество эффектов. Имя[%s] ID[%d]");
    for (EffectEntry* entry = effects_; entry; entry = entry->next)
        out.Link(entry->effect.Get(), "Невозможно сохранить эффект. Имя[%s] ID[%d]");
    out.Int(children_.GetCount(), "Невозможно сохранить количество дочерних узлов. Имя[%s] ID[%d]")
        .Int(children_.GetGrowth(), "Невозможно сохранить приращение. Имя[%s] ID[%d]");
    for (int i = 0; i < children_.GetCount(); ++i)
        out.Link(children_[i].Get(), "Невозможно сохранить дочерний узел. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int SceneNode::Load(Stream& stream) {
    FieldReader in(stream, *this);
    // Every link takes at least four bytes, so a count beyond that is refused before anything
    // is allocated for it.
    int32_t effectCount = 0;
    in.Follow(Node::Load(stream)).Count(effectCount, "Невозможно загрузить количество эффектов. ID[%d] Имя[%s]");
    in.Check("Невозможно загрузить количество эффектов. ID[%d] Имя[%s]", effectCount <= stream.GetRemaining() / 4);
    for (int32_t i = 0; in && i < effectCount; ++i) {
        SceneNodeEffect* effect = nullptr;
        // Added at the head, so the list comes out in the reverse of the file's order.
        if (in.Link(effect, "Невозможно загрузить эффект. ID[%d] Имя[%s]") && effect) in.Follow(AddEffect(effect));
    }
    int32_t childCount = 0, growth = 0;
    in.Count(childCount, "Невозможно загрузить количество дочерних узлов. ID[%d] Имя[%s]")
        .Int(growth)
        .Check("Невозможно загрузить приращение. ID[%d] Имя[%s]", growth >= 0 && growth <= kMaxChildGrowth)
        .Check("Невозможно загрузить количество дочерних узлов. ID[%d] Имя[%s]",
               childCount <= stream.GetRemaining() / 4);
    if (!in) return in.GetStatus();
    ClearChildren();
    std::destroy_at(&children_);
    std::construct_at(&children_, childCount, growth);
    if (children_.GetCapacity() < childCount)
        return in.Fail("Невозможно загрузить количество дочерних узлов. ID[%d] Имя[%s]", kStatusNoMemory).GetStatus();
    for (int32_t i = 0; i < childCount; ++i) children_.Append(Pointer<Node>());
    for (int32_t i = 0; in && i < childCount; ++i) {
        Node* child = nullptr;
        // A child that would close a loop, sits in another slot already or makes the tree too
        // deep leaves its slot empty; the rest of the scene still loads.
        if (in.Link(child, "Невозможно загрузить дочерний узел. ID[%d] Имя[%s]") && child && CheckChild(child) == 0) {
            children_[i] = child;
            child->SetParent(this);
        }
    }
    return in.GetStatus();
}

Object* SceneNode::FindByName(const String& name) {
    if (Object* found = Node::FindByName(name)) return found;
    for (EffectEntry* entry = effects_; entry; entry = entry->next)
        if (Object* found = entry->effect->FindByName(name)) return found;
    for (int i = 0; i < children_.GetCount(); ++i)
        if (Node* child = children_[i].Get())
            if (Object* found = child->FindByName(name)) return found;
    return nullptr;
}

void SceneNode::CollectByType(const Rtti& type, Array<Object*>& found) {
    Node::CollectByType(type, found);
    for (EffectEntry* entry = effects_; entry; entry = entry->next) entry->effect->CollectByType(type, found);
    for (int i = 0; i < children_.GetCount(); ++i)
        if (Node* child = children_[i].Get()) child->CollectByType(type, found);
}

void SceneNode::UpdateWorld(double dt) {
    Update(dt);
    ComputeWorldTransform();
    // By index and holding a reference: a controller may change the lists while they are walked.
    for (int i = 0;; ++i) {
        const Pointer<SceneNodeEffect> effect(GetEffect(i));
        if (!effect) break;
        effect->Update(dt);
    }
    for (int i = 0; i < children_.GetCount(); ++i) {
        const Pointer<Node> child(children_[i]);
        if (child) child->UpdateTree(dt, false);
    }
}

void SceneNode::Render(Renderer& renderer) {
    auto drawChildren = [this, &renderer] {
        for (int i = 0; i < children_.GetCount(); ++i) {
            const Pointer<Node> child(children_[i]);
            if (child) child->CullAndRender(renderer);
        }
    };
    if (!effects_) {
        drawChildren();
        return;
    }
    for (int e = 0;; ++e) {
        const Pointer<SceneNodeEffect> effect(GetEffect(e));
        if (!effect) break;
        if (!effect->IsEnabled()) continue;
        Technique* technique = effect->CurrentTechnique();
        const int passes = effect->PassCount();
        for (int pass = 0; pass < passes; ++pass) {
            // Non-zero: the pass drew by itself (or nothing) and the children are not drawn for it.
            if (renderer.ApplyPass(technique, pass) != Pass::kDraw) continue;
            drawChildren();
            renderer.FlushDeferred();
        }
    }
}

void SceneNode::UpdateBound() {
    BoundingVolume* bound = GetWorldBound();
    if (!GetUpdateWorldBound() || !bound) return;
    bool first = true;
    for (int i = 0; i < children_.GetCount(); ++i) {
        const Node* child = children_[i].Get();
        if (!child) continue;
        const BoundingVolume* childBound = child->GetWorldBound();
        if (childBound && childBound->GetKind() == BoundingVolume::kSphere) {
            if (first) {
                bound->CopyFrom(childBound);
            } else {
                bound->Merge(childBound);
            }
        }
        first = false;
    }
}

int SceneNode::AddEffect(SceneNodeEffect* effect) {
    if (!effect) return kStatusNotFound;
    for (EffectEntry* entry = effects_; entry; entry = entry->next)
        if (entry->effect == effect) return kStatusOk;
    EffectEntry* entry = new (std::nothrow) EffectEntry{Pointer<SceneNodeEffect>(effect), effects_};
    if (!entry) {
        LogError("Недостаточно памяти для добавления эффекта. Имя[%s] ID[%d].", GetName().GetText(), GetId());
        return kStatusNoMemory;
    }
    effects_ = entry;
    effect->SetOwner(this);
    return kStatusOk;
}

void SceneNode::RemoveEffect(SceneNodeEffect* effect) {
    for (EffectEntry** link = &effects_; *link; link = &(*link)->next) {
        EffectEntry* entry = *link;
        if (entry->effect != effect) continue;
        *link = entry->next;
        if (effect->GetOwner() == this) effect->SetOwner(nullptr);
        delete entry;
        return;
    }
}

int SceneNode::GetEffectCount() const {
    int count = 0;
    for (EffectEntry* entry = effects_; entry; entry = entry->next) ++count;
    return count;
}

SceneNodeEffect* SceneNode::GetEffect(int index) const {
    if (index < 0) return nullptr;
    for (EffectEntry* entry = effects_; entry; entry = entry->next)
        if (index-- == 0) return entry->effect.Get();
    return nullptr;
}

int SceneNode::CheckChild(Node* node) const {
    if (HasInAncestors(node)) {
        LogWarning("Узел не может стать потомком самого себя. ID[%d] Имя[%s]", node->GetId(), node->GetName().GetText());
        return kStatusFailed;
    }
    if (node->GetParent()) {
        LogWarning("Узел уже принадлежит другому узлу. ID[%d] Имя[%s]", node->GetId(), node->GetName().GetText());
        return kStatusFailed;
    }
    const int depth = GetDepth();
    if (depth < 0 || depth + 1 + SubtreeHeight(node, kMaxDepth) > kMaxDepth) {
        LogWarning("Слишком глубокое дерево узлов. ID[%d] Имя[%s]", node->GetId(), node->GetName().GetText());
        return kStatusFailed;
    }
    return kStatusOk;
}

int SceneNode::AttachChild(Node* node) {
    if (!node) return kStatusNotFound;
    if (CheckChild(node) != kStatusOk) return kStatusFailed;
    int slot = children_.Find(Pointer<Node>());
    if (slot < 0) {
        if (!children_.Append(Pointer<Node>())) return kStatusNoMemory;
        slot = children_.GetCount() - 1;
    }
    children_[slot] = node;
    node->SetParent(this);
    return kStatusOk;
}

void SceneNode::RemoveChild(Node* node) {
    if (!node) return;
    for (int i = 0; i < children_.GetCount(); ++i) {
        if (children_[i].Get() != node) continue;
        node->SetParent(nullptr);
        children_[i].Reset();
        return;
    }
}

Node* SceneNode::GetChild(int index) const {
    return index >= 0 && index < children_.GetCount() ? children_[index].Get() : nullptr;
}

bool SceneNode::HoldsChild(const Node* node) const {
    if (!node) return false;
    for (int i = 0; i < children_.GetCount(); ++i)
        if (children_[i].Get() == node) return true;
    return false;
}

void SceneNode::VisitLinks(LinkVisitor& visitor) {
    Node::VisitLinks(visitor);
    for (EffectEntry** link = &effects_; *link;) {
        EffectEntry* entry = *link;
        if (!visitor.Refuses(*this, entry->effect)) {
            link = &entry->next;
            continue;
        }
        *link = entry->next;
        if (entry->effect->GetOwner() == this) entry->effect->SetOwner(nullptr);
        delete entry;
    }
    // A refused child leaves its slot empty, as a child refused on load does.
    for (Pointer<Node>& child : children_) {
        if (!visitor.Refuses(*this, child)) continue;
        if (child->GetParent() == this) child->SetParent(nullptr);
        child.Reset();
    }
}

} // namespace nuv
