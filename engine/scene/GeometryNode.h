#pragma once

#include "core/Pointer.h"
#include "scene/Node.h"

#include <cstdint>

namespace nuv {

class Buffer;
class BoundingVolume;
class ColorBuffer;
class FloatBuffer;
class GeometryNodeEffect;
class IntBuffer;
class Renderer;
class Vector3Buffer;

// Base of every node that is drawn: shared vertex data, an index list, the effect that draws
// it and a model-space bound from which the world bound follows each frame.
class GeometryNode : public Node {
    NUV_DECLARE_OBJECT
public:
    static constexpr int kTexCoordSets = 8;

    ~GeometryNode() override;

    // Persisted after the Node fields: the effect, the buffers and the model bound's kind.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;
    // The Node's search, then the effect and the buffers (not the colours), then the model bound.
    Object* FindByName(const String& name) override;
    void CollectByType(const Rtti& type, Array<Object*>& found) override;

    // Controllers, world transform, then the effect's own update.
    void UpdateWorld(double dt) override;
    // Draws through the effect, or hands blended geometry to the renderer for later.
    void Render(Renderer& renderer) override;
    // World bound = model bound carried by the world transform.
    void UpdateBound() override;

    // 0 point list, 1 line list, 2 line strip, 3 triangle list, 4 triangle strip.
    virtual int GetPrimitiveType() const = 0;
    virtual void ComputeNormals() {}
    virtual void ComputeTangents(int /*set*/) {}
    // Fits the model bound to the vertices when they are three-component positions.
    virtual void ComputeModelBound();
    void RebuildDerived(bool normals, bool tangents);
    // Draws now through every pass of the effect, without the enabled and blending checks.
    virtual void Draw(Renderer& renderer);

    // Each setter replaces the shared reference and refreshes the effect's chosen technique.
    void SetEffect(GeometryNodeEffect* effect);
    // Positions may be 1 to 4 floats per vertex; dropping the tangents, which follow them.
    void SetVertices(Buffer* buffer);
    void SetPointSizes(FloatBuffer* buffer);
    void SetColors(ColorBuffer* buffer);
    void SetNormals(Vector3Buffer* buffer);
    void SetTangents(Vector3Buffer* buffer);
    // set 0..7; a float, Vector2, Vector3 or Vector4 buffer. Other sets are ignored.
    void SetTexCoords(int set, Buffer* buffer);
    void SetIndices(IntBuffer* buffer);

    GeometryNodeEffect* GetEffect() const { return effect_.Get(); }
    Buffer* GetVertices() const { return vertices_.Get(); }
    FloatBuffer* GetPointSizes() const { return pointSizes_.Get(); }
    ColorBuffer* GetColors() const { return colors_.Get(); }
    Vector3Buffer* GetNormals() const { return normals_.Get(); }
    Vector3Buffer* GetTangents() const { return tangents_.Get(); }
    Buffer* GetTexCoords(int set) const;
    IntBuffer* GetIndices() const { return indices_.Get(); }
    BoundingVolume* GetModelBound() const { return modelBound_.Get(); }

    // True when every index names a vertex and every per-vertex buffer covers all vertices,
    // so a draw reads nothing beyond the arrays. The index scan is repeated only after a setter
    // ran or a buffer was given a new array or count; the engine's own in-place edits are trusted.
    bool HasConsistentBuffers();

    // A buffer class that can serve as positions or texture coordinates (1 to 4 floats).
    static bool IsFloatVectorBuffer(const Buffer* buffer);

protected:
    GeometryNode();
    // The setters' common tail: forgets the last consistency check, refreshes the effect.
    void RefreshEffect();

private:
    Pointer<GeometryNodeEffect> effect_;
    Pointer<Buffer> vertices_;
    Pointer<FloatBuffer> pointSizes_;
    Pointer<ColorBuffer> colors_;
    Pointer<Vector3Buffer> normals_;
    Pointer<Vector3Buffer> tangents_;
    Pointer<Buffer> texCoords_[kTexCoordSets];
    Pointer<IntBuffer> indices_;
    Pointer<BoundingVolume> modelBound_;

    // What the last consistency check saw.
    struct CheckedState {
        const void* indices = nullptr;
        int indexCount = -1;
        int vertexCount = -1;
        int shortestVertexData = -1;
        bool consistent = false;
    } checked_;
};

} // namespace nuv
