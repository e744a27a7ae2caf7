#pragma once

#include "core/Controller.h"
#include "core/Matrix4.h"
#include "core/Pointer.h"
#include "core/Vector3.h"
#include "render/Renderer.h"
#include "scene/Node.h"

#include <vector>

namespace nuv {

class Camera;
class Node;
class Renderer;
class Texture;

// Draws its node list, seen in the mirror plane y = h at the reference node's height, into its
// texture at the start of every frame; the water effects look it up where the water is seen.
// The texture follows the viewport at half its width and height.
//
// It works as a post-update controller: its update lists it with the current renderer, which
// runs PostUpdate at the start of the next frame. (That class belongs to the animation library,
// above this one, so the step is taken here and the type record's parent is Controller.)
class RenderScreenspaceReflectTextureController : public Controller, public PreRenderStep {
    NUV_DECLARE_OBJECT
public:
    RenderScreenspaceReflectTextureController();
    ~RenderScreenspaceReflectTextureController() override;

    // After the Controller fields: the reference node link, then the node count and links.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;
    // When active, lists the controller with the current renderer (once per frame at most).
    void Apply(double dt) override;
    void PostUpdate() override;

    Node* GetReferenceNode() const { return reference_.Get(); }
    void SetReferenceNode(Node* node) { reference_ = node; }
    int GetNodeCount() const { return int(nodes_.size()); }
    Node* GetNode(int index) const;
    void AddNode(Node* node);

    // The camera's view of the world reflected about y = h: the mirror image exactly where the
    // camera sees the mirror, so the surface looks it up at its own screen position.
    static Matrix4 MirroredView(const Matrix4& cameraView, float h);
    // The projection whose near plane is the mirror, lowered by 0.8, so that nothing below the
    // surface shows in the reflection; unchanged when the plane's last clip component is 0, or
    // when the mirrored eye lies on the kept side (the camera within 0.8 of the surface: no
    // near plane can have the eye there).
    static Matrix4 ObliqueProjection(const Matrix4& mirroredView, const Matrix4& projection, float h);
    static Matrix4 Reflection(float h);

private:
    void FollowViewport(Renderer& renderer, Texture& texture);

    Pointer<Node> reference_;
    std::vector<Pointer<Node>> nodes_;
};

} // namespace nuv
