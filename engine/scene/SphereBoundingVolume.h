#pragma once

#include "scene/BoundingVolume.h"

namespace nuv {

// The only bounding volume kind: a centre and a radius.
class SphereBoundingVolume : public BoundingVolume {
    NUV_DECLARE_OBJECT
public:
    SphereBoundingVolume() = default;
    SphereBoundingVolume(const Vector3& center, float radius) : center_(center), radius_(radius) {}

    // Persisted: the Object fields, then the centre and the radius.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;

    int GetKind() const override { return kSphere; }
    int FitToPoints(const Vector3Buffer* buffer) override;
    int CopyFrom(const BoundingVolume* other) override;
    bool IntersectRay(const Ray& ray, float& t1, float& t2) const override;
    bool Intersects(const BoundingVolume* other) const override;
    int Merge(const BoundingVolume* other) override;
    int TransformFrom(const BoundingVolume* source, const Transform& transform) override;
    int PlaneSide(const Plane& plane) const override;
    Vector3 GetCenter() const override { return center_; }

    // The fit of FitToPoints over a plain array (skinned meshes and sprites keep their points
    // elsewhere); 3 without points, the sphere then unchanged.
    int FitToPoints(const Vector3* points, int count);

    float GetRadius() const { return radius_; }
    void SetCenter(const Vector3& center) { center_ = center; }
    void SetRadius(float radius) { radius_ = radius; }

private:
    Vector3 center_;
    float radius_ = 0.0f;
};

} // namespace nuv
