#include "content/VillageBuilder.h"

#include "content/SceneKit.h"
#include "core/Color.h"
#include "core/IntBuffer.h"
#include "core/MathUtil.h"
#include "core/String.h"
#include "core/Vector3Buffer.h"
#include "render/ColorEffect.h"
#include "render/LightmapTextureEffect.h"
#include "render/NormalmapTextureEffect.h"
#include "render/SpriteEffect.h"
#include "scene/Flare.h"
#include "scene/Garland.h"
#include "scene/Light.h"
#include "scene/Lines.h"
#include "scene/NodeParticleSystem.h"
#include "scene/PointEmitter.h"
#include "scene/SceneNode.h"
#include "scene/SphereVolumeEmitter.h"
#include "scene/SpriteParticleSystem.h"
#include "scene/StripLines.h"
#include "scene/Transform.h"
#include "scene/TrianglesEmitter.h"
#include "scene/Triangles.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace nuv {

namespace {

const Vector3 kLampPlaces[] = {{-30, 0, 18}, {-6, 0, 30}, {20, 0, 30}, {38, 0, 10}};
const Vector3 kFirePlace{-22.0f, 0.0f, 27.0f};
const Vector3 kVillageFir{-2.0f, 0.0f, 38.0f};

using HousePlan = VillageBuilder::HousePlan;
const HousePlan kHouses[] = {{-38, 30, 0.4f, 10, 8}, {-12, 44, 0.1f, 12, 9}, {18, 42, -0.2f, 9, 8},
                             {42, 24, -0.6f, 11, 8}, {-44, -8, 1.3f, 9, 7}};

// Light-map panels, a quarter of the map each: front (two windows), side (one), plain.
void PanelCoords(Mesh& mesh, int panel) {
    const float u0 = float(panel) * 0.25f + 0.004f, u1 = float(panel + 1) * 0.25f - 0.004f;
    for (const Vector2& uv : {Vector2(u0, 1.0f), Vector2(u1, 1.0f), Vector2(u1, 0.0f), Vector2(u0, 0.0f)})
        mesh.uvs2.push_back(uv);
}

Pointer<SpriteEffect> GlowSprites(Texture* texture, bool additive) {
    Pointer<SpriteEffect> effect(new SpriteEffect());
    effect->SetTexture(texture);
    effect->SetBlendEnabled(true);
    effect->sourceBlend = 4;                    // source alpha
    effect->destinationBlend = additive ? 1 : 5;  // one, or one minus source alpha
    effect->depthWrite = 0;
    return effect;
}

// Heights of a house's walls and roof ridge, and how far the roof reaches past the walls.
constexpr float kWall = 5.0f, kRidge = 8.5f, kEave = 0.8f;

// A house's surfaces in its own space: walls with gables, the roof, the lit windows and a
// brick chimney through the right-hand slope.
struct HouseShape {
    float halfWidth = 0.0f, halfDepth = 0.0f;
    Mesh walls, roof, windows, chimney;
    Vector3 chimneyTop;  // the middle of the chimney's top, where the smoke leaves
};

HouseShape ShapeHouse(float width, float depth) {
    HouseShape shape;
    const float w = width * 0.5f, d = depth * 0.5f, wall = kWall, ridge = kRidge, eave = kEave;
    shape.halfWidth = w;
    shape.halfDepth = d;
    Mesh& walls = shape.walls;
    Mesh& roof = shape.roof;
    Mesh& windows = shape.windows;
    Mesh& chimney = shape.chimney;
    walls.Quad({-w, 0, -d}, {w, 0, -d}, {w, wall, -d}, {-w, wall, -d}, 2, 1, {0, 0, -1});
    PanelCoords(walls, 0);
    walls.Quad({w, 0, d}, {-w, 0, d}, {-w, wall, d}, {w, wall, d}, 2, 1, {0, 0, 1});
    PanelCoords(walls, 2);
    walls.Quad({-w, 0, d}, {-w, 0, -d}, {-w, wall, -d}, {-w, wall, d}, 2, 1, {-1, 0, 0});
    PanelCoords(walls, 1);
    walls.Quad({w, 0, -d}, {w, 0, d}, {w, wall, d}, {w, wall, -d}, 2, 1, {1, 0, 0});
    PanelCoords(walls, 1);
    for (const float side : {-1.0f, 1.0f}) {  // gables
        const int a = walls.Vertex({-w, wall, side * d}, {0, 0}), b = walls.Vertex({w, wall, side * d}, {2, 0});
        const int c = walls.Vertex({0, ridge, side * d}, {1, -0.7f});
        walls.Triangle(a, b, c, {0, 0, side});
        for (const Vector2& uv : {Vector2(0.8f, 0.1f), Vector2(0.95f, 0.1f), Vector2(0.87f, 0.05f)})
            walls.uvs2.push_back(uv);
    }
    roof.Quad({-w - eave, wall - 0.4f, -d - eave}, {0, ridge, -d - eave}, {0, ridge, d + eave},
              {-w - eave, wall - 0.4f, d + eave}, 1, 2, {-1, 1, 0});
    roof.Quad({w + eave, wall - 0.4f, -d - eave}, {0, ridge, -d - eave}, {0, ridge, d + eave},
              {w + eave, wall - 0.4f, d + eave}, 1, 2, {1, 1, 0});
    for (const float x : {-w * 0.5f, w * 0.5f})
        windows.Quad({x - 0.9f, 1.8f, -d - 0.05f}, {x + 0.9f, 1.8f, -d - 0.05f}, {x + 0.9f, 3.6f, -d - 0.05f},
                     {x - 0.9f, 3.6f, -d - 0.05f}, 1, 1, {0, 0, -1});
    for (const float side : {-1.0f, 1.0f}) {
        const float x = side * (w + 0.05f);
        windows.Quad({x, 1.8f, -0.9f}, {x, 1.8f, 0.9f}, {x, 3.6f, 0.9f}, {x, 3.6f, -0.9f}, 1, 1, {side, 0, 0});
    }
    // The chimney, through the right-hand slope.
    const float cx = w * 0.45f, cz = d * 0.35f, c = 0.45f, top = ridge + 1.0f;
    const float base = ridge - (ridge - wall + 0.4f) * cx / (w + eave) - 0.6f;
    chimney.Quad({cx - c, base, cz - c}, {cx + c, base, cz - c}, {cx + c, top, cz - c}, {cx - c, top, cz - c}, 1, 2, {0, 0, -1});
    chimney.Quad({cx + c, base, cz + c}, {cx - c, base, cz + c}, {cx - c, top, cz + c}, {cx + c, top, cz + c}, 1, 2, {0, 0, 1});
    chimney.Quad({cx - c, base, cz + c}, {cx - c, base, cz - c}, {cx - c, top, cz - c}, {cx - c, top, cz + c}, 1, 2, {-1, 0, 0});
    chimney.Quad({cx + c, base, cz - c}, {cx + c, base, cz + c}, {cx + c, top, cz + c}, {cx + c, top, cz - c}, 1, 2, {1, 0, 0});
    chimney.Quad({cx - c, top, cz - c}, {cx + c, top, cz - c}, {cx + c, top, cz + c}, {cx - c, top, cz + c}, 0.3f, 0.3f, {0, 1, 0});
    shape.chimneyTop = Vector3(cx, top, cz);
    return shape;
}

} // namespace

