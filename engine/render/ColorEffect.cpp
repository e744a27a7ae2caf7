#include "render/ColorEffect.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Log.h"
#include "core/Status.h"
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
    if (!technique || !pass || technique->AddPass(pass) != kStatusOk || AddTechnique(technique) != kStatusOk) {
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
    FieldWriter out(stream, *this);
    out.Follow(GeometryNodeEffect::Save(stream)).Color(color_, "Невозможно сохранить цвет. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int ColorEffect::Load(Stream& stream) {
    FieldReader in(stream, *this);
    in.Follow(GeometryNodeEffect::Load(stream)).Color(color_, "Невозможно загрузить цвет. ID[%d] Имя[%s]");
    return in.GetStatus();
}

} // namespace nuv
