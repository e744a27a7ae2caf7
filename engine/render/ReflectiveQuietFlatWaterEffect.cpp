#include "render/ReflectiveQuietFlatWaterEffect.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
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
    FieldWriter out(stream, *this);
    out.Follow(NormalmapTextureEffect::Save(stream))
        .Link(reflectionMap_.Get(), "Невозможно сохранить карту отражения. Имя[%s] ID[%d]")
        .Vector2(normalmapScale)
        .Float(rippleRadius)
        .Float(rippleSpeed)
        .Float(distortion)
        .Check("Невозможно сохранить данные эффекта. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int ReflectiveQuietFlatWaterEffect::Load(Stream& stream) {
    FieldReader in(stream, *this);
    in.Follow(NormalmapTextureEffect::Load(stream))
        .Link(reflectionMap_, "Невозможно загрузить карту отражения. ID[%d] Имя[%s]")
        .Vector2(normalmapScale)
        .Float(rippleRadius)
        .Float(rippleSpeed)
        .Float(distortion)
        .Check("Невозможно загрузить данные эффекта. Имя[%s] ID[%d]");
    return in.GetStatus();
}

void ReflectiveQuietFlatWaterEffect::VisitLinks(LinkVisitor& visitor) {
    NormalmapTextureEffect::VisitLinks(visitor);
    if (visitor.Refuses(*this, reflectionMap_)) SetReflectionMap(nullptr);
}

} // namespace nuv
