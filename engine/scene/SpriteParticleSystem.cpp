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

namespace {

// Whether a sprite of this size round this point reaches into the camera's view.
bool Inside(const Camera& camera, const Vector3& position, float size) {
    for (int i = 0; i < Camera::kPlaneCount; ++i) {
        const Plane& plane = camera.GetPlane(i);
        if (Dot(plane.normal, position) - plane.distance < -size) return false;
    }
    return true;
}

} // namespace

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
        frameKept_ = false;
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
    // Buffers made for the other form (the device changed since the update) hold nothing to cull.
    if (!SpriteGeometry::Matches(*this, GetMaxParticles(), points)) return;
    if (points) {
        SpriteGeometry::DrawPrimitives(*this, renderer, GatherVisiblePoints(*camera));
        return;
    }
    Vector3* position = static_cast<Vector3Buffer*>(GetVertices())->GetElements();
    Color* color = GetColors()->GetElements();
    Vector3 a, b;
    SpriteGeometry::QuadAxes(*camera, a, b);
    int seen = 0;
    for (const Particle* p = GetLiveParticles(); p; p = p->next) {
        if (!Inside(*camera, p->position, p->size)) continue;
        SpriteGeometry::WriteQuad(position + 6 * seen, p->position, p->size, a, b);
        for (int k = 0; k < 6; ++k) color[6 * seen + k] = p->color;
        ++seen;
    }
    GetVertices()->MarkDirty();
    GetColors()->MarkDirty();
    SpriteGeometry::DrawPrimitives(*this, renderer, 2 * seen);
}

int SpriteParticleSystem::GatherVisiblePoints(const Camera& camera) {
    Vector3* position = static_cast<Vector3Buffer*>(GetVertices())->GetElements();
    Color* color = GetColors()->GetElements();
    float* size = GetPointSizes()->GetElements();
    const size_t count = size_t(primitiveCount_);
    if (!frameKept_) {
        framePositions_.assign(position, position + count);
        frameColors_.assign(color, color + count);
        frameSizes_.assign(size, size + count);
        frameKept_ = true;
    }
    int seen = 0;
    for (size_t i = 0; i < count && i < framePositions_.size(); ++i) {
        if (!Inside(camera, framePositions_[i], frameSizes_[i])) continue;
        position[seen] = framePositions_[i];
        color[seen] = frameColors_[i];
        size[seen] = frameSizes_[i];
        ++seen;
    }
    GetVertices()->MarkDirty();
    GetColors()->MarkDirty();
    GetPointSizes()->MarkDirty();
    return seen;
}

} // namespace nuv
