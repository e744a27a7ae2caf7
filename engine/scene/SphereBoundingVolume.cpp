#include "scene/SphereBoundingVolume.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "core/Vector3Buffer.h"
#include "scene/Plane.h"
#include "scene/Ray.h"
#include "scene/SphereFit.h"
#include "scene/Transform.h"

#include <cmath>

namespace nuv {

NUV_IMPLEMENT_OBJECT(SphereBoundingVolume, BoundingVolume)

int SphereBoundingVolume::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Parent(Object::Save(stream), "Невозможно сохранить данные окружающего объёма. Имя[%s] ID[%d]")
        .Vector3(center_)
        .Float(radius_, "Невозможно сохранить данные окружающего объёма. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int SphereBoundingVolume::Load(Stream& stream) {
    FieldReader in(stream, *this);
    Vector3 center;
    float radius = 0.0f;
    in.Parent(Object::Load(stream), "Невозможно загрузить данные окружающего объёма. ID[%d] Имя[%s]")
        .Vector3(center)
        .Float(radius, "Невозможно загрузить данные окружающего объёма. ID[%d] Имя[%s]");
    if (!in) return in.GetStatus();
    center_ = center;
    radius_ = radius;
    return kStatusOk;
}

int SphereBoundingVolume::FitToPoints(const Vector3Buffer* buffer) {
    if (!buffer) {
        LogWarning("Указатель на вершины равен 0 при генерации. Имя[%s] ID[%d].", GetName().GetText(), GetId());
        return kStatusNotFound;
    }
    return FitToPoints(buffer->GetElements(), buffer->GetCount());
}

int SphereBoundingVolume::FitToPoints(const Vector3* points, int count) {
    if (!points || count <= 0) {
        LogWarning("Нет вершин в буффере при генерации объёма. Имя[%s] ID[%d].", GetName().GetText(), GetId());
        return kStatusNotFound;
    }
    FitSphere(points, count, center_, radius_);
    return kStatusOk;
}

int SphereBoundingVolume::CopyFrom(const BoundingVolume* other) {
    const SphereBoundingVolume* sphere = DynamicCast<SphereBoundingVolume>(other);
    if (!sphere) {
        LogWarning("Указатель на объём равен 0 при генерации. Имя[%s] ID[%d].", GetName().GetText(), GetId());
        return kStatusNotFound;
    }
    center_ = sphere->center_;
    radius_ = sphere->radius_;
    return kStatusOk;
}

bool SphereBoundingVolume::IntersectRay(const Ray& ray, float& t1, float& t2) const {
    const Vector3 l = ray.origin - center_;
    const float b = Dot(l, ray.direction);
    const float disc = b * b - (Dot(l, l) - radius_ * radius_);
    if (disc < 0.0f) return false;
    const float root = std::sqrt(disc);
    t1 = root - b;
    t2 = -b - root;
    return true;
}

bool SphereBoundingVolume::Intersects(const BoundingVolume* other) const {
    const SphereBoundingVolume* sphere = DynamicCast<SphereBoundingVolume>(other);
    if (!sphere) return false;
    const float reach = radius_ + sphere->radius_;
    return (sphere->center_ - center_).LengthSquared() <= reach * reach;
}

int SphereBoundingVolume::Merge(const BoundingVolume* other) {
    const SphereBoundingVolume* sphere = DynamicCast<SphereBoundingVolume>(other);
    if (!sphere) {
        LogWarning("Указатель на объём равен 0 при слиянии. Имя[%s] ID[%d].", GetName().GetText(), GetId());
        return kStatusNotFound;
    }
    const float deltaRadius = sphere->radius_ - radius_;
    const Vector3 offset = sphere->center_ - center_;
    const float distanceSquared = offset.LengthSquared();
    if (deltaRadius * deltaRadius >= distanceSquared) {
        // One sphere holds the other.
        if (deltaRadius > 0.0f) {
            center_ = sphere->center_;
            radius_ = sphere->radius_;
        }
        return kStatusOk;
    }
    const float distance = std::sqrt(distanceSquared);
    center_ = center_ + offset * ((deltaRadius + distance) / (2.0f * distance));
    radius_ = (distance + sphere->radius_ + radius_) * 0.5f;
    return kStatusOk;
}

int SphereBoundingVolume::TransformFrom(const BoundingVolume* source, const Transform& transform) {
    const SphereBoundingVolume* sphere = DynamicCast<SphereBoundingVolume>(source);
    if (!sphere) {
        LogWarning("Указатель на объём равен 0 при трансформации. Имя[%s] ID[%d].", GetName().GetText(), GetId());
        return kStatusNotFound;
    }
    // Only the x scale reaches the radius; a non-uniform scale is not allowed for.
    // Both values first: source may be this sphere.
    const Vector3 center = transform.TransformPoint(sphere->center_);
    const float radius = transform.TransformVector(Vector3(sphere->radius_, 0.0f, 0.0f)).Length();
    center_ = center;
    radius_ = radius;
    return kStatusOk;
}

int SphereBoundingVolume::PlaneSide(const Plane& plane) const {
    const float s = plane.SignedDistance(center_);
    if (s <= -radius_) return -1;
    if (s >= radius_) return 1;
    return 0;
}

} // namespace nuv
