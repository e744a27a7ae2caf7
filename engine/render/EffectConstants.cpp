#include "render/EffectConstants.h"

#include "core/IntBuffer.h"
#include "core/Status.h"
#include "core/Vector3Buffer.h"
#include "render/GeometryNodeEffect.h"
#include "render/Renderer.h"
#include "render/Shader.h"
#include "scene/Camera.h"
#include "scene/GeometryNode.h"
#include "scene/Triangles.h"

#include <algorithm>
#include <new>

namespace nuv {

namespace {
// c8..c207: the registers left for bones below the colour at c208.
constexpr int kMaxBones = 50;

EffectConstants::SkinDataSource gSkinDataSource = nullptr;
} // namespace

void EffectConstants::SetSkinDataSource(SkinDataSource source) {
    gSkinDataSource = source;
}

bool EffectConstants::GetView(Renderer& renderer, View& view) {
    const Camera* camera = renderer.GetCamera();
    if (!camera) return false;
    view.view = camera->GetView();
    view.projection = camera->GetProjection();
    view.viewProjection = camera->GetViewProjection();
    // A mirrored view puts the eye below the mirror, where the view matrix says it is.
    view.position = camera->GetViewPosition();
    return true;
}

Matrix4 EffectConstants::World(const GeometryNodeEffect& effect) {
    const GeometryNode* geometry = effect.GetGeometry();
    return geometry ? geometry->GetWorldTransform().ToMatrix() : Matrix4::Identity();
}

void EffectConstants::SetVertex(Renderer& renderer, int first, const Vector4& value) {
    const float v[4] = {value.x, value.y, value.z, value.w};
    renderer.SetVertexConstants(first, v, 1);
}

void EffectConstants::SetVertexMatrix(Renderer& renderer, int first, const Matrix4& matrix) {
    renderer.SetVertexConstants(first, matrix.Data(), 4);
}

void EffectConstants::SetPixel(Renderer& renderer, int first, const Vector4& value) {
    const float v[4] = {value.x, value.y, value.z, value.w};
    renderer.SetPixelConstants(first, v, 1);
}

Vector4 EffectConstants::FogAndSway(const GeometryNodeEffect& effect) {
    return {effect.fogEnabled ? effect.fogDensity : 0.0f, effect.fogExponent, effect.swayAmplitude,
            effect.swayFrequency};
}

Vector4 EffectConstants::SwayRegister(const GeometryNodeEffect& effect) {
    return {effect.swayAmplitude, effect.swayFrequency, effect.swayTime, 0.0f};
}

bool EffectConstants::SetSkinned(Renderer& renderer, const GeometryNodeEffect& effect, const View& view) {
    SkinData skin;
    Controller* controller = effect.GetSkinController();
    if (!controller || !gSkinDataSource || !gSkinDataSource(controller, skin) || !skin.bones) return false;
    renderer.BindPositions(skin.bindPositions);
    renderer.BindBlendWeights(skin.weights);
    renderer.BindBlendIndices(skin.indices);
    SetVertexMatrix(renderer, 0, view.viewProjection);
    SetVertexMatrix(renderer, 4, view.view);
    const int bones = std::min(skin.boneCount, kMaxBones);
    if (bones > 0) renderer.SetVertexConstants(8, skin.bones->Data(), bones * 4);
    return true;
}

void EffectConstants::SetPlain(Renderer& renderer, const GeometryNodeEffect& effect, const View& view) {
    if (const GeometryNode* geometry = effect.GetGeometry()) renderer.BindPositions(geometry->GetVertices());
    const Matrix4 world = World(effect);
    SetVertexMatrix(renderer, 0, world * view.viewProjection);
    SetVertexMatrix(renderer, 4, world * view.view);
}

void EffectConstants::SetFixedMatrices(Renderer& renderer, const GeometryNodeEffect& effect) {
    View view;
    if (GetView(renderer, view)) {
        renderer.SetProjectionMatrix(view.projection);
        renderer.SetViewMatrix(view.view);
    }
    renderer.SetWorldMatrix(World(effect));
}

void EffectConstants::SelectText(Shader* shader, const Renderer* renderer, ShaderPrograms::Program program) {
    if (!shader) return;
    for (int language = 0; language < RendererCaps::kLanguageCount; ++language)
        for (int level = 0; level < ShaderPrograms::kLevelCount; ++level)
            shader->SetLevelText(language, level, ShaderPrograms::Text(program, language, level));
    if (!renderer) {
        shader->SetProgramText(nullptr);
        return;
    }
    const RendererCaps& caps = renderer->GetCaps();
    shader->SelectLevel(caps.shadingLanguage, ShaderPrograms::IsVertex(program) ? caps.vertexLevel : caps.pixelLevel);
}

Vector3 EffectConstants::ToObjectSpace(const GeometryNodeEffect& effect, const Vector3& point) {
    Matrix4 inverse;
    if (World(effect).Inverse(inverse) != kStatusOk) return point;
    return inverse.TransformPoint(point);
}

Pointer<Triangles> EffectConstants::MakeScreenQuad() {
    Pointer<Triangles> quad = new (std::nothrow) Triangles();
    Pointer<Vector3Buffer> corners = new (std::nothrow) Vector3Buffer(6);
    Pointer<IntBuffer> indices = new (std::nothrow) IntBuffer(6);
    if (!quad || !corners || !indices || !corners->GetElements() || !indices->GetElements()) return quad;
    const Vector3 positions[6] = {{-1, 1, 0}, {1, 1, 0}, {-1, -1, 0}, {1, 1, 0}, {1, -1, 0}, {-1, -1, 0}};
    for (int i = 0; i < 6; ++i) {
        corners->GetElements()[i] = positions[i];
        indices->GetElements()[i] = i;
    }
    quad->SetVertices(corners.Get());
    quad->SetIndices(indices.Get());
    return quad;
}

} // namespace nuv
