#include "render/ColorEffect.h"

#include "core/Log.h"
#include "core/Stream.h"
#include "render/BasicEffectPass.h"
#include "render/CapsTechnique.h"

#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(ColorEffect, GeometryNodeEffect)

ColorEffect::ColorEffect() {
    AddColorTechniques();
}

ColorEffect::~ColorEffect() = default;

void ColorEffect::AddSinglePass(Technique* technique, Pass* pass) {
    Pointer<Pass> held = pass;
    if (!technique || !pass || technique->AddPass(pass) != 0 || AddTechnique(technique) != 0) {
        delete technique;
        LogError("Недостаточно памяти для создания техники эффекта. ID[%d]", GetId());
    }
}

void ColorEffect::AddColorTechniques(bool withFixed) {
    AddSinglePass(new (std::nothrow) CapsTechnique(&CapsTechnique::HasPrograms),
                  new (std::nothrow) BasicEffectPass(this, BasicEffectPass::kColor, true));
    if (withFixed)
        AddSinglePass(new (std::nothrow) CapsTechnique(&CapsTechnique::Always),
                  new (std::nothrow) BasicEffectPass(this, BasicEffectPass::kColor, false));
}

int ColorEffect::Save(Stream& stream) {
    if (GeometryNodeEffect::Save(stream) != 0) return 1;
    if (stream.WriteColor(color_) != 0) {
        LogError("Невозможно сохранить цвет. Имя[%s] ID[%d]", GetName().GetText(), GetId());
        return 1;
    }
    return 0;
}

int ColorEffect::Load(Stream& stream) {
    if (GeometryNodeEffect::Load(stream) != 0) return 1;
    if (stream.ReadColor(color_) != 0) {
        LogError("Невозможно загрузить цвет. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return 1;
    }
    return 0;
}

} // namespace nuv
