#include "scene/SpriteParticleSystem.h"

#include "core/ColorBuffer.h"
#include "core/FloatBuffer.h"
#include "core/Log.h"
#include "core/Vector2Buffer.h"
#include "core/Vector3Buffer.h"
#include "media/ModuleManager.h"
#include "render/Renderer.h"
#include "render/SpriteEffect.h"
#include "render/Technique.h"
#include "scene/Camera.h"
#include "scene/SpriteGeometry.h"

#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(SpriteParticleSystem, ParticleSystem)

SpriteParticleSystem::SpriteParticleSystem() {
    Pointer<SpriteEffect> effect = new (std::nothrow) SpriteEffect();
    if (!effect) LogError("Недостаточно памяти для создания эффекта спрайтов.");
    SetEffect(effect.Get());
}

int SpriteParticleSystem::GetPrimitiveType() const {
    return SpriteGeometry::HasPointSprites() ? 0 : 3;
}

void SpriteParticleSystem::AllocateBuffers() {
    const int count = GetMaxParticles();
    SpriteGeometry::Allocate(*this, count, SpriteGeometry::HasPointSprites(), false);
}

void SpriteParticleSystem::UpdateWorld(double dt) {
    ParticleSystem::UpdateWorld(dt);
    primitiveCount_ = 0;
    const int count = GetMaxParticles();
    if (count <= 0) return;
    const bool points = SpriteGeometry::HasPointSprites();
    // The device's form may differ from the one the buffers were made for (a capability cap
    // set after loading): the buffers follow it.
    if (!SpriteGeometry::Matches(*this, count, points)) AllocateBuffers();
    if (!SpriteGeometry::Matches(*this, count, points)) return;

    auto* vertices = static_cast<Vector3Buffer*>(GetVertices());
    Vector3* position = vertices->GetElements();
    Color* color = GetColors()->GetElements();
    int live = 0;
    if (points) {
        float* size = GetPointSizes()->GetElements();
        for (const Particle* p = GetLiveParticles(); p; p = p->next, ++live) {
            position[live] = p->position;
            color[live] = p->color;
            size[live] = p->size;
        }
        primitiveCount_ = live;
        GetPointSizes()->MarkDirty();
        GetColors()->MarkDirty();
        vertices->MarkDirty();
        return;
    }
    const Renderer* renderer = ModuleManager::GetRenderer();
    const Camera* camera = renderer ? renderer->GetCamera() : nullptr;
    if (!camera) return;
    Vector3 a, b;
    SpriteGeometry::QuadAxes(*camera, a, b);
    for (const Particle* p = GetLiveParticles(); p; p = p->next, ++live) {
        SpriteGeometry::WriteQuad(position + 6 * live, p->position, p->size, a, b);
        for (int k = 0; k < 6; ++k) color[6 * live + k] = p->color;
    }
    primitiveCount_ = 2 * live;
    vertices->MarkDirty();
    GetColors()->MarkDirty();
}

void SpriteParticleSystem::UpdateBound() {
    if (!GetUpdateWorldBound()) return;
    const Buffer* vertices = GetVertices();
    if (BoundingVolume* world = GetWorldBound(); world && vertices && vertices->IsExactly(Vector3Buffer::TYPE))
        world->FitToPoints(static_cast<const Vector3Buffer*>(vertices));
}

void SpriteParticleSystem::Render(Renderer& renderer) {
    renderer.DrawGeometry(this);
}

void SpriteParticleSystem::Draw(Renderer& renderer) {
    const Camera* camera = renderer.GetCamera();
    if (!camera || primitiveCount_ <= 0) {
        SpriteGeometry::DrawPrimitives(*this, renderer, primitiveCount_);
        return;
    }
    // A particle out of the view covers no pixel: only those the camera sees are sent to the
    // device, written again at the front of the buffers (which the update fills with all, for
    // the bound). A snow cloud round the village is mostly out of any one view.
    const bool points = SpriteGeometry::HasPointSprites();
    Vector3* position = static_cast<Vector3Buffer*>(GetVertices())->GetElements();
    Color* color = GetColors()->GetElements();
    float* size = points ? GetPointSizes()->GetElements() : nullptr;
    Vector3 a, b;
    if (!points) SpriteGeometry::QuadAxes(*camera, a, b);
    int seen = 0;
    for (const Particle* p = GetLiveParticles(); p; p = p->next) {
        bool inside = true;
        for (int i = 0; i < Camera::kPlaneCount && inside; ++i) {
            const Plane& plane = camera->GetPlane(i);
            inside = Dot(plane.normal, p->position) - plane.distance >= -p->size;
        }
        if (!inside) continue;
        if (points) {
            position[seen] = p->position;
            color[seen] = p->color;
            size[seen] = p->size;
        } else {
            SpriteGeometry::WriteQuad(position + 6 * seen, p->position, p->size, a, b);
            for (int k = 0; k < 6; ++k) color[6 * seen + k] = p->color;
        }
        ++seen;
    }
    GetVertices()->MarkDirty();
    GetColors()->MarkDirty();
    if (points) GetPointSizes()->MarkDirty();
    SpriteGeometry::DrawPrimitives(*this, renderer, points ? seen : 2 * seen);
}

} // namespace nuv
