#include "render/GeometryNodeEffect.h"

#include "core/Controller.h"
#include "core/Log.h"
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
    if (Effect::Save(stream) != 0) {
        LogError("Невозможно сохранить родительские данные. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return 1;
    }
    int wrapBits = 0;
    for (int i = 0; i < kStageCount; ++i)
        if (!wrap[i]) wrapBits |= 1 << i;
    stream.WriteByte(wrapBits);
    stream.WriteColor(diffuse);
    stream.WriteColor(ambient);
    stream.WriteColor(specular);
    stream.WriteColor(emissive);
    stream.WriteFloat(specularPower);
    stream.WriteBool(alphaTest != 0);
    stream.WriteInt(alphaReference);
    stream.WriteByte((blendEnabled ? 0x01 : 0) | (cullEnabled ? 0 : 0x10));
    stream.WriteInt(sourceBlend);
    stream.WriteInt(destinationBlend);
    stream.WriteBool(fogEnabled != 0);
    stream.WriteColor(fogColor);
    stream.WriteFloat(fogDensity);
    stream.WriteFloat(fogExponent);
    stream.WriteBool(swayEnabled != 0);
    stream.WriteFloat(swayAmplitude);
    stream.WriteFloat(swayFrequency);
    stream.WriteObject(skinController_.Get());
    return stream.GetError() != 0 ? 1 : 0;
}

int GeometryNodeEffect::Load(Stream& stream) {
    if (Effect::Load(stream) != 0) {
        LogError("Невозможно загрузить родительские данные. ID[%d]", GetId());
        return 1;
    }
    uint8_t wrapBits = 0;
    stream.ReadByte(wrapBits);
    for (int i = 0; i < kStageCount; ++i) wrap[i] = (wrapBits >> i) & 1 ? 0 : 1;
    stream.ReadColor(diffuse);
    stream.ReadColor(ambient);
    stream.ReadColor(specular);
    stream.ReadColor(emissive);
    stream.ReadFloat(specularPower);
    bool flag = false;
    stream.ReadBool(flag);
    alphaTest = flag ? 1 : 0;
    stream.ReadInt(alphaReference);
    uint8_t blendBits = 0;
    stream.ReadByte(blendBits);
    blendEnabled = (blendBits & 0x0F) != 0 ? 1 : 0;
    cullEnabled = blendBits < 0x10 ? 1 : 0;
    stream.ReadInt(sourceBlend);
    stream.ReadInt(destinationBlend);
    flag = false;
    stream.ReadBool(flag);
    fogEnabled = flag ? 1 : 0;
    RefreshCurrentTechnique();
    stream.ReadColor(fogColor);
    stream.ReadFloat(fogDensity);
    stream.ReadFloat(fogExponent);
    flag = false;
    stream.ReadBool(flag);
    swayEnabled = flag ? 1 : 0;
    RefreshCurrentTechnique();
    stream.ReadFloat(swayAmplitude);
    stream.ReadFloat(swayFrequency);
    // Only a skin controller may be linked here: its CPU switch is all the effect drives.
    Controller* controller = nullptr;
    if (stream.ReadObjectAs(controller) != 0) return 1;
    if (controller && !IsSkinController(controller)) {
        LogError("Контроллер скиннинга эффекта не является контроллером скиннинга. ID[%d] Имя[%s]", GetId(),
                 GetName().GetText());
        return 1;
    }
    if (stream.GetError() != 0) return 1;
    SetSkinController(controller);
    return 0;
}

} // namespace nuv