void VillageBuilder::AddLights(SceneNode& root) {
    lamps_ = new SceneNode();
    lamps_->SetName(String("Street Lamps"));
    int number = 0;
    for (const Vector3& at : kLampPlaces) {
        ++number;
        const Vector3 top{at.x, SceneKit::GroundHeight(at.x, at.z) + 4.6f, at.z};
        lampTops_.push_back(top);
        Pointer<Light> light(new Light());
        light->SetName(String(("Lamp " + std::to_string(number) + " Light").c_str()));
        light->SetLightType(Light::kPoint);
        light->SetAmbient(Color(0.0f, 0.0f, 0.0f));
        light->SetDiffuse(Color(1.0f, 0.72f, 0.35f));
        light->SetAttenuation({1.0f, 0.02f, 0.004f});
        light->SetUseAttenuation(true);
        light->GetLocalTransform().SetTranslation(top);
        lamps_->AttachChild(light.Get());
        kit_.AddLight(light.Get());
    }
    // The camp fire's glow flickers on what is near it.
    Pointer<Light> fire(new Light());
    fire->SetName(String("Camp Fire Light"));
    fire->SetLightType(Light::kPoint);
    fire->SetAmbient(Color(0.0f, 0.0f, 0.0f));
    fire->SetDiffuse(Color(1.0f, 0.5f, 0.15f));
    fire->SetAttenuation({1.0f, 0.08f, 0.02f});
    fire->SetUseAttenuation(true);
    fire->GetLocalTransform().SetTranslation(
        kFirePlace + Vector3(0.0f, SceneKit::GroundHeight(kFirePlace.x, kFirePlace.z) + 1.2f, 0.0f));
    lamps_->AttachChild(fire.Get());
    kit_.AddLight(fire.Get());
    root.AttachChild(lamps_.Get());
    solids_.push_back(Pointer<Node>(lamps_.Get()));
}

