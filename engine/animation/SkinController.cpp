#include "animation/SkinController.h"

#include "animation/Skinning.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "render/EffectConstants.h"
#include "render/GeometryNodeEffect.h"
#include "scene/GeometryNode.h"

#include <algorithm>
#include <cfloat>
#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(SkinController, Controller)

namespace {

// The effects sit below this library: they reach skin controllers through two hooks that are
// installed here, so that every program linking the skinning also gets it on the GPU path.
void SwitchCpuSkinning(Controller* controller, bool onCpu) {
    if (auto* skin = DynamicCast<SkinController>(controller)) skin->SetActive(onCpu);
}

bool SkinDataOf(Controller* controller, EffectConstants::SkinData& data) {
    auto* skin = DynamicCast<SkinController>(controller);
    if (!skin) return false;
    data.bindPositions = skin->GetBindVertices();
    data.weights = skin->GetWeights();
    data.indices = skin->GetBoneIndices();
    data.bones = skin->GetBoneMatrices();
    data.boneCount = skin->GetBoneCount();
    return true;
}

struct SkinningHooks {
    SkinningHooks() {
        GeometryNodeEffect::SetCpuSkinningSwitch(&SwitchCpuSkinning);
        EffectConstants::SetSkinDataSource(&SkinDataOf);
    }
} const gSkinningHooks;

} // namespace

SkinController::SkinController() : bound_(new (std::nothrow) SphereBoundingVolume()) {}

Node* SkinController::GetBone(int index) const {
    return index >= 0 && index < bones_.GetCount() ? bones_[index].Get() : nullptr;
}

bool SkinController::AddBone(Node* bone, const Transform& bind) {
    if (!bones_.Append(Pointer<Node>(bone))) return false;
    if (bindTransforms_.Append(bind)) return true;
    bones_.RemoveAt(bones_.GetCount() - 1);
    return false;
}

bool SkinController::BuildBones() {
    const int n = bones_.GetCount();
    if (boneMatrices_.GetCount() != n) {
        boneMatrices_.Clear();
        if (!boneMatrices_.Reserve(n)) return false;
        for (int i = 0; i < n; ++i) boneMatrices_.Append(Matrix4::Identity());
    }
    if (!bonePositions_ || bonePositions_->GetCount() != n) {
        bonePositions_ = new (std::nothrow) Vector3Buffer(n);
        if (!bonePositions_ || bonePositions_->GetCount() != n) return false;
    }
    Vector3* positions = bonePositions_->GetElements();
    for (int i = 0; i < n; ++i) {
        // A bone missing from the file stands at the origin rather than stopping the mesh.
        const Transform world = bones_[i] ? bones_[i]->GetWorldTransform() : Transform();
        boneMatrices_[i] = Transform::Compose(bindTransforms_[i], world).ToMatrix();
        positions[i] = world.GetTranslation();
    }
    return true;
}

void SkinController::BoundByBones(Node& node) {
    BoundingVolume* world = node.GetWorldBound();
    if (!world || !bound_ || bones_.IsEmpty()) return;
    bound_->FitToPoints(bonePositions_.Get());
    bound_->SetRadius(bound_->GetRadius() * 1.5f);
    world->CopyFrom(bound_.Get());
    node.SetUpdateWorldBound(false);
}

void SkinController::Apply(double) {
    if (!IsActive()) {
        Node* node = DynamicCast<Node>(GetOwner());
        if (node && BuildBones()) BoundByBones(*node);
        return;
    }
    GeometryNode* mesh = DynamicCast<GeometryNode>(GetOwner());
    if (!mesh) return;
    Vector3Buffer* vertices = DynamicCast<Vector3Buffer>(mesh->GetVertices());
    if (!vertices || !bindVertices_) return;
    const int count = vertices->GetCount();
    if (count == 0 || count != bindVertices_->GetCount()) return;
    // Weights and indices shorter than the vertices would be read past their end, and without
    // bones there is nothing to skin by: the mesh keeps what it has.
    if (!weights_ || !indices_ || weights_->GetCount() < count || indices_->GetCount() < count) return;
    if (bones_.IsEmpty() || !BuildBones()) return;

    vertices->MarkDirty();
    SkinningJob job;
    job.bindVertices = bindVertices_->GetElements();
    job.weights = weights_->GetElements();
    job.indices = indices_->GetElements();
    job.vertexCount = count;
    job.boneMatrices = boneMatrices_.GetData();
    job.boneCount = boneMatrices_.GetCount();
    job.out = vertices->GetElements();
    SkinVertices(job);

    if (bones_.GetCount() < 2) {
        // One bone gives no extent to fit: a sphere that is never culled.
        if (BoundingVolume* world = mesh->GetWorldBound(); world && bound_) {
            bound_->SetCenter(Vector3(0.0f, 0.0f, 0.0f));
            bound_->SetRadius(FLT_MAX);
            world->CopyFrom(bound_.Get());
            mesh->SetUpdateWorldBound(false);
        }
    } else {
        BoundByBones(*mesh);
    }
    mesh->SetWorldTransform(Transform());
    mesh->SetUpdateWorldTransform(false);
}

