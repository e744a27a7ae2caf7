#pragma once

#include "scene/Camera.h"

namespace nuv {

// A camera with three more stored parameters of a first-person controller. Nothing reads
// them; they are kept so that scenes load and save unchanged.
class FPCamera : public Camera {
    NUV_DECLARE_OBJECT
public:
    FPCamera() = default;

    // Persisted after the Camera fields: move speed, turn speed, invert-pitch flag.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;

    float GetMoveSpeed() const { return moveSpeed_; }
    void SetMoveSpeed(float speed) { moveSpeed_ = speed; }
    float GetTurnSpeed() const { return turnSpeed_; }
    void SetTurnSpeed(float speed) { turnSpeed_ = speed; }
    bool GetInvertPitch() const { return invertPitch_; }
    void SetInvertPitch(bool invert) { invertPitch_ = invert; }

private:
    float moveSpeed_ = 1.0f;
    float turnSpeed_ = 3.0f;
    bool invertPitch_ = false;
};

} // namespace nuv
