#include "scene/FPCamera.h"

#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(FPCamera, Camera)

int FPCamera::Save(Stream& stream) {
    if (Camera::Save(stream) != 0) {
        LogError("Невозможно сохранить родительские данные. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    stream.WriteFloat(moveSpeed_);
    stream.WriteFloat(turnSpeed_);
    stream.WriteBool(invertPitch_);
    if (stream.GetError() != 0) {
        LogError("Невозможно сохранить данные камеры. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    return kStatusOk;
}

int FPCamera::Load(Stream& stream) {
    if (Camera::Load(stream) != 0) {
        LogError("Невозможно загрузить родительские данные. ID[%d]", GetId());
        return kStatusFailed;
    }
    float moveSpeed = 0.0f, turnSpeed = 0.0f;
    bool invertPitch = false;
    stream.ReadFloat(moveSpeed);
    stream.ReadFloat(turnSpeed);
    stream.ReadBool(invertPitch);
    if (stream.GetError() != 0) {
        LogError("Невозможно загрузить данные камеры. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return kStatusFailed;
    }
    moveSpeed_ = moveSpeed;
    turnSpeed_ = turnSpeed;
    invertPitch_ = invertPitch;
    return kStatusOk;
}

} // namespace nuv