int SkinController::Save(Stream& stream) {
    if (Controller::Save(stream) != 0) {
        LogError("Невозможно сохранить родительские данные. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    const int n = bones_.GetCount();
    if (stream.WriteInt(n) != 0) {
        LogError("Невозможно сохранить количество костей. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    for (int i = 0; i < n; ++i) {
        if (stream.WriteObject(bones_[i].Get()) != 0) {
            LogError("Невозможно сохранить кость. Имя[%s] ID[%d]", GetName().GetText(), GetId());
            return kStatusFailed;
        }
    }
    for (int i = 0; i < n; ++i) {
        if (bindTransforms_[i].Save(stream) != 0) {
            LogError("Невозможно сохранить кость. Имя[%s] ID[%d]", GetName().GetText(), GetId());
            return kStatusFailed;
        }
    }
    const struct {
        Object* buffer;
        const char* message;
    } links[] = {
        {weights_.Get(), "Невозможно сохранить веса. Имя[%s] ID[%d]"},
        {indices_.Get(), "Невозможно сохранить индексы. Имя[%s] ID[%d]"},
        {bindVertices_.Get(), "Невозможно сохранить вершины. Имя[%s] ID[%d]"},
        {bindNormals_.Get(), "Невозможно сохранить нормали. Имя[%s] ID[%d]"},
        {bindTangents_.Get(), "Невозможно сохранить тангенсы. Имя[%s] ID[%d]"},
    };
    for (const auto& link : links) {
        if (stream.WriteObject(link.buffer) != 0) {
            LogError(link.message, GetName().GetText(), GetId());
            return kStatusFailed;
        }
    }
    return kStatusOk;
}

namespace {

// Reads one buffer link of type T into target; false on a damaged link or another class.
template <class T>
bool ReadLink(Stream& stream, Pointer<T>& target) {
    T* object = nullptr;
    if (stream.ReadObjectAs(object) != 0) return false;
    target = object;
    return true;
}

} // namespace

int SkinController::Load(Stream& stream) {
    if (Controller::Load(stream) != 0) {
        LogError("Невозможно загрузить родительские данные. ID[%d]", GetId());
        return kStatusFailed;
    }
    int32_t n = 0;
    if (stream.ReadInt(n) != 0 || n < 0) {
        LogError("Невозможно загрузить количество костей. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return kStatusFailed;
    }
    bones_.Clear();
    bindTransforms_.Clear();
    // A link takes at least 4 bytes: never more room than the bytes left can fill.
    bones_.Reserve(std::min(n, stream.GetRemaining() / 4));
    for (int32_t i = 0; i < n; ++i) {
        Node* bone = nullptr;
        if (stream.ReadObjectAs(bone) != 0 || !bones_.Append(Pointer<Node>(bone))) {
            LogError("Невозможно загрузить кость. ID[%d]", GetId());
            return kStatusFailed;
        }
    }
    if (!bindTransforms_.Reserve(n)) {
        LogError("Невозможно загрузить кость. ID[%d]", GetId());
        return kStatusNoMemory;
    }
    for (int32_t i = 0; i < n; ++i) {
        Transform bind;
        if (bind.Load(stream) != 0 || !bindTransforms_.Append(bind)) {
            LogError("Невозможно загрузить кость. ID[%d]", GetId());
            return kStatusFailed;
        }
    }
    if (!ReadLink(stream, weights_)) {
        LogError("Невозможно загрузить веса. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    if (!ReadLink(stream, indices_)) {
        LogError("Невозможно загрузить индексы. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    if (!ReadLink(stream, bindVertices_)) {
        LogError("Невозможно загрузить вершины. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    if (!ReadLink(stream, bindNormals_)) {
        LogError("Невозможно загрузить нормали. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    if (!ReadLink(stream, bindTangents_)) {
        LogError("Невозможно загрузить тангенсы. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    boneMatrices_.Clear();
    bonePositions_.Reset();
    if (!BuildBones()) return kStatusNoMemory;
    for (Matrix4& matrix : boneMatrices_) matrix = Matrix4::Identity();
    return kStatusOk;
}

} // namespace nuv