void VillageBuilder::AddHouses(SceneNode& root) {
    Pointer<SceneNode> village(new SceneNode());
    village->SetName(String("Houses"));
    int number = 0;
    for (const HousePlan& h : kHouses) {
        ++number;
        Pointer<SceneNode> house = AddHouse(h, number);
        village->AttachChild(house.Get());
        houses_.push_back(Pointer<Node>(house.Get()));
        solids_.push_back(Pointer<Node>(house.Get()));
    }
    root.AttachChild(village.Get());
}

Pointer<SceneNode> VillageBuilder::AddHouse(const HousePlan& h, int number) {
    const std::string name = "House " + std::to_string(number);
    Pointer<SceneNode> house(new SceneNode());
    house->SetName(String(name.c_str()));
    const Vector3 at{h.x, SceneKit::GroundHeight(h.x, h.z) - 0.3f, h.z};
    const Quaternion yaw = Quaternion::FromAxisAngle({0, 1, 0}, h.yaw);
    house->GetLocalTransform().SetTranslation(at);
    house->GetLocalTransform().SetRotation(yaw);
    const HouseShape shape = ShapeHouse(h.width, h.depth);

    // Walls: the wood under a light map of moonlight and the windows' warm spill. (An effect
    // draws the one geometry it belongs to, so each surface has its own.)
    Pointer<LightmapTextureEffect> wallEffect(new LightmapTextureEffect());
    wallEffect->SetTexture(kit_.TextureFor("Textures/wood.tga"));
    wallEffect->SetLightmap(kit_.TextureFor("Textures/walllight.tga"));
    wallEffect->SetLightmapSet(1);
    for (Pointer<Triangles> part :
         {SceneKit::MakeNode(name + " Walls", shape.walls, wallEffect.Get()),
          SceneKit::MakeNode(name + " Roof", shape.roof, kit_.PixelLit("Textures/roof.tga", {0}).Get()),
          SceneKit::MakeNode(name + " Chimney", shape.chimney, kit_.Lit("Textures/stone.tga").Get())}) {
        house->AttachChild(part.Get());
        shadowSurfaces_.push_back(Pointer<GeometryNode>(part.Get()));
    }
    Pointer<Triangles> lit =
        SceneKit::MakeNode(name + " Windows", shape.windows, kit_.Unlit("Textures/window.tga").Get());
    house->AttachChild(lit.Get());
    glowing_.push_back(Pointer<Node>(lit.Get()));
    house->AttachChild(ChimneySmoke(number, shape.chimneyTop + Vector3(0.0f, 0.2f, 0.0f)).Get());

    if (number == 2) {
        // The front eave of this house carries a garland; its lamps are placed in the world.
        const Transform placed(at, yaw, {1, 1, 1});
        const float w = shape.halfWidth, d = shape.halfDepth;
        for (int k = 0; k < 20; ++k) {
            const float t = float(k) / 19.0f;
            const float x = -w - kEave + 0.2f + t * (2.0f * (w + kEave) - 0.4f);
            const float sag = 0.25f * std::sin(t * kPi * 4.0f) * std::sin(t * kPi * 4.0f);
            eave_.push_back(placed.TransformPoint({x, kWall - 0.55f - sag, -d - kEave - 0.05f}));
        }
    }
    return house;
}

