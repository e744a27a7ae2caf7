#pragma once

#include "core/Array.h"
#include "core/Pointer.h"
#include "scene/Node.h"

namespace nuv {

class SceneNodeEffect;

// The grouping node: an array of child slots (which may be null) drawn and updated in order,
// and a list of whole-scene effects, each of which draws the children once per pass.
class SceneNode : public Node {
    NUV_DECLARE_OBJECT
public:
    SceneNode();
    ~SceneNode() override;

    // Persisted: the Node fields, the effects from the head of the list, the number of child
    // slots, the growth step and one link per slot (null slots included).
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;
    // Node's search, then each effect, then each non-null child.
    Object* FindByName(const String& name) override;
    void CollectByType(const Rtti& type, Array<Object*>& found) override;

    // Node's work, then each effect's update, then UpdateTree(dt, false) on each child.
    void UpdateWorld(double dt) override;
    // The children through every pass of every enabled effect, or once without effects.
    void Render(Renderer& renderer) override;
    // The union of the children's world bounds.
    void UpdateBound() override;

    // The effect goes to the head of the list and this node becomes its owner. 3 for null;
    // 0 when added or already in the list; 2 without memory.
    int AddEffect(SceneNodeEffect* effect);
    // Removes the first entry holding effect; nothing when absent.
    void RemoveEffect(SceneNodeEffect* effect);
    int GetEffectCount() const;
    // Counted from the head; null when out of range.
    SceneNodeEffect* GetEffect(int index) const;

    // Puts node in the first null slot, growing the array when there is none. 0 on success;
    // 3 for null; 1 when node is this node or an ancestor, already held by a scene node, or
    // would make the tree deeper than kMaxDepth; 2 when the array cannot grow.
    int AttachChild(Node* node);
    // Clears the first slot holding node and the node's parent; the slot stays.
    void RemoveChild(Node* node);
    int GetChildCount() const { return children_.GetCount(); }
    // The node in slot index, or null (empty slot or out of range).
    Node* GetChild(int index) const;
    int GetChildGrowth() const { return children_.GetGrowth(); }
    // True when node sits in one of the slots.
    bool HoldsChild(const Node* node) const;

private:
    struct EffectEntry;
    // Whether node may go into a slot of this node; logs why not.
    int CheckChild(Node* node) const;
    void ClearEffects();
    void ClearChildren();

    Array<Pointer<Node>> children_{1, 2};
    EffectEntry* effects_ = nullptr;
};

} // namespace nuv
