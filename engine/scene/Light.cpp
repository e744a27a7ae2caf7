#include "scene/Light.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
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
    FieldWriter out(stream, *this);
    out.Parent(Node::Save(stream))
        .Int(fields_.lightType)
        .Color(fields_.ambient)
        .Color(fields_.diffuse)
        .Color(fields_.specular)
        .Float(fields_.attenuation0)
        .Float(fields_.attenuation1)
        .Float(fields_.attenuation2)
        .Bool(fields_.useAttenuation)
        .Float(fields_.falloff)
        .Float(fields_.spotAngle)
        .Check("Невозможно сохранить данные источника света. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int Light::Load(Stream& stream) {
    FieldReader in(stream, *this);
    Fields read;
    in.Parent(Node::Load(stream))
        .Int(read.lightType)
        .Color(read.ambient)
        .Color(read.diffuse)
        .Color(read.specular)
        .Float(read.attenuation0)
        .Float(read.attenuation1)
        .Float(read.attenuation2)
        .Bool(read.useAttenuation)
        .Float(read.falloff)
        .Float(read.spotAngle)
        .Check("Невозможно загрузить данные источника света. ID[%d] Имя[%s]");
    if (in) fields_ = read;
    return in.GetStatus();
}

} // namespace nuv
