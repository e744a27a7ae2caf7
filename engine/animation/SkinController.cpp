#include "animation/SkinController.h"

#include "animation/Skinning.h"
#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
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
    SkinningHooks() { SkinController::InstallEffectHooks(); }
} const gSkinningHooks;

} // namespace

void SkinController::InstallEffectHooks() {
    GeometryNodeEffect::SetCpuSkinningSwitch(&SwitchCpuSkinning);
    EffectConstants::SetSkinDataSource(&SkinDataOf);
}

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
    FieldWriter out(stream, *this);
    const int n = bones_.GetCount();
    out.Parent(Controller::Save(stream)).Int(n, "Невозможно сохранить количество костей. Имя[%s] ID[%d]");
    for (int i = 0; i < n; ++i) out.Link(bones_[i].Get(), "Невозможно сохранить кость. Имя[%s] ID[%d]");
    for (int i = 0; i < n; ++i) out.Nested(bindTransforms_[i], "Невозможно сохранить кость. Имя[%s] ID[%d]");
    out.Link(weights_.Get(), "Невозможно сохранить веса. Имя[%s] ID[%d]")
        .Link(indices_.Get(), "Невозможно сохранить индексы. Имя[%s] ID[%d]")
        .Link(bindVertices_.Get(), "Невозможно сохранить вершины. Имя[%s] ID[%d]")
        .Link(bindNormals_.Get(), "Невозможно сохранить нормали. Имя[%s] ID[%d]")
        .Link(bindTangents_.Get(), "Невозможно сохранить тангенсы. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int SkinController::Load(Stream& stream) {
    FieldReader in(stream, *this);
    int32_t n = 0;
    if (!in.Parent(Controller::Load(stream)).Count(n, "Невозможно загрузить количество костей. ID[%d] Имя[%s]"))
        return in.GetStatus();
    bones_.Clear();
    bindTransforms_.Clear();
    // A link takes at least 4 bytes: never more room than the bytes left can fill.
    bones_.Reserve(std::min(n, stream.GetRemaining() / 4));
    for (int32_t i = 0; in && i < n; ++i) {
        Node* bone = nullptr;
        in.Link(bone).Use("Невозможно загрузить кость. ID[%d]", [&] { return bones_.Append(Pointer<Node>(bone)); });
    }
    if (in && !bindTransforms_.Reserve(n))
        return in.Fail("Невозможно загрузить кость. ID[%d]", kStatusNoMemory).GetStatus();
    for (int32_t i = 0; in && i < n; ++i) {
        Transform bind;
        in.Nested(bind, "Невозможно загрузить кость. ID[%d]").Use("Невозможно загрузить кость. ID[%d]", [&] {
            return bindTransforms_.Append(bind);
        });
    }
    in.Link(weights_, "Невозможно загрузить веса. Имя[%s] ID[%d]")
        .Link(indices_, "Невозможно загрузить индексы. Имя[%s] ID[%d]")
        .Link(bindVertices_, "Невозможно загрузить вершины. Имя[%s] ID[%d]")
        .Link(bindNormals_, "Невозможно загрузить нормали. Имя[%s] ID[%d]")
        .Link(bindTangents_, "Невозможно загрузить тангенсы. Имя[%s] ID[%d]");
    if (!in) return in.GetStatus();
    boneMatrices_.Clear();
    bonePositions_.Reset();
    if (!BuildBones()) return kStatusNoMemory;
    for (Matrix4& matrix : boneMatrices_) matrix = Matrix4::Identity();
    return kStatusOk;
}

void SkinController::VisitLinks(LinkVisitor& visitor) {
    Controller::VisitLinks(visitor);
    // A refused bone stands at the origin, as one missing from the file does.
    visitor.VisitSlots(*this, bones_);
    if (visitor.Refuses(*this, weights_)) weights_.Reset();
    if (visitor.Refuses(*this, indices_)) indices_.Reset();
    if (visitor.Refuses(*this, bindVertices_)) bindVertices_.Reset();
    if (visitor.Refuses(*this, bindNormals_)) bindNormals_.Reset();
    if (visitor.Refuses(*this, bindTangents_)) bindTangents_.Reset();
}

} // namespace nuv
