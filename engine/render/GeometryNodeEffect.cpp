#include "render/GeometryNodeEffect.h"

#include "core/Controller.h"
#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
#include "core/Stream.h"
#include "media/ModuleManager.h"
#include "render/Renderer.h"
#include "scene/GeometryNode.h"
#include "scene/SphereBoundingVolume.h"

#include <cfloat>

namespace nuv {

NUV_IMPLEMENT_ABSTRACT_OBJECT(GeometryNodeEffect, Effect)

namespace {

GeometryNodeEffect::CpuSkinningSwitch gCpuSkinningSwitch = nullptr;

void SetCpuSkinning(Controller* controller, bool onCpu) {
    if (controller && gCpuSkinningSwitch) gCpuSkinningSwitch(controller, onCpu);
}

// The skin controller is a class of the animation library, above this one: it is known by the
// name of its type record.
bool IsSkinController(const Controller* controller) {
    static const String kSkinController("Nuv.SkinController");
    for (const Rtti* type = &controller->GetType(); type; type = type->GetParent())
        if (type->GetName() == kSkinController) return true;
    return false;
}

} // namespace

void GeometryNodeEffect::SetCpuSkinningSwitch(CpuSkinningSwitch function) {
    gCpuSkinningSwitch = function;
}

GeometryNodeEffect::GeometryNodeEffect() = default;

GeometryNodeEffect::~GeometryNodeEffect() = default;

void GeometryNodeEffect::SetSkinController(Controller* controller) {
    if (skinController_ == controller) return;
    SetCpuSkinning(skinController_.Get(), true);
    skinController_ = controller;
    RefreshCurrentTechnique();
    if (!controller) return;
    SetCpuSkinning(controller, true);
    GeometryNode* geometry = DynamicCast<GeometryNode>(controller->GetOwner());
    MakeUncullable(geometry ? geometry : geometry_);
}

void GeometryNodeEffect::MakeUncullable(GeometryNode* geometry) {
    if (!geometry) return;
    if (auto* sphere = DynamicCast<SphereBoundingVolume>(geometry->GetModelBound())) {
        sphere->SetCenter(Vector3(0.0f, 0.0f, 0.0f));
        sphere->SetRadius(FLT_MAX);
        if (BoundingVolume* world = geometry->GetWorldBound()) world->CopyFrom(sphere);
    }
    geometry->SetUpdateWorldBound(false);
}

void GeometryNodeEffect::Update(double dt) {
    Effect::Update(dt);
    swayTime += float(dt);
    if (!skinController_) return;
    // A loaded effect gets its geometry (and the geometry its fitted bound) after the link.
    if (geometry_ && geometry_->GetUpdateWorldBound()) MakeUncullable(geometry_);
    const Renderer* renderer = ModuleManager::GetRenderer();
    if (!renderer) return;
    const int level = renderer->GetCaps().vertexLevel;
    if (level == 1 || level == 2) {
        SetCpuSkinning(skinController_.Get(), false);
    } else {
        // vs_1_1 has too few constant registers for the bones: the CPU keeps skinning.
        SetSkinController(nullptr);
    }
}

int GeometryNodeEffect::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    if (!out.Parent(Effect::Save(stream))) return out.GetStatus();
    int wrapBits = 0;
    for (int i = 0; i < kStageCount; ++i)
        if (!wrap[i]) wrapBits |= 1 << i;
    out.Byte(wrapBits)
        .Color(diffuse)
        .Color(ambient)
        .Color(specular)
        .Color(emissive)
        .Float(specularPower)
        .Bool(alphaTest != 0)
        .Int(alphaReference)
        .Byte((blendEnabled ? 0x01 : 0) | (cullEnabled ? 0 : 0x10))
        .Int(sourceBlend)
        .Int(destinationBlend)
        .Bool(fogEnabled != 0)
        .Color(fogColor)
        .Float(fogDensity)
        .Float(fogExponent)
        .Bool(swayEnabled != 0)
        .Float(swayAmplitude)
        .Float(swayFrequency)
        .Link(skinController_.Get())
        .Check();
    return out.GetStatus();
}

int GeometryNodeEffect::Load(Stream& stream) {
    FieldReader in(stream, *this);
    if (!in.Parent(Effect::Load(stream))) return in.GetStatus();
    uint8_t wrapBits = 0, blendBits = 0;
    bool alpha = false, fog = false, sway = false;
    in.Byte(wrapBits);
    for (int i = 0; i < kStageCount; ++i) wrap[i] = (wrapBits >> i) & 1 ? 0 : 1;
    in.Color(diffuse).Color(ambient).Color(specular).Color(emissive).Float(specularPower).Bool(alpha);
    alphaTest = alpha ? 1 : 0;
    in.Int(alphaReference).Byte(blendBits);
    blendEnabled = (blendBits & 0x0F) != 0 ? 1 : 0;
    cullEnabled = blendBits < 0x10 ? 1 : 0;
    in.Int(sourceBlend).Int(destinationBlend).Bool(fog);
    fogEnabled = fog ? 1 : 0;
    RefreshCurrentTechnique();
    in.Color(fogColor).Float(fogDensity).Float(fogExponent).Bool(sway);
    swayEnabled = sway ? 1 : 0;
    RefreshCurrentTechnique();
    in.Float(swayAmplitude).Float(swayFrequency);
    // Only a skin controller may be linked here: its CPU switch is all the effect drives.
    Controller* controller = nullptr;
    in.Link(controller)
        .Check()
        .Check("Контроллер скиннинга эффекта не является контроллером скиннинга. ID[%d] Имя[%s]",
               !controller || IsSkinController(controller));
    if (in) SetSkinController(controller);
    return in.GetStatus();
}

void GeometryNodeEffect::VisitLinks(LinkVisitor& visitor) {
    Effect::VisitLinks(visitor);
    if (visitor.Refuses(*this, skinController_)) SetSkinController(nullptr);
}

} // namespace nuv