Pointer<SpriteParticleSystem> VillageBuilder::ChimneySmoke(int number, const Vector3& vent) {
    Pointer<SpriteParticleSystem> smoke(new SpriteParticleSystem());
    smoke->SetName(String(("Chimney Smoke " + std::to_string(number)).c_str()));
    Pointer<PointEmitter> source(new PointEmitter());
    source->SetName(String(("Chimney " + std::to_string(number) + " Vent").c_str()));
    source->maxAngle = 0.25f;
    smoke->SetEmitter(source.Get());
    smoke->SetMaxParticles(48);
    smoke->emissionPeriod = 0.3f;
    smoke->emissionPeriodVariance = 0.1f;
    smoke->burstSize = 1;
    smoke->speed = 0.9f;
    smoke->speedVariance = 0.3f;
    smoke->acceleration = Vector3(0.35f, 0.05f, 0.12f);
    smoke->accelerationVariance = Vector3(0.1f, 0.05f, 0.1f);
    smoke->lifetime = 9.0f;
    smoke->lifetimeVariance = 2.0f;
    smoke->startSize = 0.8f;
    smoke->endSize = 3.0f;
    smoke->startColor = Color(0.62f, 0.62f, 0.68f, 0.55f);
    smoke->startColorVariance = Color(0.05f, 0.05f, 0.05f, 0.1f);
    smoke->endColor = Color(0.45f, 0.47f, 0.55f, 0.0f);
    smoke->GetLocalTransform().SetTranslation(vent);
    smoke->SetEffect(GlowSprites(kit_.TextureFor("Textures/smoke.tga"), false).Get());
    return smoke;
}

void VillageBuilder::AddLampPosts() {
    for (size_t i = 0; i < lampTops_.size(); ++i) {
        const Vector3 top = lampTops_[i];
        const std::string name = "Lamp " + std::to_string(i + 1);
        Mesh post, globe;
        post.Tube({top.x, top.y - 4.8f, top.z}, top, 0.14f, 0.1f, 8);
        const Vector3 c{top.x, top.y + 0.4f, top.z};
        globe.Ellipsoid(c, {0.4f, 0.5f, 0.4f}, 6, 10);
        Pointer<Triangles> pole = SceneKit::MakeNode(name + " Post", post, kit_.Lit("Textures/bark.tga").Get());
        lamps_->AttachChild(pole.Get());
        shadowSurfaces_.push_back(Pointer<GeometryNode>(pole.Get()));
        Pointer<Triangles> head = SceneKit::MakeNode(name + " Globe", globe, kit_.Unlit("Textures/window.tga").Get());
        lamps_->AttachChild(head.Get());
        glowing_.push_back(Pointer<Node>(head.Get()));
        Pointer<Flare> flare(new Flare());
        flare->SetName(String((name + " Flare").c_str()));
        flare->color = Color(1.0f, 0.8f, 0.5f, 0.9f);
        flare->size = 0.5f;
        flare->GetLocalTransform().SetTranslation(c);
        flare->SetEffect(GlowSprites(kit_.TextureFor("Textures/glow.tga"), true).Get());
        lamps_->AttachChild(flare.Get());
        glowing_.push_back(Pointer<Node>(flare.Get()));
    }
}

