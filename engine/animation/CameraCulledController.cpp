#include "animation/CameraCulledController.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "media/ModuleManager.h"
#include "render/Renderer.h"
#include "scene/Camera.h"

#include <algorithm>

namespace nuv {

NUV_IMPLEMENT_OBJECT(CameraCulledController, Controller)

CameraCulledController::~CameraCulledController() {
    SetNodesHidden(false);
}

void CameraCulledController::SetNodesHidden(bool hidden) {
    for (int i = 0; i < nodes_.GetCount(); ++i)
        if (nodes_[i]) nodes_[i]->SetHidden(hidden);
}

void CameraCulledController::Apply(double) {
    if (!IsActive()) return;
    Renderer* renderer = ModuleManager::GetRenderer();
    const Camera* current = renderer ? renderer->GetCamera() : nullptr;
    if (current && current == GetOwner()) {
        SetNodesHidden(true);
        applied_ = true;
    } else if (applied_) {
        SetNodesHidden(false);
        applied_ = false;
    }
}

int CameraCulledController::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    if (!out.Parent(Controller::Save(stream))) return out.GetStatus();
    FieldWriter nodes(stream);
    nodes.Int(nodes_.GetCount(), "Невозможно сохранить количество объектов.");
    for (int i = 0; nodes && i < nodes_.GetCount(); ++i)
        if (!nodes.Link(nodes_[i].Get()).Check()) LogError("Невозможно сохранить объект [%d].", i);
    return out.Check("Невозможно сохранить узлы. Имя[%s] ID[%d]", bool(nodes)).GetStatus();
}

int CameraCulledController::Load(Stream& stream) {
    FieldReader in(stream, *this);
    if (!in.Parent(Controller::Load(stream))) return in.GetStatus();
    FieldReader nodes(stream);
    int32_t count = 0;
    // Each entry takes at least a 4-byte link: a forged count reserves no more than the
    // bytes left could hold.
    if (nodes.Count(count, "Невозможно загрузить количество объектов."))
        nodes_.Reserve(std::min(count, stream.GetRemaining() / 4));
    for (int32_t i = 0; nodes && i < count; ++i) {
        Node* node = nullptr;
        if (!nodes.Link(node).Use({}, [&] { return nodes_.Append(Pointer<Node>(node)); }))
            LogError("Невозможно загрузить объект [%d].", i);
    }
    return in.Check("Невозможно загрузить узлы. ID[%d] Имя[%s]", bool(nodes)).GetStatus();
}

void CameraCulledController::VisitLinks(LinkVisitor& visitor) {
    Controller::VisitLinks(visitor);
    for (Pointer<Node>& node : nodes_) {
        if (!visitor.Refuses(*this, node)) continue;
        // Not left hidden by a controller that no longer lists it.
        if (applied_) node->SetHidden(false);
        node.Reset();
    }
}

} // namespace nuv
