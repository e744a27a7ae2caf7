#pragma once

#include "scene/Node.h"

#include <cmath>

namespace nuv {

// The shared steps of the target controllers: brings the owner's world transform up to date,
// turns its local rotation toward the target and makes that the world rotation, so the owner's
// own world update in this frame keeps the aim (it ignores the parent's rotation on purpose:
// the aim is a world direction). forLight picks the light's form of the right axis, which
// also aims straight up and down.
inline void AimAtTarget(Node& owner, const Node& target, bool forLight) {
    owner.SetUpdateWorldTransform(true);
    owner.ComputeWorldTransform();
    owner.SetUpdateWorldTransform(false);

    const Vector3 d = target.GetWorldTransform().GetTranslation() - owner.GetWorldTransform().GetTranslation();
    const Vector3 forward = d.Normalized();
    // A target at the owner's own place gives no direction: the owner keeps its rotation.
    if (forward.LengthSquared() == 0.0f) return;

    const Vector3 worldUp(0.0f, 1.0f, 0.0f);
    Vector3 right;
    if (forLight && std::fabs(Dot(worldUp, forward)) > 0.999f) right = Vector3(1.0f, 0.0f, 0.0f);
    else right = Cross(worldUp, forLight ? forward : d).Normalized();
    // Straight up or down the cross product vanishes and the rotation would be degenerate (a
    // camera matrix of zeros); the light's fixed right axis stands in there.
    if (right.LengthSquared() == 0.0f) right = Vector3(1.0f, 0.0f, 0.0f);
    const Vector3 up = Cross(forward, right).Normalized();

    // The axes are the columns of the rotation matrix.
    Matrix4 m;
    for (int row = 0; row < 3; ++row) {
        m.m[row][0] = right[row];
        m.m[row][1] = up[row];
        m.m[row][2] = forward[row];
    }
    const Quaternion rotation = Quaternion::FromRotationMatrix(m);
    owner.GetLocalTransform().SetRotation(rotation);
    Transform world = owner.GetWorldTransform();
    world.SetRotation(rotation);
    owner.SetWorldTransform(world);
}

} // namespace nuv
