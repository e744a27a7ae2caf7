#pragma once

#include "core/Object.h"
#include "core/Vector3.h"

namespace nuv {

struct Plane;
struct Ray;
class Transform;
class Vector3Buffer;

// A volume that encloses a node or a point set, tested against frustum planes in the draw
// pass. Only the sphere exists; the kind number is what nodes store in files.
class BoundingVolume : public Object {
    NUV_DECLARE_OBJECT
public:
    enum Kind : int { kSphere = 0 };

    virtual int GetKind() const = 0;
    // 0, or 3 (with a warning, the volume unchanged) for a missing buffer or an empty one.
    virtual int FitToPoints(const Vector3Buffer* buffer) = 0;
    // 0, or 3 when other is null.
    virtual int CopyFrom(const BoundingVolume* other) = 0;
    // True on a hit; t1 and t2 are the ray parameters of the two crossings.
    virtual bool IntersectRay(const Ray& ray, float& t1, float& t2) const = 0;
    // Touching counts; false for null.
    virtual bool Intersects(const BoundingVolume* other) const = 0;
    // Grows to enclose other as well; 0, or 3 when other is null.
    virtual int Merge(const BoundingVolume* other) = 0;
    // Becomes source carried through transform; 0, or 3 when source is null.
    virtual int TransformFrom(const BoundingVolume* source, const Transform& transform) = 0;
    // -1 fully on the negative side, 1 fully on the positive side, 0 crossing.
    virtual int PlaneSide(const Plane& plane) const = 0;
    virtual Vector3 GetCenter() const = 0;

protected:
    BoundingVolume() = default;
};

} // namespace nuv