void VillageBuilder::AddCampFire(SceneNode& root) {
    Pointer<SceneNode> fire(new SceneNode());
    fire->SetName(String("Camp Fire"));
    const Vector3 at = kFirePlace + Vector3(0.0f, SceneKit::GroundHeight(kFirePlace.x, kFirePlace.z), 0.0f);
    fire->GetLocalTransform().SetTranslation(at);
    Mesh logs, stones;
    for (int k = 0; k < 4; ++k) {
        const float a = float(k) * kPi * 0.5f + 0.3f;
        const Vector3 out{std::cos(a), 0.0f, std::sin(a)};
        logs.Tube(out * 0.9f + Vector3(0, 0.1f, 0), Vector3(0, 0.7f, 0) - out * 0.1f, 0.13f, 0.09f, 6);
    }
    for (int k = 0; k < 9; ++k) {
        const float a = float(k) / 9.0f * 2.0f * kPi;
        stones.Ellipsoid({1.2f * std::cos(a), 0.1f, 1.2f * std::sin(a)}, {0.28f, 0.2f, 0.24f}, 3, 5);
    }
    Pointer<Triangles> wood = SceneKit::MakeNode("Camp Fire Logs", logs, kit_.Lit("Textures/bark.tga").Get());
    fire->AttachChild(wood.Get());
    // The stones are lit by the fire alone: warm, unshaded, with a normal map for devices that
    // bump them.
    Pointer<NormalmapTextureEffect> stoneLook(new NormalmapTextureEffect());
    stoneLook->SetTexture(kit_.TextureFor("Textures/stone.tga"));
    stoneLook->SetNormalmap(kit_.TextureFor("Textures/icebump.tga"));
    stoneLook->SetNormalmapSet(0);
    stoneLook->SetColor(Color(0.75f, 0.5f, 0.35f, 1.0f));
    fire->AttachChild(SceneKit::MakeNode("Camp Fire Stones", stones, stoneLook.Get()).Get());

    fire->AttachChild(CampFireEmbers(*wood).Get());
    Pointer<SpriteParticleSystem> flames = CampFireFlames();
    fire->AttachChild(flames.Get());
    glowing_.push_back(Pointer<Node>(flames.Get()));

    Pointer<Flare> blaze(new Flare());
    blaze->SetName(String("Camp Fire Flare"));
    blaze->color = Color(1.0f, 0.55f, 0.2f, 1.0f);
    blaze->size = 1.0f;
    blaze->GetLocalTransform().SetTranslation({0.0f, 0.6f, 0.0f});
    blaze->SetEffect(GlowSprites(kit_.TextureFor("Textures/glow.tga"), true).Get());
    fire->AttachChild(blaze.Get());
    glowing_.push_back(Pointer<Node>(blaze.Get()));
    root.AttachChild(fire.Get());
    fire_ = fire.Get();
    solids_.push_back(Pointer<Node>(fire.Get()));
}

