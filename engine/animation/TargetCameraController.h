#pragma once

#include "core/Controller.h"
#include "core/Pointer.h"
#include "scene/Node.h"

namespace nuv {

// Keeps its camera (the owner) aimed at a target node. It must come after any controller that
// moves the owner in the same frame, so it is added before them (the newest applies first).
class TargetCameraController : public Controller {
    NUV_DECLARE_OBJECT
public:
    TargetCameraController() = default;

    // Persisted: the Controller fields, then the target link.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;
    // When active, with a Camera owner and a target: turns the owner toward the target.
    void Apply(double dt) override;

    Node* GetTarget() const { return target_.Get(); }
    void SetTarget(Node* target) { target_ = target; }

private:
    Pointer<Node> target_;
};

} // namespace nuv
