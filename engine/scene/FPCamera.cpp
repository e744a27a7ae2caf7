#include "scene/FPCamera.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Status.h"
#include "core/Stream.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(FPCamera, Camera)

int FPCamera::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Parent(Camera::Save(stream))
        .Float(moveSpeed_)
        .Float(turnSpeed_)
        .Bool(invertPitch_)
        .Check("Невозможно сохранить данные камеры. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int FPCamera::Load(Stream& stream) {
    FieldReader in(stream, *this);
    float moveSpeed = 0.0f, turnSpeed = 0.0f;
    bool invertPitch = false;
    in.Parent(Camera::Load(stream))
        .Float(moveSpeed)
        .Float(turnSpeed)
        .Bool(invertPitch)
        .Check("Невозможно загрузить данные камеры. ID[%d] Имя[%s]");
    if (!in) return in.GetStatus();
    moveSpeed_ = moveSpeed;
    turnSpeed_ = turnSpeed;
    invertPitch_ = invertPitch;
    return kStatusOk;
}

} // namespace nuv
