#pragma once

#include "core/Object.h"
#include "core/Pointer.h"
#include "scene/BoundingVolume.h"
#include "scene/Transform.h"

namespace nuv {

class Renderer;
class SceneNode;

// Anything with a place in the scene: a local transform relative to the parent, the world
// transform derived from it each update, a world bound, a hidden flag and a plain back pointer
// to the parent (the parent holds the reference, not the child).
class Node : public Object {
    NUV_DECLARE_OBJECT
public:
    // Deepest tree the update and draw passes walk; attaching deeper is refused, so a tree
    // read from outside bytes cannot exhaust the stack.
    static constexpr int kMaxDepth = 1000;

    Node();
    ~Node() override;

    // Persisted: the Object fields, the parent link, the local transform, the world bound's
    // kind and the update-world-bound flag.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    // Object's search, then the world bound.
    Object* FindByName(const String& name) override;
    void CollectByType(const Rtti& type, Array<Object*>& found) override;

    // Controllers, then the world transform; subclasses add their own work after those.
    virtual void UpdateWorld(double dt);
    // Draws the node; called by CullAndRender once the node is known to be visible.
    virtual void Render(Renderer& renderer);
    // Hidden flag and frustum test against the renderer's camera, then Render. The camera's
    // plane mask is restored afterwards, so siblings start from the parent's mask.
    virtual void CullAndRender(Renderer& renderer);
    // Derives the world bound; the base node has nothing to derive it from.
    virtual void UpdateBound();

    // UpdateWorld then UpdateBound; with propagateUp the ancestors' bounds follow, up to the root.
    void UpdateTree(double dt, bool propagateUp);
    // Local transform alone at the root, composed with the parent's world transform below it.
    void ComputeWorldTransform();
    // Turns the local rotation so that the node's forward axis (column 2 of R) is direction.
    void LookAlong(const Vector3& direction);

    Transform& GetLocalTransform() { return localTransform_; }
    const Transform& GetLocalTransform() const { return localTransform_; }
    void SetLocalTransform(const Transform& transform) { localTransform_ = transform; }
    const Transform& GetWorldTransform() const { return worldTransform_; }
    // For controllers that place a node in world space themselves (skinning, targets).
    void SetWorldTransform(const Transform& transform) { worldTransform_ = transform; }
    bool GetUpdateWorldTransform() const { return updateWorldTransform_; }
    void SetUpdateWorldTransform(bool update) { updateWorldTransform_ = update; }
    bool GetUpdateWorldBound() const { return updateWorldBound_; }
    void SetUpdateWorldBound(bool update) { updateWorldBound_ = update; }
    bool IsHidden() const { return hidden_; }
    void SetHidden(bool hidden) { hidden_ = hidden; }

    BoundingVolume* GetWorldBound() const { return worldBound_.Get(); }
    // Null is ignored: a node always has a world bound.
    void SetWorldBound(BoundingVolume* bound);

    Node* GetParent() const { return parent_; }
    // True when node is this node or one of its ancestors (walking at most kMaxDepth links).
    bool HasInAncestors(const Node* node) const;
    // Number of ancestors, or -1 when the chain is longer than kMaxDepth.
    int GetDepth() const;

protected:
    // The parent pointer changes only through the SceneNode that holds the node, and through
    // Load, so that the parent chains stay free of cycles.
    friend class SceneNode;
    void SetParent(Node* parent) { parent_ = parent; }

private:
    Transform localTransform_;
    Transform worldTransform_;
    bool updateWorldTransform_ = true;
    Pointer<BoundingVolume> worldBound_;
    bool updateWorldBound_ = true;
    bool hidden_ = false;
    Node* parent_ = nullptr;
};

} // namespace nuv
