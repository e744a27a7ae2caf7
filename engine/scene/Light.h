#pragma once

#include "core/Color.h"
#include "scene/Node.h"

#include <cstdint>

namespace nuv {

// The parameters of one light source, placed and turned by the node's world transform. The
// renderer turns it into a device light; lighting effects read it.
class Light : public Node {
    NUV_DECLARE_OBJECT
public:
    enum Type : int32_t {
        kDefaultDirectional = 0,  // along +z whatever the node's rotation
        kDirectional = 1,         // along the node's forward axis
        kPoint = 2,               // at the node's position
        kSpot = 3,                // at the node's position along its forward axis
    };
    // The largest range the device accepts: the square root of the largest float.
    static constexpr float kRange = 1.8446744e19f;

    Light() = default;

    // Persisted after the Node fields, in the order of the members below.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;

    // World position, and the direction the light shines in for its type.
    Vector3 GetPosition() const;
    Vector3 GetDirection() const;
    // (attenuation0, 1, 2) when attenuation is in use, else (1, 0, 0).
    Vector3 GetDeviceAttenuation() const;
    float GetInnerConeAngle() const { return 2.0f * fields_.spotAngle; }
    float GetOuterConeAngle() const { return 2.1f * fields_.spotAngle; }

    int32_t GetLightType() const { return fields_.lightType; }
    void SetLightType(int32_t type) { fields_.lightType = type; }
    const Color& GetAmbient() const { return fields_.ambient; }
    void SetAmbient(const Color& color) { fields_.ambient = color; }
    const Color& GetDiffuse() const { return fields_.diffuse; }
    void SetDiffuse(const Color& color) { fields_.diffuse = color; }
    const Color& GetSpecular() const { return fields_.specular; }
    void SetSpecular(const Color& color) { fields_.specular = color; }
    Vector3 GetAttenuation() const { return {fields_.attenuation0, fields_.attenuation1, fields_.attenuation2}; }
    void SetAttenuation(const Vector3& factors);
    bool GetUseAttenuation() const { return fields_.useAttenuation; }
    void SetUseAttenuation(bool use) { fields_.useAttenuation = use; }
    float GetFalloff() const { return fields_.falloff; }
    void SetFalloff(float falloff) { fields_.falloff = falloff; }
    float GetSpotAngle() const { return fields_.spotAngle; }
    void SetSpotAngle(float angle) { fields_.spotAngle = angle; }

private:
    // The stored fields, in file order; Load reads into a copy so a short file changes nothing.
    struct Fields {
        int32_t lightType = kDefaultDirectional;
        Color ambient{0, 0, 0, 1};
        Color diffuse{0, 0, 0, 1};
        Color specular{0, 0, 0, 1};
        float attenuation0 = 1.0f;
        float attenuation1 = 0.0f;
        float attenuation2 = 0.0f;
        bool useAttenuation = false;
        float falloff = 1.0f;
        float spotAngle = 0.7853982f;
    } fields_;
};

} // namespace nuv
