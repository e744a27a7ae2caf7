#pragma once

#include "core/Color.h"
#include "core/Pointer.h"
#include "render/Effect.h"

#include <cstdint>

namespace nuv {

class Controller;
class GeometryNode;

// Base of every effect attached to a geometry node: the material, alpha test, blending, fog and
// sway parameters that scene files store, the skinning done in the vertex program and the
// per-stage wrap flags. The passes copy these into their state blocks on Refresh.
class GeometryNodeEffect : public Effect {
    NUV_DECLARE_OBJECT
public:
    static constexpr int kStageCount = 8;

    // The skin controller's CPU-skinning switch: the controllers live above this library, so
    // they hand the switch in here. Without it the effect keeps its reference and does nothing.
    using CpuSkinningSwitch = void (*)(Controller* controller, bool onCpu);
    static void SetCpuSkinningSwitch(CpuSkinningSwitch function);

    ~GeometryNodeEffect() override;

    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;
    // Controllers, sway time, then where skinning runs for this renderer.
    void Update(double dt) override;

    // The geometry this effect draws: a plain back pointer, the geometry holds the effect.
    GeometryNode* GetGeometry() const { return geometry_; }
    void SetGeometry(GeometryNode* geometry) { geometry_ = geometry; }

    // Skinning in the vertex program: the previous controller goes back to the CPU; the new one
    // stays on the CPU until an update finds a vertex level that can skin, and its geometry is
    // never culled (its shape is only known to the program).
    void SetSkinController(Controller* controller);
    Controller* GetSkinController() const { return skinController_.Get(); }

    // Blended geometry is drawn late, back to front.
    bool IsBlendEnabled() const { return blendEnabled != 0; }
    void SetBlendEnabled(bool enabled) { blendEnabled = enabled ? 1 : 0; }

    uint8_t depthTest = 1;
    uint8_t depthWrite = 1;
    uint8_t wireframe = 0;
    Color diffuse{0.8f, 0.8f, 0.8f, 1.0f};
    Color ambient{0.2f, 0.2f, 0.2f, 1.0f};
    Color specular{0.0f, 0.0f, 0.0f, 1.0f};
    Color emissive{0.0f, 0.0f, 0.0f, 1.0f};
    float specularPower = 1.0f;
    uint8_t alphaTest = 0;
    int32_t alphaReference = 1;
    uint8_t blendEnabled = 0;
    int32_t sourceBlend = 4;
    int32_t destinationBlend = 5;
    uint8_t fogEnabled = 0;
    Color fogColor{1.0f, 1.0f, 1.0f, 1.0f};
    float fogDensity = 0.001f;
    float fogExponent = 2.0f;
    float swayAmplitude = 0.05f;
    float swayFrequency = 1.0f;
    float swayTime = 0.0f;  // the sum of all time steps
    uint8_t swayEnabled = 0;
    uint8_t cullEnabled = 1;
    uint8_t wrap[kStageCount] = {1, 1, 1, 1, 1, 1, 1, 1};

protected:
    GeometryNodeEffect();

private:
    // The skinned shape is only known to the vertex program: an unlimited bound, never refitted.
    static void MakeUncullable(GeometryNode* geometry);

    GeometryNode* geometry_ = nullptr;
    Pointer<Controller> skinController_;
};

} // namespace nuv
