#include "scene/Node.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "render/Renderer.h"
#include "scene/Camera.h"
#include "scene/SphereBoundingVolume.h"

#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(Node, Object)

Node::Node() {
    worldBound_ = new (std::nothrow) SphereBoundingVolume();
    if (!worldBound_) LogError("Недостаточно памяти для создания окружающего объёма.");
}

Node::~Node() = default;

int Node::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Parent(Object::Save(stream))
        .Link(parent_, "Невозможно сохранить родителя. Имя[%s] ID[%d]")
        .Nested(localTransform_, "Невозможно сохранить локальную трансформацию. Имя[%s] ID[%d]")
        .Int(worldBound_ ? worldBound_->GetKind() : BoundingVolume::kSphere,
             "Невозможно сохранить тип окружающего объёма. Имя[%s] ID[%d]")
        .Bool(updateWorldBound_, "Невозможно сохранить флаг обновления мирового объёма. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int Node::Load(Stream& stream) {
    FieldReader in(stream, *this);
    // The link is checked but not kept: the parent is whichever scene node puts this node in
    // one of its slots. A link the file got wrong then cannot leave a pointer to a node that
    // does not hold this one (and may go first), nor close a loop of parents.
    Node* parent = nullptr;
    int32_t kind = 0;
    in.Parent(Object::Load(stream))
        .Link(parent, "Невозможно загрузить родителя. ID[%d] Имя[%s]")
        .Nested(localTransform_, "Невозможно загрузить локальную трансформацию. ID[%d] Имя[%s]")
        .Int(kind, "Невозможно загрузить тип окружающего объёма. ID[%d] Имя[%s]")
        .Bool(updateWorldBound_, "Невозможно загрузить флаг обновления окружающего объёма. ID[%d] Имя[%s]");
    if (!in) return in.GetStatus();
    // Every kind is a sphere: it is the only one there is.
    BoundingVolume* bound = new (std::nothrow) SphereBoundingVolume();
    if (!bound)
        return in.Fail("Недостаточно памяти для создания мирового окружающего объёма. ID[%d] Имя[%s]").GetStatus();
    worldBound_ = bound;
    return kStatusOk;
}

Object* Node::FindByName(const String& name) {
    if (Object* found = Object::FindByName(name)) return found;
    return worldBound_ ? worldBound_->FindByName(name) : nullptr;
}

void Node::CollectByType(const Rtti& type, Array<Object*>& found) {
    Object::CollectByType(type, found);
    if (worldBound_) worldBound_->CollectByType(type, found);
}

void Node::UpdateWorld(double dt) {
    Update(dt);
    ComputeWorldTransform();
}

void Node::Render(Renderer&) {}

void Node::CullAndRender(Renderer& renderer) {
    if (hidden_) return;
    Camera* camera = renderer.GetCamera();
    if (!camera || !worldBound_) {
        Render(renderer);
        return;
    }
    const int32_t mask = camera->GetPlaneMask();
    if (!camera->IsCulled(worldBound_.Get())) Render(renderer);
    camera->SetPlaneMask(mask);
}

void Node::UpdateBound() {}

void Node::UpdateTree(double dt, bool propagateUp) {
    UpdateWorld(dt);
    UpdateBound();
    if (propagateUp) {
        for (Node* ancestor = parent_; ancestor; ancestor = ancestor->parent_) ancestor->UpdateBound();
    }
}

void Node::ComputeWorldTransform() {
    if (!updateWorldTransform_) return;
    worldTransform_ = parent_ ? Transform::Compose(localTransform_, parent_->worldTransform_) : localTransform_;
}

void Node::LookAlong(const Vector3& direction) {
    const Vector3 forward = direction.Normalized();
    const Vector3 right = Cross(Vector3(0.0f, 1.0f, 0.0f), direction).Normalized();
    const Vector3 up = Cross(forward, right).Normalized();
    // The axes are the columns of the rotation matrix.
    Matrix4 m;
    for (int row = 0; row < 3; ++row) {
        m.m[row][0] = right[row];
        m.m[row][1] = up[row];
        m.m[row][2] = forward[row];
    }
    localTransform_.SetRotation(Quaternion::FromRotationMatrix(m));
}

void Node::SetWorldBound(BoundingVolume* bound) {
    if (bound) worldBound_ = bound;
}

bool Node::HasInAncestors(const Node* node) const {
    int steps = 0;
    for (const Node* n = this; n && steps <= kMaxDepth; n = n->parent_, ++steps)
        if (n == node) return true;
    return false;
}

int Node::GetDepth() const {
    int depth = 0;
    for (const Node* n = parent_; n; n = n->parent_)
        if (++depth > kMaxDepth) return -1;
    return depth;
}

} // namespace nuv
