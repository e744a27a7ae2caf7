#include "scene/SpriteGeometry.h"

#include "core/ColorBuffer.h"
#include "core/FloatBuffer.h"
#include "core/Log.h"
#include "core/Vector2Buffer.h"
#include "core/Vector3Buffer.h"
#include "media/ModuleManager.h"
#include "render/GeometryNodeEffect.h"
#include "render/Pass.h"
#include "render/Renderer.h"
#include "scene/Camera.h"
#include "scene/GeometryNode.h"

#include <new>

namespace nuv {

namespace {

const Vector2 kQuadTexCoords[6] = {{0.0f, 1.0f}, {0.0f, 0.0f}, {1.0f, 1.0f},
                                   {0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}};

} // namespace

bool SpriteGeometry::HasPointSprites() {
    const Renderer* renderer = ModuleManager::GetRenderer();
    return renderer && renderer->GetCaps().pointSprites != 0;
}

bool SpriteGeometry::Allocate(GeometryNode& node, int count, bool points, bool lampCentres) {
    node.SetVertices(nullptr);
    node.SetTexCoords(0, nullptr);
    node.SetPointSizes(nullptr);
    node.SetColors(nullptr);
    if (lampCentres) node.SetNormals(nullptr);
    if (count <= 0) return false;
    const int n = points ? count : 6 * count;
    Pointer<Vector3Buffer> vertices = new (std::nothrow) Vector3Buffer(n);
    Pointer<Vector2Buffer> texCoords = new (std::nothrow) Vector2Buffer(n);
    Pointer<ColorBuffer> colors = new (std::nothrow) ColorBuffer(n);
    Pointer<FloatBuffer> sizes = points ? new (std::nothrow) FloatBuffer(n) : nullptr;
    Pointer<Vector3Buffer> centres = !points && lampCentres ? new (std::nothrow) Vector3Buffer(n) : nullptr;
    const auto full = [n](const Buffer* buffer) { return buffer && buffer->GetCount() == n; };
    if (!full(vertices.Get()) || !full(texCoords.Get()) || !full(colors.Get()) || (points && !full(sizes.Get())) ||
        (!points && lampCentres && !full(centres.Get()))) {
        LogError("Недостаточно памяти для создания буферов спрайтов. ID[%d] Имя[%s]", node.GetId(),
                 node.GetName().GetText());
        return false;
    }
    if (!points) {
        Vector2* uv = texCoords->GetElements();
        for (int i = 0; i < n; ++i) uv[i] = kQuadTexCoords[i % 6];
    }
    node.SetVertices(vertices.Get());
    node.SetTexCoords(0, texCoords.Get());
    node.SetColors(colors.Get());
    if (points) node.SetPointSizes(sizes.Get());
    if (centres) node.SetNormals(centres.Get());
    return true;
}

bool SpriteGeometry::Matches(const GeometryNode& node, int count, bool points) {
    const int n = points ? count : 6 * count;
    const Buffer* vertices = node.GetVertices();
    const Buffer* colors = node.GetColors();
    const Buffer* texCoords = node.GetTexCoords(0);
    const Buffer* sizes = node.GetPointSizes();
    return vertices && vertices->IsExactly(Vector3Buffer::TYPE) && vertices->GetCount() == n && colors &&
           colors->GetCount() == n && texCoords && texCoords->GetCount() == n &&
           (!points || (sizes && sizes->GetCount() == n));
}

void SpriteGeometry::QuadAxes(const Camera& camera, Vector3& a, Vector3& b) {
    const Vector3 u = camera.GetUp();
    const Vector3 r = camera.GetRight();
    a = (u + r).Normalized() * 0.5f;
    b = (u - r).Normalized() * 0.5f;
}

void SpriteGeometry::WriteQuad(Vector3* out, const Vector3& c, float s, const Vector3& a, const Vector3& b) {
    out[0] = c - a * s;
    out[1] = c + b * s;
    out[2] = c - b * s;
    out[3] = c + b * s;
    out[4] = c + a * s;
    out[5] = c - b * s;
}

void SpriteGeometry::DrawPrimitives(GeometryNode& node, Renderer& renderer, int primitiveCount) {
    GeometryNodeEffect* effect = node.GetEffect();
    if (!effect || primitiveCount <= 0) return;
    const Renderer::ProfileScope section(renderer, "sprites");
    renderer.SetCurrentGeometry(&node);
    Technique* technique = effect->CurrentTechnique();
    const int passes = technique ? effect->PassCount() : 0;
    for (int i = 0; i < passes; ++i) {
        if (renderer.ApplyPass(technique, i) == Pass::kDraw) renderer.DrawPrimitives(primitiveCount);
        renderer.DisableLights();
    }
}

} // namespace nuv
