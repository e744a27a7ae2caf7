#include "animation/CameraCulledController.h"

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
    if (Controller::Save(stream) != 0) {
        LogError("Невозможно сохранить родительские данные. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    int status = 0;
    if (stream.WriteInt(nodes_.GetCount()) != 0) {
        LogError("Невозможно сохранить количество объектов.");
        status = 1;
    }
    for (int i = 0; status == 0 && i < nodes_.GetCount(); ++i) {
        if (stream.WriteObject(nodes_[i].Get()) != 0) {
            LogError("Невозможно сохранить объект [%d].", i);
            status = 1;
        }
    }
    if (status != 0) {
        LogError("Невозможно сохранить узлы. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    return kStatusOk;
}

int CameraCulledController::Load(Stream& stream) {
    if (Controller::Load(stream) != 0) {
        LogError("Невозможно загрузить родительские данные. ID[%d]", GetId());
        return kStatusFailed;
    }
    int status = 0;
    int32_t count = 0;
    if (stream.ReadInt(count) != 0 || count < 0) {
        LogError("Невозможно загрузить количество объектов.");
        status = 1;
    } else {
        // Each entry takes at least a 4-byte link: a forged count reserves no more than the
        // bytes left could hold.
        nodes_.Reserve(std::min(count, stream.GetRemaining() / 4));
    }
    for (int32_t i = 0; status == 0 && i < count; ++i) {
        Node* node = nullptr;
        if (stream.ReadObjectAs(node) != 0 || !nodes_.Append(Pointer<Node>(node))) {
            LogError("Невозможно загрузить объект [%d].", i);
            status = 1;
        }
    }
    if (status != 0) {
        LogError("Невозможно загрузить узлы. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return kStatusFailed;
    }
    return kStatusOk;
}

} // namespace nuv
