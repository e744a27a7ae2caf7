#pragma once

#include "core/Array.h"
#include "core/Controller.h"
#include "core/Pointer.h"
#include "scene/Node.h"

namespace nuv {

// Hides a list of nodes while its camera (the owner) is the renderer's current camera, and
// shows them again once another camera has taken over: things that would block that one view
// are left out of it.
class CameraCulledController : public Controller {
    NUV_DECLARE_OBJECT
public:
    CameraCulledController() = default;
    // Shows every listed node again, so none stays hidden after the controller is gone.
    ~CameraCulledController() override;

    // Persisted: the Controller fields, then the node list (count, then one link per node).
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;
    // When active: hides the nodes while the owner is the current camera, shows them once
    // after it stops being current.
    void Apply(double dt) override;

    // Null entries are kept (a file may hold them) and skipped by Apply.
    bool AddNode(Node* node) { return nodes_.Append(Pointer<Node>(node)); }
    int GetNodeCount() const { return nodes_.GetCount(); }
    Node* GetNode(int index) const { return index >= 0 && index < nodes_.GetCount() ? nodes_[index].Get() : nullptr; }
    // True while the nodes are hidden by this controller.
    bool IsApplied() const { return applied_; }

private:
    void SetNodesHidden(bool hidden);

    Array<Pointer<Node>> nodes_{1, 1};
    bool applied_ = false;
};

} // namespace nuv
