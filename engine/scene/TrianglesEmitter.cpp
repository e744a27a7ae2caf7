#include "scene/TrianglesEmitter.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/IntBuffer.h"
#include "core/LinkVisitor.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "core/Vector3Buffer.h"
#include "scene/GeometryNode.h"

#include <cstdlib>

namespace nuv {

NUV_IMPLEMENT_OBJECT(TrianglesEmitter, PointEmitter)

TrianglesEmitter::TrianglesEmitter() = default;
TrianglesEmitter::~TrianglesEmitter() = default;

void TrianglesEmitter::SetSource(GeometryNode* source) {
    source_ = source;
}

void TrianglesEmitter::Emit(Vector3& position, Vector3& direction) {
    // Corners are read straight from the positions, so a source without three of them (or
    // with positions of another width) emits as if there were no source.
    const Buffer* vertices = source_ ? source_->GetVertices() : nullptr;
    if (!vertices || !vertices->IsExactly(Vector3Buffer::TYPE) || vertices->GetCount() < 3) {
        position = Vector3();
        direction = Vector3(0.0f, -1.0f, 0.0f);
        return;
    }
    const auto* points = static_cast<const Vector3Buffer*>(vertices);
    const IntBuffer* indices = source_->GetIndices();
    const int triangles = indices ? indices->GetCount() / 3 : 0;
    int k = triangles > 0 ? Rand() % triangles : 0;
    // More triangles than corners read this way: the picked triangle must still be inside.
    if (3 * k + 2 >= points->GetCount()) k %= points->GetCount() / 3;
    const Vector3* p = points->GetElements() + 3 * k;
    const float m = Unit(Rand());
    const float l = Unit(Rand());
    const float h = Unit(Rand());
    const Vector3 a = p[0] + (p[1] - p[0]) * m;
    const Vector3 b = p[0] + (p[2] - p[0]) * l;
    const Transform& world = source_->GetWorldTransform();
    position = world.TransformPoint(a + (b - a) * h);
    direction = world.TransformVector(SampleLocalDirection()).Normalized();
}

int TrianglesEmitter::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Follow(PointEmitter::Save(stream)).Link(source_.Get(), kSaveFailure);
    return out.GetStatus();
}

int TrianglesEmitter::Load(Stream& stream) {
    FieldReader in(stream, *this);
    GeometryNode* source = nullptr;
    if (!in.Follow(PointEmitter::Load(stream)).Link(source, kLoadFailure)) return in.GetStatus();
    SetSource(source);
    return kStatusOk;
}

void TrianglesEmitter::VisitLinks(LinkVisitor& visitor) {
    PointEmitter::VisitLinks(visitor);
    if (visitor.Refuses(*this, source_)) SetSource(nullptr);
}

} // namespace nuv