// Embers fly from the logs' surface: one small solid drawn per particle, tinted by its colour.
Pointer<NodeParticleSystem> VillageBuilder::CampFireEmbers(Triangles& wood) {
    Mesh speck;
    speck.Ellipsoid({0, 0, 0}, {0.5f, 0.5f, 0.5f}, 3, 4);
    Pointer<ColorEffect> emberLook(new ColorEffect());
    emberLook->SetColor(Color(1.0f, 0.6f, 0.2f, 1.0f));
    Pointer<Triangles> ember = SceneKit::MakeNode("Ember", speck, emberLook.Get());
    Pointer<NodeParticleSystem> embers(new NodeParticleSystem());
    embers->SetName(String("Camp Fire Embers"));
    Pointer<TrianglesEmitter> source(new TrianglesEmitter());
    source->SetName(String("Camp Fire Logs Surface"));
    source->SetSource(&wood);
    source->maxAngle = 0.5f;
    embers->SetEmitter(source.Get());
    embers->SetTemplate(ember.Get());
    embers->SetMaxParticles(36);
    embers->emissionPeriod = 0.08f;
    embers->burstSize = 1;
    embers->speed = 1.3f;
    embers->speedVariance = 0.5f;
    embers->acceleration = Vector3(0.1f, 0.6f, 0.0f);
    embers->accelerationVariance = Vector3(0.3f, 0.2f, 0.3f);
    embers->lifetime = 1.4f;
    embers->lifetimeVariance = 0.5f;
    embers->startSize = 0.12f;
    embers->startSizeVariance = 0.04f;
    embers->endSize = 0.03f;
    embers->startColor = Color(1.0f, 0.85f, 0.35f, 1.0f);
    embers->endColor = Color(0.6f, 0.08f, 0.02f, 1.0f);
    return embers;
}

// Flames: bright sprites that rise, redden and fade.
Pointer<SpriteParticleSystem> VillageBuilder::CampFireFlames() {
    Pointer<SpriteParticleSystem> flames(new SpriteParticleSystem());
    flames->SetName(String("Camp Fire Flames"));
    Pointer<SphereVolumeEmitter> hearth(new SphereVolumeEmitter());
    hearth->SetName(String("Camp Fire Hearth"));
    hearth->radius = 0.35f;
    hearth->maxAngle = 0.3f;
    flames->SetEmitter(hearth.Get());
    flames->SetMaxParticles(60);
    flames->emissionPeriod = 0.03f;
    flames->burstSize = 2;
    flames->speed = 1.1f;
    flames->speedVariance = 0.4f;
    flames->acceleration = Vector3(0.0f, 0.8f, 0.0f);
    flames->lifetime = 0.7f;
    flames->lifetimeVariance = 0.25f;
    flames->startColor = Color(1.0f, 0.75f, 0.3f, 0.9f);
    flames->endColor = Color(0.8f, 0.15f, 0.02f, 0.0f);
    flames->GetLocalTransform().SetTranslation({0.0f, 0.35f, 0.0f});
    flames->SetEffect(GlowSprites(kit_.TextureFor("Textures/glow.tga"), true).Get());
    return flames;
}

void VillageBuilder::AddGarland(SceneNode& parent, const std::string& name, const std::vector<Vector3>& points,
                                bool strip) {
    Pointer<Vector3Buffer> positions(new Vector3Buffer(int(points.size())));
    std::copy(points.begin(), points.end(), positions->GetElements());
    // The lamps sit on the wire's vertices. The wire goes in the tree before the garland, so
    // that its bound, which the garland takes for its own, is current when the garland updates.
    // A strip is one wire; a line list hangs in loops, one segment per pair of lamps.
    Pointer<GeometryNode> wire(strip ? static_cast<GeometryNode*>(new StripLines()) : new Lines());
    wire->SetName(String((name + " Wire").c_str()));
    wire->SetVertices(positions.Get());
    Pointer<IntBuffer> order(new IntBuffer(int(points.size())));
    for (int i = 0; i < int(points.size()); ++i) order->GetElements()[i] = i;
    wire->SetIndices(order.Get());
    Pointer<ColorEffect> dark(new ColorEffect());
    dark->SetColor(Color(0.05f, 0.06f, 0.05f, 1.0f));
    wire->SetEffect(dark.Get());
    wire->RebuildDerived(false, false);
    parent.AttachChild(wire.Get());

    Pointer<Garland> garland(new Garland());
    garland->SetName(String(name.c_str()));
    for (const Color& c : {Color(1.0f, 0.2f, 0.15f, 0.9f), Color(0.2f, 1.0f, 0.3f, 0.9f),
                           Color(0.3f, 0.5f, 1.0f, 0.9f), Color(1.0f, 0.85f, 0.2f, 0.9f)})
        garland->GetPalette().Append(c);
    garland->SetLine(wire.Get());
    garland->blinkPeriod = 0.8f;
    garland->lampSize = 0.25f;  // a bulb about a quarter of a unit across
    if (auto* sprites = DynamicCast<SpriteEffect>(garland->GetEffect())) {
        sprites->SetTexture(kit_.TextureFor("Textures/bulb.tga"));
        sprites->destinationBlend = 1;  // lamps add light
    }
    parent.AttachChild(garland.Get());
    glowing_.push_back(Pointer<Node>(garland.Get()));
}

