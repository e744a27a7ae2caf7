#pragma once

#include "core/Pointer.h"
#include "core/Vector3.h"
#include "scene/GeometryNode.h"
#include "scene/Node.h"

#include <string>
#include <vector>

namespace nuv {

class NodeParticleSystem;
class SceneKit;
class SceneNode;
class SpriteParticleSystem;
class Triangles;

// The village: street lamps (their lights first, so that every lit surface takes them), houses
// with light-mapped walls, lit windows and smoking chimneys, a camp fire with embers, flares on
// the lamp heads and chasing garlands on the lamp wires and the eaves.
class VillageBuilder {
public:
    explicit VillageBuilder(SceneKit& kit) : kit_(kit) {}

    // Where a house stands (ground position and turn about the vertical) and its floor's size.
    struct HousePlan {
        float x, z, yaw, width, depth;
    };

    // The lamps' and the fire's lights, under a "Street Lamps" node; before any lit surface.
    void AddLights(SceneNode& root);
    // Everything else; after the lights.
    void AddHouses(SceneNode& root);
    void AddLampPosts();
    void AddCampFire(SceneNode& root);
    void AddGarlands(SceneNode& root);

    // Nodes a reflection or a shadow should show: each house and the lamps.
    const std::vector<Pointer<Node>>& GetSolidNodes() const { return solids_; }
    // Lamp heads, windows and garlands: what glows.
    const std::vector<Pointer<Node>>& GetGlowingNodes() const { return glowing_; }
    const std::vector<Pointer<Node>>& GetHouses() const { return houses_; }
    // Surfaces that cast moon shadows and take them: walls, roofs, chimneys, posts, the fir.
    const std::vector<Pointer<GeometryNode>>& GetShadowSurfaces() const { return shadowSurfaces_; }
    Node* GetCampFire() const { return fire_.Get(); }
    Node* GetEaveGarland() const { return eaveGarland_.Get(); }

private:
    // One house of the plan with its walls, roof, chimney, windows and smoke; the second
    // also gives the eave garland its points.
    Pointer<SceneNode> AddHouse(const HousePlan& plan, int number);
    Pointer<SpriteParticleSystem> ChimneySmoke(int number, const Vector3& vent);
    Pointer<NodeParticleSystem> CampFireEmbers(Triangles& wood);
    Pointer<SpriteParticleSystem> CampFireFlames();
    void AddGarland(SceneNode& parent, const std::string& name, const std::vector<Vector3>& points, bool strip);

    SceneKit& kit_;
    Pointer<SceneNode> lamps_;
    std::vector<Vector3> lampTops_;
    std::vector<Pointer<Node>> solids_;
    std::vector<Pointer<Node>> glowing_;
    std::vector<Pointer<Node>> houses_;
    std::vector<Pointer<GeometryNode>> shadowSurfaces_;
    std::vector<Vector3> eave_;  // world points along the front eave of the second house
    Pointer<Node> fire_;
    Pointer<Node> eaveGarland_;
};

} // namespace nuv
