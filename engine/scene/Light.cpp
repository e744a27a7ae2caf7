#include "scene/Light.h"

#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(Light, Node)

Vector3 Light::GetPosition() const { return GetWorldTransform().GetTranslation(); }

Vector3 Light::GetDirection() const {
    if (fields_.lightType == kDefaultDirectional) return {0.0f, 0.0f, 1.0f};
    // The forward axis: column 2 of R(q), as for cameras.
    const Quaternion& q = GetWorldTransform().GetRotation();
    return {2 * (q.x * q.z + q.w * q.y), 2 * (q.y * q.z - q.w * q.x), 1 - 2 * (q.x * q.x + q.y * q.y)};
}

Vector3 Light::GetDeviceAttenuation() const {
    return fields_.useAttenuation ? GetAttenuation() : Vector3(1.0f, 0.0f, 0.0f);
}

void Light::SetAttenuation(const Vector3& factors) {
    fields_.attenuation0 = factors.x;
    fields_.attenuation1 = factors.y;
    fields_.attenuation2 = factors.z;
}

int Light::Save(Stream& stream) {
    if (Node::Save(stream) != 0) {
        LogError("Невозможно сохранить родительские данные. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    stream.WriteInt(fields_.lightType);
    stream.WriteColor(fields_.ambient);
    stream.WriteColor(fields_.diffuse);
    stream.WriteColor(fields_.specular);
    stream.WriteFloat(fields_.attenuation0);
    stream.WriteFloat(fields_.attenuation1);
    stream.WriteFloat(fields_.attenuation2);
    stream.WriteBool(fields_.useAttenuation);
    stream.WriteFloat(fields_.falloff);
    stream.WriteFloat(fields_.spotAngle);
    if (stream.GetError() != 0) {
        LogError("Невозможно сохранить данные источника света. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return kStatusFailed;
    }
    return kStatusOk;
}

int Light::Load(Stream& stream) {
    if (Node::Load(stream) != 0) {
        LogError("Невозможно загрузить родительские данные. ID[%d]", GetId());
        return kStatusFailed;
    }
    Fields read;
    stream.ReadInt(read.lightType);
    stream.ReadColor(read.ambient);
    stream.ReadColor(read.diffuse);
    stream.ReadColor(read.specular);
    stream.ReadFloat(read.attenuation0);
    stream.ReadFloat(read.attenuation1);
    stream.ReadFloat(read.attenuation2);
    stream.ReadBool(read.useAttenuation);
    stream.ReadFloat(read.falloff);
    stream.ReadFloat(read.spotAngle);
    if (stream.GetError() != 0) {
        LogError("Невозможно загрузить данные источника света. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return kStatusFailed;
    }
    fields_ = read;
    return kStatusOk;
}

} // namespace nuv
