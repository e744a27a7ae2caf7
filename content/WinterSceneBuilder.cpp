#include "content/WinterSceneBuilder.h"

#include "animation/NodeAnimation.h"
#include "animation/NodeAnimationController.h"
#include "animation/ScreensaverController.h"
#include "core/Color.h"
#include "core/IntBuffer.h"
#include "core/MathUtil.h"
#include "core/Matrix4.h"
#include "core/Quaternion.h"
#include "core/String.h"
#include "core/Vector2Buffer.h"
#include "core/Vector3Buffer.h"
#include "media/image/Image.h"
#include "render/SpriteEffect.h"
#include "render/Texture.h"
#include "render/TextureEffect.h"
#include "render/TextureLightingEffect.h"
#include "scene/Camera.h"
#include "scene/Garland.h"
#include "scene/Light.h"
#include "scene/Lines.h"
#include "scene/SceneNode.h"
#include "scene/SphereVolumeEmitter.h"
#include "scene/SpriteParticleSystem.h"
#include "scene/Triangles.h"
#include "sound/SoundNode.h"

#include <cmath>

namespace nuv {

namespace {

constexpr float kGroundHalf = 200.0f;
constexpr float kPondRadius = 28.0f;

Vector3 Normalized(const Vector3& v) {
    const float length = std::sqrt(Dot(v, v));
    return length > 0.0f ? v / length : Vector3(0.0f, 0.0f, 1.0f);
}

// The rotation whose forward axis (third column) looks from eye to target, with up near +y.
Quaternion LookRotation(const Vector3& eye, const Vector3& target) {
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

} // namespace

int WinterSceneBuilder::Mesh::Vertex(const Vector3& p, const Vector2& uv) {
    positions.push_back(p);
    uvs.push_back(uv);
    return int(positions.size()) - 1;
}

void WinterSceneBuilder::Mesh::Triangle(int a, int b, int c, const Vector3& outward) {
    const Vector3 n = Cross(positions[size_t(b)] - positions[size_t(a)], positions[size_t(c)] - positions[size_t(a)]);
    if (Dot(n, outward) < 0.0f) std::swap(b, c);
    indices.insert(indices.end(), {a, b, c});
}

void WinterSceneBuilder::Mesh::Quad(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3,
                                    float u, float v, const Vector3& outward) {
    const int a = Vertex(p0, {0.0f, v}), b = Vertex(p1, {u, v}), c = Vertex(p2, {u, 0.0f}), d = Vertex(p3, {0.0f, 0.0f});
    Triangle(a, b, c, outward);
    Triangle(a, c, d, outward);
}

float WinterSceneBuilder::Random() {
    // xorshift32 from the builder's seed: placement never depends on the process's rand().
    if (state_ == 0) state_ = seed_ ? seed_ : 0x1234567u;
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return float(state_ & 0xFFFFFFu) / float(0xFFFFFF);
}

float WinterSceneBuilder::GroundHeight(float x, float z) const {
    const float r = std::sqrt(x * x + z * z);
    // The pond is a shallow bowl; the land rises gently towards the edges in drifts.
    const float bowl = r < kPondRadius + 6.0f ? -1.2f * (1.0f - std::max(0.0f, r - kPondRadius) / 6.0f) : 0.0f;
    const float drifts = 0.8f * std::sin(x * 0.07f) * std::cos(z * 0.05f) + 0.4f * std::sin(x * 0.21f + z * 0.13f);
    const float rise = std::max(0.0f, r - 90.0f) * 0.12f;
    return bowl + (r < kPondRadius ? 0.0f : drifts) + rise;
}

Texture* WinterSceneBuilder::TextureFor(const std::string& file) {
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

Pointer<GeometryNodeEffect> WinterSceneBuilder::Lit(const std::string& file) {
    Pointer<TextureLightingEffect> effect(new TextureLightingEffect());
    effect->SetTexture(TextureFor(file));
    for (const Pointer<Light>& light : lights_) effect->AddLight(light.Get());
    return Pointer<GeometryNodeEffect>(effect.Get());
}

Pointer<GeometryNodeEffect> WinterSceneBuilder::Unlit(const std::string& file) {
    Pointer<TextureEffect> effect(new TextureEffect());
    effect->SetTexture(TextureFor(file));
    return Pointer<GeometryNodeEffect>(effect.Get());
}

Pointer<Triangles> WinterSceneBuilder::MakeNode(const char* name, const Mesh& mesh, GeometryNodeEffect* effect) {
    Pointer<Triangles> node(new Triangles());
    node->SetName(String(name));
    Pointer<Vector3Buffer> positions(new Vector3Buffer(int(mesh.positions.size())));
    Pointer<Vector2Buffer> uvs(new Vector2Buffer(int(mesh.uvs.size())));
    Pointer<IntBuffer> indices(new IntBuffer(int(mesh.indices.size())));
    std::copy(mesh.positions.begin(), mesh.positions.end(), positions->GetElements());
    std::copy(mesh.uvs.begin(), mesh.uvs.end(), uvs->GetElements());
    std::copy(mesh.indices.begin(), mesh.indices.end(), indices->GetElements());
    node->SetVertices(positions.Get());
    node->SetTexCoords(0, uvs.Get());
    node->SetIndices(indices.Get());
    node->RebuildDerived(true, false);
    node->SetEffect(effect);
    return node;
}

Pointer<SceneNode> WinterSceneBuilder::Build() {
    state_ = 0;
    textures_.clear();
    textureFiles_.clear();
    lights_.clear();
    lampTops_.clear();
    Pointer<SceneNode> root(new SceneNode());
    root->SetName(String(kRootName));
    director_ = new ScreensaverController();
    director_->SetName(String("Director"));
    root->AddController(director_.Get());

    // Lights come first: every lit surface made afterwards takes them.
    Pointer<Light> moon(new Light());
    moon->SetName(String("Moonlight"));
    moon->SetLightType(Light::kDirectional);
    moon->SetAmbient(Color(0.18f, 0.2f, 0.3f));
    moon->SetDiffuse(Color(0.45f, 0.5f, 0.7f));
    moon->GetLocalTransform().SetRotation(LookRotation(Vector3(0, 0, 0), Vector3(-0.4f, -1.0f, 0.6f)));
    root->AttachChild(moon.Get());
    lights_.push_back(moon);

    AddLamps(*root);
    AddSky(*root);
    AddGround(*root);
    AddPond(*root);
    AddTrees(*root);
    AddHouses(*root);
    AddGarlands(*root);
    AddSnow(*root);
    AddCameras(*root);
    AddSounds(*root);
    return root;
}

void WinterSceneBuilder::AddSky(SceneNode& root) {
    // A dome seen from inside; its faces point to the centre.
    Mesh mesh;
    const int rings = 8, segments = 24;
    const float radius = 3000.0f;
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s <= segments; ++s) {
            const float elevation = float(r) / float(rings) * kPi * 0.5f - 0.1f;
            const float azimuth = float(s) / float(segments) * 2.0f * kPi;
            mesh.Vertex({radius * std::cos(elevation) * std::cos(azimuth), radius * std::sin(elevation),
                         radius * std::cos(elevation) * std::sin(azimuth)},
                        {float(s) / float(segments) * 6.0f, float(r) / float(rings) * 2.0f});
        }
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const int a = r * (segments + 1) + s, b = a + 1, c = a + segments + 1, d = c + 1;
            const Vector3 inward = -(mesh.positions[size_t(a)]);
            mesh.Triangle(a, b, d, inward);
            mesh.Triangle(a, d, c, inward);
        }
    root.AttachChild(MakeNode("Sky", mesh, Unlit("Textures/sky.tga").Get()).Get());
}

void WinterSceneBuilder::AddGround(SceneNode& root) {
    Mesh mesh;
    const int cells = 48;
    const float step = 2.0f * kGroundHalf / float(cells);
    for (int j = 0; j <= cells; ++j)
        for (int i = 0; i <= cells; ++i) {
            const float x = -kGroundHalf + float(i) * step, z = -kGroundHalf + float(j) * step;
            mesh.Vertex({x, GroundHeight(x, z), z}, {float(i) * 0.5f, float(j) * 0.5f});
        }
    for (int j = 0; j < cells; ++j)
        for (int i = 0; i < cells; ++i) {
            const int a = j * (cells + 1) + i, b = a + 1, c = a + cells + 1, d = c + 1;
            mesh.Triangle(a, c, b, {0, 1, 0});
            mesh.Triangle(b, c, d, {0, 1, 0});
        }
    root.AttachChild(MakeNode("Snowfield", mesh, Lit("Textures/snow.tga").Get()).Get());
}

void WinterSceneBuilder::AddPond(SceneNode& root) {
    Mesh mesh;
    const int segments = 48;
    const int centre = mesh.Vertex({0.0f, -0.2f, 0.0f}, {2.0f, 2.0f});
    for (int s = 0; s <= segments; ++s) {
        const float a = float(s) / float(segments) * 2.0f * kPi;
        // A slightly uneven shore.
        const float r = kPondRadius * (1.0f + 0.08f * std::sin(a * 3.0f) + 0.05f * std::cos(a * 5.0f));
        mesh.Vertex({r * std::cos(a), -0.2f, r * std::sin(a)}, {2.0f + 2.0f * std::cos(a), 2.0f + 2.0f * std::sin(a)});
    }
    for (int s = 0; s < segments; ++s) mesh.Triangle(centre, centre + 1 + s, centre + 2 + s, {0, 1, 0});
    root.AttachChild(MakeNode("Frozen Pond", mesh, Lit("Textures/ice.tga").Get()).Get());
}

void WinterSceneBuilder::AddTrees(SceneNode& root) {
    Pointer<SceneNode> forest(new SceneNode());
    forest->SetName(String("Fir Trees"));
    // One trunk and three stacked cones, shared by every tree through its buffers.
    Mesh trunk, crown;
    const int sides = 10;
    for (int s = 0; s < sides; ++s) {
        const float a0 = float(s) / float(sides) * 2.0f * kPi, a1 = float(s + 1) / float(sides) * 2.0f * kPi;
        const Vector3 out{std::cos((a0 + a1) * 0.5f), 0.0f, std::sin((a0 + a1) * 0.5f)};
        const float r = 0.35f;
        trunk.Quad({r * std::cos(a0), 0.0f, r * std::sin(a0)}, {r * std::cos(a1), 0.0f, r * std::sin(a1)},
                   {r * std::cos(a1), 2.5f, r * std::sin(a1)}, {r * std::cos(a0), 2.5f, r * std::sin(a0)}, 1.0f, 1.0f,
                   out);
        for (int tier = 0; tier < 3; ++tier) {
            const float base = 1.5f + 2.2f * float(tier), radius = 3.2f - 0.9f * float(tier), top = base + 4.0f;
            const int apex = crown.Vertex({0.0f, top, 0.0f}, {0.5f, 0.0f});
            const int b0 = crown.Vertex({radius * std::cos(a0), base, radius * std::sin(a0)}, {0.0f, 1.0f});
            const int b1 = crown.Vertex({radius * std::cos(a1), base, radius * std::sin(a1)}, {1.0f, 1.0f});
            crown.Triangle(apex, b0, b1, out + Vector3(0.0f, 0.5f, 0.0f));
        }
    }
    Pointer<Triangles> firstTrunk, firstCrown;
    const int count = 36;
    for (int t = 0; t < count; ++t) {
        // A ring of forest round the village, clear of the pond and the houses' lane.
        const float angle = Random() * 2.0f * kPi;
        const float distance = 55.0f + Random() * 110.0f;
        const float x = distance * std::cos(angle), z = distance * std::sin(angle);
        const float scale = 0.8f + Random() * 0.7f;
        const std::string name = "Fir " + std::to_string(t + 1);
        Pointer<SceneNode> tree(new SceneNode());
        tree->SetName(String(name.c_str()));
        tree->GetLocalTransform().SetTranslation({x, GroundHeight(x, z) - 0.2f, z});
        tree->GetLocalTransform().SetScale({scale, scale, scale});
        tree->GetLocalTransform().SetRotation(Quaternion::FromAxisAngle({0, 1, 0}, Random() * 2.0f * kPi));
        Pointer<Triangles> stem = MakeNode((name + " Trunk").c_str(), trunk, Lit("Textures/bark.tga").Get());
        Pointer<Triangles> needles = MakeNode((name + " Crown").c_str(), crown, Lit("Textures/needles.tga").Get());
        if (firstTrunk) {
            // Trees share the first tree's arrays.
            stem->SetVertices(firstTrunk->GetVertices());
            stem->SetNormals(firstTrunk->GetNormals());
            stem->SetTexCoords(0, firstTrunk->GetTexCoords(0));
            stem->SetIndices(firstTrunk->GetIndices());
            needles->SetVertices(firstCrown->GetVertices());
            needles->SetNormals(firstCrown->GetNormals());
            needles->SetTexCoords(0, firstCrown->GetTexCoords(0));
            needles->SetIndices(firstCrown->GetIndices());
        } else {
            firstTrunk = stem;
            firstCrown = needles;
        }
        tree->AttachChild(stem.Get());
        tree->AttachChild(needles.Get());
        forest->AttachChild(tree.Get());
    }
    root.AttachChild(forest.Get());
}

void WinterSceneBuilder::AddHouses(SceneNode& root) {
    Pointer<SceneNode> village(new SceneNode());
    village->SetName(String("Houses"));
    static const struct {
        float x, z, yaw, width, depth;
    } kHouses[] = {{-38, 30, 0.4f, 10, 8}, {-12, 44, 0.1f, 12, 9}, {18, 42, -0.2f, 9, 8},
                   {42, 24, -0.6f, 11, 8}, {-44, -8, 1.3f, 9, 7}};
    int number = 0;
    for (const auto& h : kHouses) {
        ++number;
        const std::string name = "House " + std::to_string(number);
        Pointer<SceneNode> house(new SceneNode());
        house->SetName(String(name.c_str()));
        house->GetLocalTransform().SetTranslation({h.x, GroundHeight(h.x, h.z) - 0.3f, h.z});
        house->GetLocalTransform().SetRotation(Quaternion::FromAxisAngle({0, 1, 0}, h.yaw));
        const float w = h.width * 0.5f, d = h.depth * 0.5f, wall = 5.0f, ridge = 8.5f;
        Mesh walls, roof, windows;
        walls.Quad({-w, 0, -d}, {w, 0, -d}, {w, wall, -d}, {-w, wall, -d}, 2, 1, {0, 0, -1});
        walls.Quad({w, 0, d}, {-w, 0, d}, {-w, wall, d}, {w, wall, d}, 2, 1, {0, 0, 1});
        walls.Quad({-w, 0, d}, {-w, 0, -d}, {-w, wall, -d}, {-w, wall, d}, 2, 1, {-1, 0, 0});
        walls.Quad({w, 0, -d}, {w, 0, d}, {w, wall, d}, {w, wall, -d}, 2, 1, {1, 0, 0});
        // Gables.
        for (const float side : {-1.0f, 1.0f}) {
            const int a = walls.Vertex({-w, wall, side * d}, {0, 0}), b = walls.Vertex({w, wall, side * d}, {2, 0});
            const int c = walls.Vertex({0, ridge, side * d}, {1, -0.7f});
            walls.Triangle(a, b, c, {0, 0, side});
        }
        const float eave = 0.8f;
        roof.Quad({-w - eave, wall - 0.4f, -d - eave}, {0, ridge, -d - eave}, {0, ridge, d + eave},
                  {-w - eave, wall - 0.4f, d + eave}, 1, 2, {-1, 1, 0});
        roof.Quad({w + eave, wall - 0.4f, -d - eave}, {0, ridge, -d - eave}, {0, ridge, d + eave},
                  {w + eave, wall - 0.4f, d + eave}, 1, 2, {1, 1, 0});
        // Two lit windows on the front and one on each side, just proud of the walls.
        for (const float x : {-w * 0.5f, w * 0.5f})
            windows.Quad({x - 0.9f, 1.8f, -d - 0.05f}, {x + 0.9f, 1.8f, -d - 0.05f}, {x + 0.9f, 3.6f, -d - 0.05f},
                         {x - 0.9f, 3.6f, -d - 0.05f}, 1, 1, {0, 0, -1});
        for (const float side : {-1.0f, 1.0f}) {
            const float x = side * (w + 0.05f);
            windows.Quad({x, 1.8f, -0.9f}, {x, 1.8f, 0.9f}, {x, 3.6f, 0.9f}, {x, 3.6f, -0.9f}, 1, 1, {side, 0, 0});
        }
        house->AttachChild(MakeNode((name + " Walls").c_str(), walls, Lit("Textures/wood.tga").Get()).Get());
        house->AttachChild(MakeNode((name + " Roof").c_str(), roof, Lit("Textures/roof.tga").Get()).Get());
        house->AttachChild(MakeNode((name + " Windows").c_str(), windows, Unlit("Textures/window.tga").Get()).Get());
        village->AttachChild(house.Get());
    }
    root.AttachChild(village.Get());
}

void WinterSceneBuilder::AddLamps(SceneNode& root) {
    // Street lamps along the lane in front of the houses. Their lights are made before
    // the lit surfaces so that those take them; their posts follow once the lights exist.
    Pointer<SceneNode> lamps(new SceneNode());
    lamps->SetName(String("Street Lamps"));
    const Vector3 places[] = {{-30, 0, 18}, {-6, 0, 30}, {20, 0, 30}, {38, 0, 10}};
    int number = 0;
    for (const Vector3& at : places) {
        ++number;
        const std::string name = "Lamp " + std::to_string(number);
        const Vector3 top{at.x, GroundHeight(at.x, at.z) + 4.6f, at.z};
        lampTops_.push_back(top);
        Pointer<Light> light(new Light());
        light->SetName(String((name + " Light").c_str()));
        light->SetLightType(Light::kPoint);
        light->SetAmbient(Color(0.0f, 0.0f, 0.0f));
        light->SetDiffuse(Color(1.0f, 0.72f, 0.35f));
        light->SetAttenuation({1.0f, 0.02f, 0.004f});
        light->SetUseAttenuation(true);
        light->GetLocalTransform().SetTranslation(top);
        lamps->AttachChild(light.Get());
        lights_.push_back(light);
    }
    for (size_t i = 0; i < lampTops_.size(); ++i) {
        const Vector3 top = lampTops_[i];
        Mesh post, globe;
        const float r = 0.12f;
        const Vector3 foot{top.x, top.y - 4.8f, top.z};
        post.Quad(foot + Vector3(-r, 0, -r), foot + Vector3(r, 0, -r), top + Vector3(r, 0, -r), top + Vector3(-r, 0, -r), 1, 4, {0, 0, -1});
        post.Quad(foot + Vector3(r, 0, r), foot + Vector3(-r, 0, r), top + Vector3(-r, 0, r), top + Vector3(r, 0, r), 1, 4, {0, 0, 1});
        post.Quad(foot + Vector3(-r, 0, r), foot + Vector3(-r, 0, -r), top + Vector3(-r, 0, -r), top + Vector3(-r, 0, r), 1, 4, {-1, 0, 0});
        post.Quad(foot + Vector3(r, 0, -r), foot + Vector3(r, 0, r), top + Vector3(r, 0, r), top + Vector3(r, 0, -r), 1, 4, {1, 0, 0});
        const float g = 0.45f;
        const Vector3 c{top.x, top.y + 0.4f, top.z};
        globe.Quad(c + Vector3(-g, -g, -g), c + Vector3(g, -g, -g), c + Vector3(g, g, -g), c + Vector3(-g, g, -g), 1, 1, {0, 0, -1});
        globe.Quad(c + Vector3(g, -g, g), c + Vector3(-g, -g, g), c + Vector3(-g, g, g), c + Vector3(g, g, g), 1, 1, {0, 0, 1});
        globe.Quad(c + Vector3(-g, -g, g), c + Vector3(-g, -g, -g), c + Vector3(-g, g, -g), c + Vector3(-g, g, g), 1, 1, {-1, 0, 0});
        globe.Quad(c + Vector3(g, -g, -g), c + Vector3(g, -g, g), c + Vector3(g, g, g), c + Vector3(g, g, -g), 1, 1, {1, 0, 0});
        const std::string name = "Lamp " + std::to_string(i + 1);
        lamps->AttachChild(MakeNode((name + " Post").c_str(), post, Lit("Textures/bark.tga").Get()).Get());
        lamps->AttachChild(MakeNode((name + " Globe").c_str(), globe, Unlit("Textures/window.tga").Get()).Get());
    }
    root.AttachChild(lamps.Get());
}

void WinterSceneBuilder::AddGarlands(SceneNode& root) {
    // A string of lights sagging between each pair of neighbouring lamps.
    Pointer<SceneNode> garlands(new SceneNode());
    garlands->SetName(String("Garlands"));
    for (size_t i = 0; i + 1 < lampTops_.size(); ++i) {
        const int lamps = 24;
        Pointer<Vector3Buffer> points(new Vector3Buffer(lamps));
        for (int k = 0; k < lamps; ++k) {
            const float t = float(k) / float(lamps - 1);
            const Vector3 p = lampTops_[i] + (lampTops_[i + 1] - lampTops_[i]) * t;
            points->GetElements()[k] = p - Vector3(0.0f, 1.6f * 4.0f * t * (1.0f - t) + 0.3f, 0.0f);
        }
        Pointer<Lines> line(new Lines());
        line->SetName(String(("Garland Line " + std::to_string(i + 1)).c_str()));
        line->SetVertices(points.Get());
        Pointer<Garland> garland(new Garland());
        garland->SetName(String(("Garland " + std::to_string(i + 1)).c_str()));
        for (const Color& c : {Color(1.0f, 0.2f, 0.15f, 0.9f), Color(0.2f, 1.0f, 0.3f, 0.9f),
                               Color(0.3f, 0.5f, 1.0f, 0.9f), Color(1.0f, 0.85f, 0.2f, 0.9f)})
            garland->GetPalette().Append(c);
        garland->SetLine(line.Get());
        garland->blinkPeriod = 0.8f;
        garland->lampSize = 0.35f;
        if (auto* sprites = DynamicCast<SpriteEffect>(garland->GetEffect())) sprites->SetTexture(TextureFor("Textures/flake.tga"));
        garlands->AttachChild(garland.Get());
    }
    root.AttachChild(garlands.Get());
}

void WinterSceneBuilder::AddSnow(SceneNode& root) {
    Pointer<SpriteParticleSystem> snow(new SpriteParticleSystem());
    snow->SetName(String(kSnowName));
    Pointer<SphereVolumeEmitter> emitter(new SphereVolumeEmitter());
    emitter->SetName(String("Snow Cloud"));
    emitter->radius = 70.0f;
    snow->SetEmitter(emitter.Get());
    snow->SetMaxParticles(6000);
    snow->emissionPeriod = 0.05f;
    snow->burstSize = 10;
    snow->burstSizeVariance = 3;
    snow->speed = 0.3f;
    snow->speedVariance = 0.2f;
    snow->acceleration = Vector3(0.15f, -0.9f, 0.05f);
    snow->accelerationVariance = Vector3(0.2f, 0.2f, 0.2f);
    snow->lifetime = 24.0f;
    snow->lifetimeVariance = 4.0f;
    snow->startSize = 0.35f;
    snow->startSizeVariance = 0.1f;
    snow->endSize = 0.3f;
    snow->startColor = Color(1.0f, 1.0f, 1.0f, 0.9f);
    snow->endColor = Color(1.0f, 1.0f, 1.0f, 0.0f);
    snow->GetLocalTransform().SetTranslation({0.0f, 45.0f, 15.0f});
    if (auto* sprites = DynamicCast<SpriteEffect>(snow->GetEffect())) {
        sprites->SetTexture(TextureFor("Textures/flake.tga"));
        sprites->SetBlendEnabled(true);
    }
    root.AttachChild(snow.Get());
}

Pointer<Camera> WinterSceneBuilder::MakeShot(SceneNode& parent, const char* name, const std::vector<Vector3>& path,
                                             const Vector3& lookAt, double seconds) {
    Pointer<Camera> camera(new Camera());
    camera->SetName(String(name));
    camera->SetFieldOfView(0.9f);
    camera->SetNearPlane(0.5f);
    camera->SetFarPlane(5000.0f);
    camera->GetLocalTransform().SetTranslation(path.front());
    camera->GetLocalTransform().SetRotation(LookRotation(path.front(), lookAt));
    Pointer<NodeAnimation> track(new NodeAnimation());
    track->SetName(String((std::string(name) + " Path").c_str()));
    for (size_t i = 0; i < path.size(); ++i) {
        auto* key = new NodeAnimationKey();
        key->time = path.size() > 1 ? double(i) / double(path.size() - 1) : 0.0;
        key->translation = path[i];
        key->rotation = LookRotation(path[i], lookAt);
        track->AppendKey(key);
    }
    Pointer<NodeAnimationController> animation(new NodeAnimationController());
    animation->SetName(String((std::string(name) + " Animation").c_str()));
    animation->AddAnimation(track.Get());
    animation->AddFrame(track.Get(), 0.0, 1.0);
    animation->SetPeriod(seconds);
    camera->AddController(animation.Get());
    parent.AttachChild(camera.Get());
    director_->AddSet(camera.Get(), 0.0, seconds);
    return camera;
}

void WinterSceneBuilder::AddCameras(SceneNode& root) {
    Pointer<SceneNode> cameras(new SceneNode());
    cameras->SetName(String("Cameras"));
    MakeShot(*cameras, "Camera Pond", {{-60, 6, -50}, {-20, 5, -62}, {25, 6, -55}}, {0, 1, 10}, 20.0);
    MakeShot(*cameras, "Camera Lane", {{-40, 3, 10}, {-10, 3.5f, 18}, {25, 3, 14}}, {0, 3, 40}, 18.0);
    MakeShot(*cameras, "Camera Village", {{0, 30, -90}, {40, 26, -70}, {70, 22, -30}}, {0, 2, 20}, 22.0);
    MakeShot(*cameras, "Camera Ice", {{10, 1.5f, -20}, {0, 1.2f, -8}, {-12, 1.5f, 2}}, {-20, 6, 40}, 16.0);
    root.AttachChild(cameras.Get());
}

void WinterSceneBuilder::AddSounds(SceneNode& root) {
    if (!withMusic_) return;
    // The host finds the soundtrack by this name, mutes or stops it by the settings and
    // starts it once the scene is ready.
    Pointer<SoundNode> music(new SoundNode());
    music->SetName(String(kMusicName));
    music->SetFileName(String(kMusicFile));
    music->SetLoop(true);
    root.AttachChild(music.Get());
}

} // namespace nuv
