#include "scene/GeometryNode.h"

#include "core/ColorBuffer.h"
#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/FloatBuffer.h"
#include "core/IntBuffer.h"
#include "core/LinkVisitor.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "core/Vector2Buffer.h"
#include "core/Vector3Buffer.h"
#include "core/Vector4Buffer.h"
#include "render/GeometryNodeEffect.h"
#include "render/Pass.h"
#include "render/Renderer.h"
#include "scene/SphereBoundingVolume.h"

#include <algorithm>
#include <climits>

namespace nuv {

NUV_IMPLEMENT_ABSTRACT_OBJECT(GeometryNode, Node)

GeometryNode::GeometryNode() {
    modelBound_ = new (std::nothrow) SphereBoundingVolume();
    if (!modelBound_) LogError("Недостаточно памяти для создания окружающего объёма.");
}

GeometryNode::~GeometryNode() {
    if (effect_ && effect_->GetGeometry() == this) effect_->SetGeometry(nullptr);
}

bool GeometryNode::IsFloatVectorBuffer(const Buffer* buffer) {
    return buffer && (buffer->IsExactly(FloatBuffer::TYPE) || buffer->IsExactly(Vector2Buffer::TYPE) ||
                      buffer->IsExactly(Vector3Buffer::TYPE) || buffer->IsExactly(Vector4Buffer::TYPE));
}

Buffer* GeometryNode::GetTexCoords(int set) const {
    return set >= 0 && set < kTexCoordSets ? texCoords_[set].Get() : nullptr;
}

void GeometryNode::RefreshEffect() {
    // A new buffer may reuse the address of a released one, so the cached check cannot tell.
    checked_ = CheckedState{};
    if (effect_) effect_->RefreshCurrentTechnique();
}

void GeometryNode::SetEffect(GeometryNodeEffect* effect) {
    if (effect_ == effect) return;
    if (effect_ && effect_->GetGeometry() == this) effect_->SetGeometry(nullptr);
    effect_ = effect;
    if (effect_) effect_->SetGeometry(this);
    RefreshEffect();
}

void GeometryNode::SetVertices(Buffer* buffer) {
    if (vertices_ == buffer) return;
    vertices_ = buffer;
    tangents_.Reset();
    RefreshEffect();
}

void GeometryNode::SetPointSizes(FloatBuffer* buffer) {
    if (pointSizes_ == buffer) return;
    pointSizes_ = buffer;
    RefreshEffect();
}

void GeometryNode::SetColors(ColorBuffer* buffer) {
    if (colors_ == buffer) return;
    colors_ = buffer;
    RefreshEffect();
}

void GeometryNode::SetNormals(Vector3Buffer* buffer) {
    if (normals_ == buffer) return;
    normals_ = buffer;
    RefreshEffect();
}

void GeometryNode::SetTangents(Vector3Buffer* buffer) {
    if (tangents_ == buffer) return;
    tangents_ = buffer;
    RefreshEffect();
}

void GeometryNode::SetTexCoords(int set, Buffer* buffer) {
    if (set < 0 || set >= kTexCoordSets || texCoords_[set] == buffer) return;
    texCoords_[set] = buffer;
    RefreshEffect();
}

void GeometryNode::SetIndices(IntBuffer* buffer) {
    if (indices_ == buffer) return;
    indices_ = buffer;
    RefreshEffect();
}

void GeometryNode::ComputeModelBound() {
    if (modelBound_ && vertices_ && vertices_->IsExactly(Vector3Buffer::TYPE))
        modelBound_->FitToPoints(static_cast<Vector3Buffer*>(vertices_.Get()));
}

void GeometryNode::RebuildDerived(bool normals, bool tangents) {
    ComputeModelBound();
    if (normals) ComputeNormals();
    if (tangents) ComputeTangents(0);
}

void GeometryNode::UpdateWorld(double dt) {
    Update(dt);
    ComputeWorldTransform();
    if (effect_) effect_->Update(dt);
}

void GeometryNode::UpdateBound() {
    if (!GetUpdateWorldBound()) return;
    if (BoundingVolume* world = GetWorldBound()) world->TransformFrom(modelBound_.Get(), GetWorldTransform());
}

void GeometryNode::Render(Renderer& renderer) {
    // The renderer checks the effect's switch and blending: blended geometry waits in its lists
    // and comes back through Draw, back to front.
    renderer.DrawGeometry(this);
}

void GeometryNode::Draw(Renderer& renderer) {
    if (!effect_) return;
    // A file may pair indices with too few vertices: such geometry is not drawn at all, since
    // the device would read past the arrays.
    if (!HasConsistentBuffers()) return;
    renderer.SetCurrentGeometry(this);
    Technique* technique = effect_->CurrentTechnique();
    const int passes = technique ? effect_->PassCount() : 0;
    for (int i = 0; i < passes; ++i) {
        if (renderer.ApplyPass(technique, i) == Pass::kDraw) renderer.DrawIndexed();
        // Also after a skipped pass: lights it enabled before refusing must not leak into the
        // next draw.
        renderer.DisableLights();
    }
}

bool GeometryNode::HasConsistentBuffers() {
    const int vertexCount = vertices_ ? vertices_->GetCount() : 0;
    int shortest = INT_MAX;
    auto cover = [&shortest](const Buffer* buffer) {
        if (buffer) shortest = std::min(shortest, buffer->GetCount());
    };
    cover(pointSizes_.Get());
    cover(colors_.Get());
    cover(normals_.Get());
    cover(tangents_.Get());
    for (const auto& set : texCoords_) cover(set.Get());
    const void* indexData = indices_ ? indices_->GetElements() : nullptr;
    const int indexCount = indices_ ? indices_->GetCount() : 0;

    if (checked_.indices == indexData && checked_.indexCount == indexCount && checked_.vertexCount == vertexCount &&
        checked_.shortestVertexData == shortest)
        return checked_.consistent;

    bool consistent = shortest >= vertexCount;
    if (consistent && indices_) {
        const int32_t* index = indices_->GetElements();
        for (int i = 0; i < indexCount; ++i) {
            if (index[i] < 0 || index[i] >= vertexCount) {
                consistent = false;
                break;
            }
        }
    }
    if (!consistent)
        LogError("Буфферы геометрии не согласованы: индексы или данные вершин вне диапазона. ID[%d] Имя[%s]", GetId(),
                 GetName().GetText());
    checked_ = {indexData, indexCount, vertexCount, shortest, consistent};
    return consistent;
}

Object* GeometryNode::FindByName(const String& name) {
    if (Object* found = Node::FindByName(name)) return found;
    Object* parts[] = {effect_.Get(),        vertices_.Get(),     pointSizes_.Get(),   normals_.Get(),
                       tangents_.Get(),      texCoords_[0].Get(), texCoords_[1].Get(), texCoords_[2].Get(),
                       texCoords_[3].Get(),  texCoords_[4].Get(), texCoords_[5].Get(), texCoords_[6].Get(),
                       texCoords_[7].Get(),  indices_.Get(),      modelBound_.Get()};
    for (Object* part : parts)
        if (part)
            if (Object* found = part->FindByName(name)) return found;
    return nullptr;
}

void GeometryNode::CollectByType(const Rtti& type, Array<Object*>& found) {
    Node::CollectByType(type, found);
    Object* parts[] = {effect_.Get(),        vertices_.Get(),     pointSizes_.Get(),   normals_.Get(),
                       tangents_.Get(),      texCoords_[0].Get(), texCoords_[1].Get(), texCoords_[2].Get(),
                       texCoords_[3].Get(),  texCoords_[4].Get(), texCoords_[5].Get(), texCoords_[6].Get(),
                       texCoords_[7].Get(),  indices_.Get(),      modelBound_.Get()};
    for (Object* part : parts)
        if (part) part->CollectByType(type, found);
}

int GeometryNode::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Parent(Node::Save(stream))
        .Link(effect_.Get(), "Невозможно сохранить эффект. Имя[%s] ID[%d]")
        .Link(vertices_.Get(), "Невозможно сохранить вершины. Имя[%s] ID[%d]")
        .Link(pointSizes_.Get(), "Невозможно сохранить размеры точек. Имя[%s] ID[%d]")
        .Link(colors_.Get(), "Невозможно сохранить цвета вершин. Имя[%s] ID[%d]")
        .Link(normals_.Get(), "Невозможно сохранить нормали. Имя[%s] ID[%d]")
        .Link(tangents_.Get(), "Невозможно сохранить тангенты. Имя[%s] ID[%d]");
    for (const auto& set : texCoords_)
        out.Link(set.Get(), "Невозможно сохранить текстурные координаты. Имя[%s] ID[%d]");
    out.Link(indices_.Get(), "Невозможно сохранить индексы. Имя[%s] ID[%d]")
        .Int(modelBound_ ? modelBound_->GetKind() : BoundingVolume::kSphere,
             "Невозможно сохранить тип локального окружающего объёма. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int GeometryNode::Load(Stream& stream) {
    FieldReader in(stream, *this);
    // A link to a buffer of the wrong class fails the read: the renderer would otherwise
    // take, say, colours for positions and read past their end.
    GeometryNodeEffect* effect = nullptr;
    if (!in.Parent(Node::Load(stream)).Link(effect, "Невозможно загрузить эффект. ID[%d] Имя[%s]"))
        return in.GetStatus();
    SetEffect(effect);
    Buffer* vertices = nullptr;
    if (!in.Link(vertices).Check("Невозможно загрузить вершины. ID[%d] Имя[%s]",
                                 !vertices || IsFloatVectorBuffer(vertices)))
        return in.GetStatus();
    SetVertices(vertices);
    FloatBuffer* pointSizes = nullptr;
    if (!in.Link(pointSizes, "Невозможно загрузить размеры точек. ID[%d] Имя[%s]")) return in.GetStatus();
    SetPointSizes(pointSizes);
    ColorBuffer* colors = nullptr;
    if (!in.Link(colors, "Невозможно загрузить цвета. ID[%d] Имя[%s]")) return in.GetStatus();
    SetColors(colors);
    Vector3Buffer* normals = nullptr;
    if (!in.Link(normals, "Невозможно загрузить нормали. ID[%d] Имя[%s]")) return in.GetStatus();
    SetNormals(normals);
    Vector3Buffer* tangents = nullptr;
    if (!in.Link(tangents, "Невозможно загрузить тангенты. ID[%d] Имя[%s]")) return in.GetStatus();
    SetTangents(tangents);
    for (int set = 0; set < kTexCoordSets; ++set) {
        Buffer* texCoords = nullptr;
        if (!in.Link(texCoords).Check("Невозможно загрузить текстурные координаты. ID[%d] Имя[%s]",
                                      !texCoords || IsFloatVectorBuffer(texCoords)))
            return in.GetStatus();
        SetTexCoords(set, texCoords);
    }
    IntBuffer* indices = nullptr;
    if (!in.Link(indices, "Невозможно загрузить индексы. ID[%d] Имя[%s]")) return in.GetStatus();
    SetIndices(indices);
    int32_t kind = 0;
    if (!in.Int(kind, "Невозможно загрузить тип лоакльного окружающего объёма. ID[%d] Имя[%s]")) return in.GetStatus();
    // Every kind number makes a sphere, the only kind there is.
    Pointer<BoundingVolume> bound = new (std::nothrow) SphereBoundingVolume();
    if (!bound)
        return in
            .Fail("Недостаточно памяти для создания локального окружающего объёма. ID[%d] Имя[%s]", kStatusNoMemory)
            .GetStatus();
    modelBound_ = bound;
    ComputeModelBound();
    return kStatusOk;
}

void GeometryNode::VisitLinks(LinkVisitor& visitor) {
    Node::VisitLinks(visitor);
    if (visitor.Refuses(*this, effect_)) SetEffect(nullptr);
    if (visitor.Refuses(*this, vertices_)) SetVertices(nullptr);
    if (visitor.Refuses(*this, pointSizes_)) SetPointSizes(nullptr);
    if (visitor.Refuses(*this, colors_)) SetColors(nullptr);
    if (visitor.Refuses(*this, normals_)) SetNormals(nullptr);
    if (visitor.Refuses(*this, tangents_)) SetTangents(nullptr);
    for (int set = 0; set < kTexCoordSets; ++set)
        if (visitor.Refuses(*this, texCoords_[set])) SetTexCoords(set, nullptr);
    if (visitor.Refuses(*this, indices_)) SetIndices(nullptr);
}

} // namespace nuv
