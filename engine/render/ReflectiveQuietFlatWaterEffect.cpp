#include "render/ReflectiveQuietFlatWaterEffect.h"

#include "core/Log.h"
#include "core/Stream.h"
#include "media/image/Image.h"
#include "render/CapsTechnique.h"
#include "render/RenderScreenspaceReflectTextureController.h"
#include "render/Texture.h"
#include "render/WaterEffectPass.h"

#include <cstdio>
#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(ReflectiveQuietFlatWaterEffect, NormalmapTextureEffect)

ReflectiveQuietFlatWaterEffect::ReflectiveQuietFlatWaterEffect() : NormalmapTextureEffect(NoTechniques{}) {
    AddWaterTechniques();
    MakeReflectionMap();
}

ReflectiveQuietFlatWaterEffect::ReflectiveQuietFlatWaterEffect(NoTechniques)
    : NormalmapTextureEffect(NoTechniques{}) {
    MakeReflectionMap();
}

ReflectiveQuietFlatWaterEffect::~ReflectiveQuietFlatWaterEffect() = default;

bool ReflectiveQuietFlatWaterEffect::WaterSupported(const RendererCaps& caps) {
    return caps.vertexLevel != RendererCaps::kLevelNone && (caps.pixelLevel == 1 || caps.pixelLevel == 2);
}

void ReflectiveQuietFlatWaterEffect::AddWaterTechniques() {
    AddSinglePass(new (std::nothrow) CapsTechnique(&WaterSupported), new (std::nothrow) WaterEffectPass(this, false));
    AddNormalmapTechniques(false);
}

void ReflectiveQuietFlatWaterEffect::MakeReflectionMap() {
    Pointer<Texture> texture = new (std::nothrow) Texture();
    Pointer<Image> image = texture ? new (std::nothrow) Image(String(), 512, 256, Image::kRgba) : nullptr;
    Pointer<RenderScreenspaceReflectTextureController> controller =
        new (std::nothrow) RenderScreenspaceReflectTextureController();
    if (!texture || !image || !controller) {
        LogError("Недостаточно памяти для создания карты отражения. ID[%d]", GetId());
        return;
    }
    char name[32];
    std::snprintf(name, sizeof name, "Texture %d", texture->GetId());
    texture->SetName(String(name));
    texture->SetImage(image.Get());
    texture->AddController(controller.Get());
    reflectionMap_ = texture;
}

void ReflectiveQuietFlatWaterEffect::Update(double dt) {
    NormalmapTextureEffect::Update(dt);
    if (reflectionMap_) reflectionMap_->Update(dt);
}

Object* ReflectiveQuietFlatWaterEffect::FindByName(const String& name) {
    if (Object* found = NormalmapTextureEffect::FindByName(name)) return found;
    return FindIn(reflectionMap_.Get(), name);
}

void ReflectiveQuietFlatWaterEffect::CollectByType(const Rtti& type, Array<Object*>& found) {
    NormalmapTextureEffect::CollectByType(type, found);
    CollectIn(reflectionMap_.Get(), type, found);
}

int ReflectiveQuietFlatWaterEffect::Save(Stream& stream) {
    if (NormalmapTextureEffect::Save(stream) != 0) return 1;
    if (stream.WriteObject(reflectionMap_.Get()) != 0) {
        LogError("Невозможно сохранить карту отражения. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return 1;
    }
    stream.WriteVector2(normalmapScale);
    stream.WriteFloat(rippleRadius);
    stream.WriteFloat(rippleSpeed);
    stream.WriteFloat(distortion);
    if (stream.GetError() != 0) {
        LogError("Невозможно сохранить данные эффекта. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return 1;
    }
    return 0;
}

int ReflectiveQuietFlatWaterEffect::Load(Stream& stream) {
    if (NormalmapTextureEffect::Load(stream) != 0) return 1;
    Texture* map = nullptr;
    if (stream.ReadObjectAs(map) != 0) {
        LogError("Невозможно загрузить карту отражения. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return 1;
    }
    reflectionMap_ = map;
    stream.ReadVector2(normalmapScale);
    stream.ReadFloat(rippleRadius);
    stream.ReadFloat(rippleSpeed);
    stream.ReadFloat(distortion);
    if (stream.GetError() != 0) {
        LogError("Невозможно загрузить данные эффекта. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return 1;
    }
    return 0;
}

} // namespace nuv
