#pragma once

#include "core/Pointer.h"
#include "scene/PointEmitter.h"

namespace nuv {

class GeometryNode;

// Emits from random points on the surface of a triangle mesh, with the point emitter's
// directions carried by the mesh's world transform.
class TrianglesEmitter : public PointEmitter {
    NUV_DECLARE_OBJECT
public:
    TrianglesEmitter();
    ~TrianglesEmitter() override;

    // After the PointEmitter fields: the source link.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;

    void Emit(Vector3& position, Vector3& direction) override;

    GeometryNode* GetSource() const { return source_.Get(); }
    void SetSource(GeometryNode* source);

private:
    Pointer<GeometryNode> source_;
};

} // namespace nuv
