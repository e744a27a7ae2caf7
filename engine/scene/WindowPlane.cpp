#include "scene/WindowPlane.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "core/Vector2Buffer.h"
#include "core/Vector3Buffer.h"
#include "render/GeometryNodeEffect.h"
#include "render/Pass.h"
#include "render/Renderer.h"
#include "render/TextureEffect.h"
#include "scene/Camera.h"
#include "scene/SphereBoundingVolume.h"

#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(WindowPlane, Triangles)

namespace {

// Maps the unit square onto clip space: x, y in 0..1 to -1..1.
constexpr Matrix4 kScreenProjection(2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, -1, -1, 0, 1);

} // namespace

WindowPlane::WindowPlane() {
    static const Vector3 kCorners[6] = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 0, 0}, {1, 1, 0}, {1, 0, 0}};
    static const Vector2 kTexCoords[6] = {{0, 1}, {0, 0}, {1, 0}, {0, 1}, {1, 0}, {1, 1}};
    Pointer<Vector3Buffer> vertices = new (std::nothrow) Vector3Buffer(6);
    Pointer<Vector2Buffer> texCoords = new (std::nothrow) Vector2Buffer(6);
    if (!vertices || !texCoords || vertices->GetCount() != 6 || texCoords->GetCount() != 6) {
        LogError("Недостаточно памяти для создания плоскости.");
        return;
    }
    for (int i = 0; i < 6; ++i) {
        vertices->GetElements()[i] = kCorners[i];
        texCoords->GetElements()[i] = kTexCoords[i];
    }
    SetVertices(vertices.Get());
    SetTexCoords(0, texCoords.Get());
    Pointer<TextureEffect> effect = new (std::nothrow) TextureEffect();
    if (!effect) LogError("Недостаточно памяти для создания эффекта текстуры.");
    SetEffect(effect.Get());
    ComputeModelBound();
}

void WindowPlane::ComputeModelBound() {
    if (auto* sphere = DynamicCast<SphereBoundingVolume>(GetModelBound())) {
        sphere->SetCenter(Vector3());
        sphere->SetRadius(3.4028235e38f);
    }
}

void WindowPlane::Render(Renderer& renderer) {
    if (GetVertices()) renderer.DrawGeometry(this);
}

void WindowPlane::CullAndRender(Renderer& renderer) {
    Render(renderer);
}

void WindowPlane::Draw(Renderer& renderer) {
    GeometryNodeEffect* effect = GetEffect();
    if (!effect) return;
    // Six vertices are drawn: a file may have left fewer.
    const Buffer* vertices = GetVertices();
    if (!vertices || vertices->GetCount() < 6 || !HasConsistentBuffers()) return;
    Transform placed;
    placed.SetScale(Vector3(size.x, size.y, 1.0f));
    placed.SetTranslation(Vector3(position.x, position.y, 0.0f));
    SetWorldTransform(placed);

    // Drawn in screen space: the camera's matrices map the unit square onto the viewport for
    // every pass, fixed-function or programmed, and are put back afterwards.
    Camera* camera = renderer.GetCamera();
    if (!camera) return;
    const Matrix4 view = camera->GetView();
    const Matrix4 projection = camera->GetProjection();
    const Matrix4 viewProjection = camera->GetViewProjection();
    camera->SetView(Matrix4::Identity());
    camera->SetProjection(kScreenProjection);
    camera->SetViewProjection(kScreenProjection);

    renderer.SetCurrentGeometry(this);
    Technique* technique = effect->CurrentTechnique();
    const int passes = technique ? effect->PassCount() : 0;
    for (int i = 0; i < passes; ++i) {
        if (renderer.ApplyPass(technique, i) == Pass::kDraw) {
            // Passes that draw in world space (sprites) set an identity world matrix.
            renderer.SetWorldMatrix(placed.ToMatrix());
            renderer.DrawPrimitives(2);
        }
        renderer.DisableLights();
    }
    camera->SetView(view);
    camera->SetProjection(projection);
    camera->SetViewProjection(viewProjection);
    renderer.SetViewMatrix(view);
    renderer.SetProjectionMatrix(projection);
}

int WindowPlane::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Follow(GeometryNode::Save(stream))
        .Vector2(position)
        .Vector2(size, "Невозможно сохранить данные плоскости. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int WindowPlane::Load(Stream& stream) {
    FieldReader in(stream, *this);
    if (!in.Follow(GeometryNode::Load(stream))
             .Vector2(position)
             .Vector2(size, "Невозможно загрузить данные плоскости. Имя[%s] ID[%d]"))
        return in.GetStatus();
    ComputeModelBound();
    return kStatusOk;
}

} // namespace nuv
