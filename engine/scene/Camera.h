#pragma once

#include "core/Matrix4.h"
#include "scene/Node.h"
#include "scene/Plane.h"

#include <cstdint>

namespace nuv {

class BoundingVolume;

// The node the scene is seen from. From its world transform and three lens values it derives
// the projection, view and view-projection matrices and the six frustum planes of culling.
//
// Its axes are the columns of the world rotation's R(q): right = column 0, up = column 1,
// forward = column 2. (An ordinary node's local +z goes to row 2 of R, so for the same
// rotation a camera faces where a node turned by the inverse rotation would face.)
class Camera : public Node {
    NUV_DECLARE_OBJECT
public:
    enum PlaneIndex : int { kNear = 0, kFar, kLeft, kRight, kTop, kBottom, kPlaneCount };
    // Plane i is still to be tested while bit (kNearBit >> i) is set.
    static constexpr int32_t kNearBit = 0x20;
    static constexpr int32_t kAllPlanes = 0x3F;
    // Horizontal over vertical scale of the projection: the view is 31/24 as wide as high.
    static const float kHorizontalScale;

    Camera() = default;

    // Persisted after the Node fields: field of view, near and far plane.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;

    // Controllers, world transform, then the matrices and planes.
    void UpdateWorld(double dt) override;
    // Projection, view, view-projection and frustum planes, in this order.
    void UpdateMatrices();

    // True when the bound lies outside one of the planes still set in the plane mask; clears
    // the bits of the planes it lies fully inside, so the node's children skip them.
    bool IsCulled(const BoundingVolume* bound);
    int32_t GetPlaneMask() const { return planeMask_; }
    void SetPlaneMask(int32_t mask) { planeMask_ = mask; }

    Vector3 GetPosition() const;
    Vector3 GetRight() const;
    Vector3 GetUp() const;
    Vector3 GetForward() const;

    float GetFieldOfView() const { return fieldOfView_; }
    float GetNearPlane() const { return nearPlane_; }
    float GetFarPlane() const { return farPlane_; }
    // The matrices follow at the next UpdateMatrices.
    void SetFieldOfView(float radians) { fieldOfView_ = radians; }
    void SetNearPlane(float distance) { nearPlane_ = distance; }
    void SetFarPlane(float distance) { farPlane_ = distance; }

    const Matrix4& GetProjection() const { return projection_; }
    const Matrix4& GetView() const { return view_; }
    const Matrix4& GetViewProjection() const { return viewProjection_; }
    // Matrices set from outside (overlays in screen space, mirrored and light views) hold until
    // the next UpdateMatrices derives them from the lens again. The single setters leave the
    // frustum planes as they are; SetMatrices also sets the view-projection and the planes.
    void SetProjection(const Matrix4& projection) { projection_ = projection; }
    void SetView(const Matrix4& view) { view_ = view; }
    void SetViewProjection(const Matrix4& viewProjection) { viewProjection_ = viewProjection; }
    void SetMatrices(const Matrix4& view, const Matrix4& projection);
    // The eye in world space as the view matrix places it (the world position for a camera
    // whose matrices come from its transform).
    Vector3 GetViewPosition() const;
    // Normals point into the frustum: inside is a positive signed distance to all six.
    const Plane& GetPlane(int index) const { return planes_[index]; }

private:
    // Frustum planes from the view-projection.
    void UpdatePlanes();

    float fieldOfView_ = 0.7853982f;
    float nearPlane_ = 0.1f;
    float farPlane_ = 10000.0f;
    Plane planes_[kPlaneCount];
    Matrix4 projection_;
    Matrix4 view_;
    Matrix4 viewProjection_;
    int32_t planeMask_ = kAllPlanes;
};

} // namespace nuv
