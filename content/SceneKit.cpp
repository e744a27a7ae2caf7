#include "content/SceneKit.h"

#include "core/IntBuffer.h"
#include "core/MathUtil.h"
#include "core/Matrix4.h"
#include "core/String.h"
#include "core/Vector2Buffer.h"
#include "core/Vector3Buffer.h"
#include "media/image/Image.h"
#include "render/TextureEffect.h"
#include "render/TextureLightingEffect.h"
#include "render/TexturePixelLightingEffect.h"
#include "scene/Triangles.h"

#include <algorithm>
#include <cmath>

namespace nuv {

namespace {

Vector3 Normalized(const Vector3& v) {
    const float length = std::sqrt(Dot(v, v));
    return length > 0.0f ? v / length : Vector3(0.0f, 0.0f, 1.0f);
}

} // namespace

float SceneKit::Random() {
    // xorshift32 from the builder's seed.
    if (state_ == 0) state_ = seed_ ? seed_ : 0x1234567u;
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return float(state_ & 0xFFFFFFu) / float(0xFFFFFF);
}

float SceneKit::GroundHeight(float x, float z) {
    const float r = std::sqrt(x * x + z * z);
    // The pond is a shallow bowl; the land rises gently towards the edges in drifts.
    const float bowl = r < kPondRadius + 6.0f ? -1.2f * (1.0f - std::max(0.0f, r - kPondRadius) / 6.0f) : 0.0f;
    const float drifts = 0.8f * std::sin(x * 0.07f) * std::cos(z * 0.05f) + 0.4f * std::sin(x * 0.21f + z * 0.13f);
    const float rise = std::max(0.0f, r - 90.0f) * 0.12f;
    return bowl + (r < kPondRadius ? 0.0f : drifts) + rise;
}

Quaternion SceneKit::LookRotation(const Vector3& eye, const Vector3& target) {
    const Vector3 forward = Normalized(target - eye);
    const Vector3 right = Normalized(Cross(Vector3(0.0f, 1.0f, 0.0f), forward));
    const Vector3 up = Cross(forward, right);
    Matrix4 m = Matrix4::Identity();
    for (int i = 0; i < 3; ++i) {
        m(i, 0) = right[i];
        m(i, 1) = up[i];
        m(i, 2) = forward[i];
    }
    return Quaternion::FromRotationMatrix(m);
}

Texture* SceneKit::TextureFor(const std::string& file) {
    auto found = textures_.find(file);
    if (found != textures_.end()) return found->second.Get();
    // The image names its file; the pixels come from the archive when the scene loads.
    Pointer<Image> image(new Image());
    const std::string base = file.substr(file.find_last_of('/') + 1);
    image->SetName(String(base.c_str()));
    image->SetFileName(String(file.c_str()));
    Pointer<Texture> texture(new Texture());
    texture->SetName(String(base.c_str()));
    texture->SetImage(image.Get());
    textures_[file] = texture;
    textureFiles_.push_back(file);
    return texture.Get();
}

Pointer<GeometryNodeEffect> SceneKit::Lit(const std::string& file) {
    Pointer<TextureLightingEffect> effect(new TextureLightingEffect());
    effect->SetTexture(TextureFor(file));
    for (const Pointer<Light>& light : lights_) effect->AddLight(light.Get());
    return Pointer<GeometryNodeEffect>(effect.Get());
}

Pointer<GeometryNodeEffect> SceneKit::PixelLit(const std::string& file, const std::vector<int>& lights) {
    // One pass per light: only the few that reach the surface keep the cost down.
    Pointer<TexturePixelLightingEffect> effect(new TexturePixelLightingEffect());
    effect->SetTexture(TextureFor(file));
    for (int i : lights)
        if (i >= 0 && i < int(lights_.size())) effect->AddLight(lights_[size_t(i)].Get());
    return Pointer<GeometryNodeEffect>(effect.Get());
}

Pointer<GeometryNodeEffect> SceneKit::Unlit(const std::string& file) {
    Pointer<TextureEffect> effect(new TextureEffect());
    effect->SetTexture(TextureFor(file));
    return Pointer<GeometryNodeEffect>(effect.Get());
}

Pointer<Triangles> SceneKit::MakeNode(const std::string& name, const Mesh& mesh, GeometryNodeEffect* effect) {
    Pointer<Triangles> node(new Triangles());
    node->SetName(String(name.c_str()));
    Pointer<Vector3Buffer> positions(new Vector3Buffer(int(mesh.positions.size())));
    Pointer<Vector2Buffer> uvs(new Vector2Buffer(int(mesh.uvs.size())));
    Pointer<IntBuffer> indices(new IntBuffer(int(mesh.indices.size())));
    std::copy(mesh.positions.begin(), mesh.positions.end(), positions->GetElements());
    std::copy(mesh.uvs.begin(), mesh.uvs.end(), uvs->GetElements());
    std::copy(mesh.indices.begin(), mesh.indices.end(), indices->GetElements());
    node->SetVertices(positions.Get());
    node->SetTexCoords(0, uvs.Get());
    if (!mesh.uvs2.empty()) {
        Pointer<Vector2Buffer> second(new Vector2Buffer(int(mesh.uvs2.size())));
        std::copy(mesh.uvs2.begin(), mesh.uvs2.end(), second->GetElements());
        node->SetTexCoords(1, second.Get());
    }
    node->SetIndices(indices.Get());
    node->RebuildDerived(true, false);
    node->SetEffect(effect);
    return node;
}

} // namespace nuv