void VillageBuilder::AddGarlands(SceneNode& root) {
    Pointer<SceneNode> garlands(new SceneNode());
    garlands->SetName(String("Garlands"));
    // A string of lights sagging between each pair of neighbouring lamps.
    for (size_t i = 0; i + 1 < lampTops_.size(); ++i) {
        std::vector<Vector3> points;
        const int lamps = 24;
        for (int k = 0; k < lamps; ++k) {
            const float t = float(k) / float(lamps - 1);
            const Vector3 p = lampTops_[i] + (lampTops_[i + 1] - lampTops_[i]) * t;
            points.push_back(p - Vector3(0.0f, 1.6f * 4.0f * t * (1.0f - t) + 0.3f, 0.0f));
        }
        AddGarland(*garlands, "Garland " + std::to_string(i + 1), points, true);
    }
    if (!eave_.empty()) AddGarland(*garlands, "Eave Garland", eave_, false);

    // The village's own fir by the lane, wound round with a long garland.
    Pointer<SceneNode> fir(new SceneNode());
    fir->SetName(String("Village Fir"));
    const Vector3 at{kVillageFir.x, SceneKit::GroundHeight(kVillageFir.x, kVillageFir.z) - 0.2f, kVillageFir.z};
    fir->GetLocalTransform().SetTranslation(at);
    Mesh trunk, crown;
    trunk.Tube({0.0f, 0.0f, 0.0f}, {0.0f, 2.5f, 0.0f}, 0.35f, 0.3f, 10);
    const float bases[3] = {1.5f, 3.7f, 5.9f}, radii[3] = {3.2f, 2.3f, 1.4f};
    for (int tier = 0; tier < 3; ++tier) crown.Cone({0.0f, bases[tier], 0.0f}, radii[tier], 4.0f, 12);
    for (Pointer<Triangles> part : {SceneKit::MakeNode("Village Fir Trunk", trunk, kit_.Lit("Textures/bark.tga").Get()),
                                    SceneKit::MakeNode("Village Fir Crown", crown, kit_.Lit("Textures/needles.tga").Get())}) {
        fir->AttachChild(part.Get());
        shadowSurfaces_.push_back(Pointer<GeometryNode>(part.Get()));
    }
    root.AttachChild(fir.Get());
    solids_.push_back(Pointer<Node>(fir.Get()));
    std::vector<Vector3> spiral;
    const int lamps = 72;
    for (int k = 0; k < lamps; ++k) {
        const float t = float(k) / float(lamps - 1), y = 1.7f + t * 7.6f, a = t * 4.5f * 2.0f * kPi;
        float r = 0.2f;
        for (int tier = 0; tier < 3; ++tier)
            if (y >= bases[tier] && y <= bases[tier] + 4.0f) r = std::max(r, radii[tier] * (1.0f - (y - bases[tier]) / 4.0f));
        spiral.push_back(at + Vector3((r + 0.15f) * std::cos(a), y, (r + 0.15f) * std::sin(a)));
    }
    AddGarland(*garlands, "Fir Garland", spiral, true);
    eaveGarland_ = DynamicCast<Node>(garlands->GetChild(garlands->GetChildCount() - 1));
    root.AttachChild(garlands.Get());
}

} // namespace nuv
