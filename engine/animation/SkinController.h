#pragma once

#include "core/Array.h"
#include "core/Buffer.h"
#include "core/Controller.h"
#include "core/Matrix4.h"
#include "core/Pointer.h"
#include "core/Vector3Buffer.h"
#include "core/Vector4Buffer.h"
#include "scene/Node.h"
#include "scene/SphereBoundingVolume.h"
#include "scene/Transform.h"

namespace nuv {

// Deforms a mesh by a skeleton of nodes: each frame one matrix per bone from the bone's world
// transform and its bind transform, then every vertex as a weighted blend of up to four bones.
// The skinned positions are in world space, so the mesh's world transform is pinned to the
// identity and its world bound follows the bones. When the mesh's vertex program skins instead,
// the effect clears `active`: the matrices and the bound are still rebuilt, the vertices not.
class SkinController : public Controller {
    NUV_DECLARE_OBJECT
public:
    SkinController();

    // Puts the effects' two skinning hooks (CPU skinning switch, bone data for vertex programs)
    // back on the skin controller; done once at start-up, and by whoever replaced them.
    static void InstallEffectHooks();

    // Persisted: the Controller fields, bone count, bone links, bind transforms, then the links to
    // weights, indices, bind vertices, bind normals and bind tangents.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;

    // Runs inactive too (see the class comment); dt is not used.
    void Apply(double dt) override;

    // Appends a bone with its bind transform; false without memory.
    bool AddBone(Node* bone, const Transform& bind);
    int GetBoneCount() const { return bones_.GetCount(); }
    Node* GetBone(int index) const;
    // For vertex-program skinning: one matrix per bone, as of the last Apply.
    const Matrix4* GetBoneMatrices() const { return boneMatrices_.GetData(); }
    Vector3Buffer* GetBonePositions() const { return bonePositions_.Get(); }

    void SetWeights(Vector4Buffer* weights) { weights_ = weights; }
    void SetBoneIndices(Vector4Buffer* indices) { indices_ = indices; }
    void SetBindVertices(Vector3Buffer* vertices) { bindVertices_ = vertices; }
    void SetBindNormals(Buffer* normals) { bindNormals_ = normals; }
    void SetBindTangents(Buffer* tangents) { bindTangents_ = tangents; }
    Vector4Buffer* GetWeights() const { return weights_.Get(); }
    Vector4Buffer* GetBoneIndices() const { return indices_.Get(); }
    Vector3Buffer* GetBindVertices() const { return bindVertices_.Get(); }
    Buffer* GetBindNormals() const { return bindNormals_.Get(); }
    Buffer* GetBindTangents() const { return bindTangents_.Get(); }

private:
    // One matrix and one position per bone, sized to the bone list; false without memory.
    bool BuildBones();
    // The sphere around the bone positions, grown by half, into the node's world bound.
    void BoundByBones(Node& node);

    Array<Pointer<Node>> bones_{1, 1};
    Array<Transform> bindTransforms_{1, 1};
    Pointer<Vector4Buffer> weights_;
    Pointer<Vector4Buffer> indices_;
    Pointer<Vector3Buffer> bindVertices_;
    Pointer<Buffer> bindNormals_;
    Pointer<Buffer> bindTangents_;
    Array<Matrix4> boneMatrices_{1, 1};
    Pointer<Vector3Buffer> bonePositions_;
    Pointer<SphereBoundingVolume> bound_;
};

} // namespace nuv
