#include "scene/Flare.h"

#include "core/ColorBuffer.h"
#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/FloatBuffer.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "core/Vector3Buffer.h"
#include "media/ModuleManager.h"
#include "render/Renderer.h"
#include "render/SpriteEffect.h"
#include "scene/Camera.h"
#include "scene/SphereBoundingVolume.h"
#include "scene/SpriteGeometry.h"

#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(Flare, GeometryNode)

Flare::Flare() {
    SpriteGeometry::Allocate(*this, 1, SpriteGeometry::HasPointSprites(), false);
    Pointer<SpriteEffect> effect = new (std::nothrow) SpriteEffect();
    if (!effect) LogError("Недостаточно памяти для создания эффекта спрайтов.");
    SetEffect(effect.Get());
    ComputeModelBound();
}

int Flare::GetPrimitiveType() const {
    return SpriteGeometry::HasPointSprites() ? 0 : 3;
}

void Flare::ComputeModelBound() {
    if (auto* sphere = DynamicCast<SphereBoundingVolume>(GetModelBound())) {
        sphere->SetCenter(Vector3());
        sphere->SetRadius(size * 5000.0f);
    }
}

void Flare::UpdateWorld(double dt) {
    GeometryNode::UpdateWorld(dt);
    primitiveCount_ = 0;
    const bool points = SpriteGeometry::HasPointSprites();
    const Vector3 centre = GetWorldTransform().GetTranslation();
    if (points) {
        // Buffers loaded from a file, or made for quads, are replaced by the one point.
        if (!SpriteGeometry::Matches(*this, 1, true) && !SpriteGeometry::Allocate(*this, 1, true, false)) return;
        static_cast<Vector3Buffer*>(GetVertices())->GetElements()[0] = centre;
        GetColors()->GetElements()[0] = color;
        GetPointSizes()->GetElements()[0] = size;
        GetVertices()->MarkDirty();
        GetColors()->MarkDirty();
        GetPointSizes()->MarkDirty();
        primitiveCount_ = 1;
        return;
    }
    const Renderer* renderer = ModuleManager::GetRenderer();
    const Camera* camera = renderer ? renderer->GetCamera() : nullptr;
    if (!camera) return;
    if (!SpriteGeometry::Matches(*this, 1, false) && !SpriteGeometry::Allocate(*this, 1, false, false)) return;
    Vector3 a, b;
    SpriteGeometry::QuadAxes(*camera, a, b);
    SpriteGeometry::WriteQuad(static_cast<Vector3Buffer*>(GetVertices())->GetElements(), centre, size, a, b);
    Color* colors = GetColors()->GetElements();
    for (int k = 0; k < 6; ++k) colors[k] = color;
    GetVertices()->MarkDirty();
    GetColors()->MarkDirty();
    primitiveCount_ = 2;
}

void Flare::Render(Renderer& renderer) {
    renderer.DrawGeometry(this);
}

void Flare::Draw(Renderer& renderer) {
    SpriteGeometry::DrawPrimitives(*this, renderer, primitiveCount_);
}

int Flare::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Follow(GeometryNode::Save(stream))
        .Color(color)
        .Float(size, "Невозможно сохранить данные флара. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int Flare::Load(Stream& stream) {
    FieldReader in(stream, *this);
    if (!in.Follow(GeometryNode::Load(stream))
             .Color(color)
             .Float(size, "Невозможно загрузить данные флара. Имя[%s] ID[%d]"))
        return in.GetStatus();
    if (!(size >= 0.0f)) size = 0.0f;
    ComputeModelBound();
    return kStatusOk;
}

} // namespace nuv
