#include "content/WinterSceneBuilder.h"

#include "animation/PostUpdateController.h"
#include "content/CameraShots.h"
#include "content/FigureBuilder.h"
#include "content/VillageBuilder.h"
#include "core/Color.h"
#include "core/ColorBuffer.h"
#include "core/FloatBuffer.h"
#include "core/IntBuffer.h"
#include "core/MathUtil.h"
#include "core/String.h"
#include "core/Vector3Buffer.h"
#include "media/image/Image.h"
#include "render/ColorEffect.h"
#include "render/CustomGlowPostRenderEffect.h"
#include "render/FresnelTextureController.h"
#include "render/NormalmapTextureController.h"
#include "render/PostRenderEffect.h"
#include "render/ReflectiveQuietFlatWaterEffect.h"
#include "render/RenderScreenspaceReflectTextureController.h"
#include "render/RenderShadowmapEffectController.h"
#include "render/ShadowmapEffect.h"
#include "render/SnowEffect.h"
#include "render/SnowIceEffect.h"
#include "render/SpriteEffect.h"
#include "render/TextureEffect.h"
#include "scene/Light.h"
#include "scene/Points.h"
#include "scene/SceneNode.h"
#include "scene/SphereVolumeEmitter.h"
#include "scene/SpriteParticleSystem.h"
#include "scene/Triangles.h"
#include "scene/WindowPlane.h"

#include <cmath>
#include <cstdlib>

namespace nuv {

namespace {

// The reflection controller that draws into a water effect's reflection map.
RenderScreenspaceReflectTextureController* MirrorOf(ReflectiveQuietFlatWaterEffect& water) {
    Texture* map = water.GetReflectionMap();
    for (int i = 0; map && i < map->GetControllerCount(); ++i)
        if (auto* mirror = DynamicCast<RenderScreenspaceReflectTextureController>(map->GetController(i))) return mirror;
    return nullptr;
}

} // namespace

Pointer<SceneNode> WinterSceneBuilder::Build() {
    SceneKit kit(seed_);
    Pointer<SceneNode> root(new SceneNode());
    root->SetName(String(kRootName));
    Pointer<ScreensaverController> director(new ScreensaverController());
    director->SetName(String("Director"));
    root->AddController(director.Get());
    // The world is drawn through the moon's shadows, and that picture through the glow.
    Pointer<SceneNode> glowLayer(new SceneNode());
    glowLayer->SetName(String("Glow Layer"));
    root->AttachChild(glowLayer.Get());
    Pointer<SceneNode> world(new SceneNode());
    world->SetName(String("World"));
    glowLayer->AttachChild(world.Get());

    // Lights come first: every lit surface made afterwards takes them, the moon first.
    Pointer<Light> moon(new Light());
    moon->SetName(String("Moonlight"));
    moon->SetLightType(Light::kDirectional);
    moon->SetAmbient(Color(0.18f, 0.2f, 0.3f));
    moon->SetDiffuse(Color(0.45f, 0.5f, 0.7f));
    moon->GetLocalTransform().SetRotation(SceneKit::LookRotation(Vector3(0, 0, 0), Vector3(-0.5f, -0.6f, 0.65f)));
    world->AttachChild(moon.Get());
    kit.AddLight(moon.Get());
    VillageBuilder village(kit);
    village.AddLights(*world);

    // Made in this order (the content's random numbers follow it) but drawn nearly front to
    // back: what stands on the ground first, then the ground and the ice, the sky last. Hidden
    // pixels of the wide surfaces then fail the depth test before they are shaded.
    AddSky(kit);
    Pointer<SceneNode> surfaces(new SceneNode());
    AddGround(kit, *surfaces);
    Pointer<Node> pond = AddPond(kit, *surfaces);
    AddIceHole(kit, *surfaces);
    AddTrees(kit, *world);
    village.AddHouses(*world);
    village.AddLampPosts();
    village.AddCampFire(*world);
    village.AddGarlands(*world);
    AddDrifts(kit, *world);
    FigureBuilder figures(kit);
    Pointer<SceneNode> skater = figures.AddSkater(*world);
    Pointer<SceneNode> snowman = figures.AddSnowman(*world);
    for (int i = 0; i < surfaces->GetChildCount(); ++i) {
        const Pointer<Node> surface(surfaces->GetChild(i));
        if (!surface) continue;
        surfaces->RemoveChild(surface.Get());
        world->AttachChild(surface.Get());
    }
    world->AttachChild(sky_.Get());
    AddSnow(kit, *world);

    // The ice mirrors what stands round it; the ground and the snow are left out.
    if (auto* ice = DynamicCast<SnowIceEffect>(DynamicCast<Triangles>(pond.Get())->GetEffect()))
        if (RenderScreenspaceReflectTextureController* mirror = MirrorOf(*ice)) {
            // The mirror is the dearest pass of the frame: it takes what stands by the shore and
            // can be seen in the ice (not the fire's particles, nor the snowman behind the lane).
            for (const Pointer<Node>& node : village.GetSolidNodes())
                if (node.Get() != village.GetCampFire()) mirror->AddNode(node.Get());
            mirror->AddNode(skater.Get());
            // Of the forest, only the firs near enough to the shore to show in the ice.
            for (const Pointer<Node>& fir : nearTrees_) mirror->AddNode(fir.Get());
            // The sky last, as in the world: only where nothing stands before it.
            mirror->AddNode(sky_.Get());
        }

    CameraShots::Subjects subjects;
    subjects.skater = skater.Get();
    subjects.snowman = snowman.Get();
    subjects.eaveGarland = village.GetEaveGarland();
    subjects.campFire = village.GetCampFire();
    subjects.blockingHouse = village.GetHouses().empty() ? nullptr : village.GetHouses().front().Get();
    CameraShots shots(*director, *world);
    shots.Build(subjects);

    if (withSounds_) {
        SoundBuilder::Places places;
        places.fire = village.GetCampFire();
        places.skater = skater.Get();
        places.belfry = village.GetHouses().size() > 1 ? DynamicCast<SceneNode>(village.GetHouses()[1].Get()) : nullptr;
        SoundBuilder().Build(*world, places);
    }
    AddFrost(kit, *world);
    AddShadows(*world, moon.Get(), village, {skater.Get(), snowman.Get()});
    AddGlow(*glowLayer, village);
    textureFiles_ = kit.GetTextureFiles();
    return root;
}

void WinterSceneBuilder::AddShadows(SceneNode& world, Light* moon, const VillageBuilder& village,
                                    const std::vector<Node*>& figures) {
    // The moon casts what stands in the village onto the village ground and itself. (The ice
    // is left out: drawing it a second time for the skater's shadow costs more than it shows.)
    Pointer<ShadowmapEffect> shadows(new ShadowmapEffect());
    shadows->SetName(String("Moon Shadows"));
    shadows->SetShadowLight(moon);
    shadows->SetShadowColor(Color(0.0f, 0.02f, 0.08f, 0.35f));  // moonlight shadows on snow are soft
    shadows->SetFiltering(false);  // the filtered lookup costs too much over the whole ground
    shadows->SetDepthBias(60000);  // about half a unit over the depth of the village
    if (auto* ground = DynamicCast<GeometryNode>(world.FindByName(String("Village Ground")))) shadows->AddNode(ground);
    for (const Pointer<GeometryNode>& surface : village.GetShadowSurfaces()) shadows->AddNode(surface.Get());
    for (Node* figure : figures)
        if (auto* group = DynamicCast<SceneNode>(figure))
            for (int i = 0; i < group->GetChildCount(); ++i)
                if (auto* skin = DynamicCast<Triangles>(group->GetChild(i))) shadows->AddNode(skin);
    Pointer<RenderShadowmapEffectController> render(new RenderShadowmapEffectController());
    render->SetName(String("Moon Shadow Map"));
    shadows->AddController(render.Get());
    world.AddEffect(shadows.Get());
}

void WinterSceneBuilder::AddGlow(SceneNode& layer, const VillageBuilder& village) {
    // Lamp heads, windows, garlands and the fire shine into the night air.
    Pointer<CustomGlowPostRenderEffect> glow(new CustomGlowPostRenderEffect());
    glow->SetName(String("Lamp Glow"));
    glow->SetIntensity(1.0f);
    glow->SetBlurWidth(2.5f);
    glow->SetScale(0.125f);  // a small glow picture: cheap to blur, and the blur reaches further
    for (const Pointer<Node>& node : village.GetGlowingNodes()) glow->AddNode(node.Get());
    layer.AddEffect(glow.Get());
}

void WinterSceneBuilder::AddSky(SceneKit& kit) {
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
    Pointer<SceneNode> heavens(new SceneNode());
    heavens->SetName(String("Heavens"));
    heavens->AttachChild(SceneKit::MakeNode("Sky", mesh, kit.Unlit("Textures/sky.tga").Get()).Get());

    // The brightest stars as points of their own colour in front of the dome.
    const int count = 300;
    Pointer<Vector3Buffer> places(new Vector3Buffer(count));
    Pointer<ColorBuffer> colours(new ColorBuffer(count));
    Pointer<FloatBuffer> sizes(new FloatBuffer(count));
    Pointer<IntBuffer> order(new IntBuffer(count));
    for (int i = 0; i < count; ++i) {
        const float azimuth = kit.Random() * 2.0f * kPi, elevation = 0.08f + std::asin(kit.Random()) * 0.95f;
        places->GetElements()[i] = Vector3(std::cos(elevation) * std::cos(azimuth), std::sin(elevation),
                                           std::cos(elevation) * std::sin(azimuth)) * 2500.0f;
        const float warmth = kit.Random();
        colours->GetElements()[i] = Color(0.8f + 0.2f * warmth, 0.85f, 1.0f - 0.2f * warmth, 1.0f);
        sizes->GetElements()[i] = 1.0f + 2.0f * kit.Random();
        order->GetElements()[i] = i;
    }
    Pointer<Points> stars(new Points());
    stars->SetName(String("Bright Stars"));
    stars->SetVertices(places.Get());
    stars->SetColors(colours.Get());
    stars->SetPointSizes(sizes.Get());
    stars->SetIndices(order.Get());
    Pointer<ColorEffect> starlight(new ColorEffect());
    starlight->SetColor(Color(0.95f, 0.95f, 1.0f, 1.0f));
    stars->SetEffect(starlight.Get());
    stars->RebuildDerived(false, false);
    heavens->AttachChild(stars.Get());
    // The sky goes through a picture effect of its own with the film bars off: switching them on
    // here letterboxes the sky alone, so it stays off; the effect keeps the place for it.
    Pointer<PostRenderEffect> film(new PostRenderEffect());
    film->SetName(String("Sky Film"));
    film->SetFilm(false);
    heavens->AddEffect(film.Get());
    sky_ = heavens.Get();
}

void WinterSceneBuilder::AddGround(SceneKit& kit, SceneNode& root) {
    // One grid, in two nodes: the village's middle (which takes the moon's shadows) and the
    // fields round it.
    const int cells = 48, inner = 6;  // the middle is 2 x inner cells each way
    const float half = SceneKit::kGroundHalf, step = 2.0f * half / float(cells);
    Mesh village, fields;
    // Each node keeps only the grid points its cells use, so its bound (and the shadows' focus
    // on the middle) is no larger than it must be.
    std::vector<int> villageIndex(size_t((cells + 1) * (cells + 1)), -1), fieldsIndex(villageIndex);
    auto point = [&](Mesh& mesh, std::vector<int>& index, int i, int j) {
        int& slot = index[size_t(j * (cells + 1) + i)];
        if (slot < 0) {
            const float x = -half + float(i) * step, z = -half + float(j) * step;
            slot = mesh.Vertex({x, SceneKit::GroundHeight(x, z), z}, {float(i) * 0.5f, float(j) * 0.5f});
        }
        return slot;
    };
    for (int j = 0; j < cells; ++j)
        for (int i = 0; i < cells; ++i) {
            const bool middle = std::abs(2 * i + 1 - cells) < 2 * inner && std::abs(2 * j + 1 - cells) < 2 * inner;
            Mesh& mesh = middle ? village : fields;
            std::vector<int>& index = middle ? villageIndex : fieldsIndex;
            const int a = point(mesh, index, i, j), b = point(mesh, index, i + 1, j);
            const int c = point(mesh, index, i, j + 1), d = point(mesh, index, i + 1, j + 1);
            mesh.Triangle(a, c, b, {0, 1, 0});
            mesh.Triangle(b, c, d, {0, 1, 0});
        }
    root.AttachChild(SceneKit::MakeNode("Snowfield", fields, kit.Lit("Textures/snow.tga").Get()).Get());
    root.AttachChild(SceneKit::MakeNode("Village Ground", village, kit.Lit("Textures/snow.tga").Get()).Get());
}

Pointer<Node> WinterSceneBuilder::AddPond(SceneKit& kit, SceneNode& root) {
    Mesh mesh;
    const int segments = 48;
    const float y = SceneKit::kIceHeight;
    const int centre = mesh.Vertex({0.0f, y, 0.0f}, {2.0f, 2.0f});
    for (int s = 0; s <= segments; ++s) {
        const float a = float(s) / float(segments) * 2.0f * kPi;
        // A slightly uneven shore.
        const float r = SceneKit::kPondRadius * (1.0f + 0.08f * std::sin(a * 3.0f) + 0.05f * std::cos(a * 5.0f));
        mesh.Vertex({r * std::cos(a), y, r * std::sin(a)}, {2.0f + 2.0f * std::cos(a), 2.0f + 2.0f * std::sin(a)});
    }
    for (int s = 0; s < segments; ++s) mesh.Triangle(centre, centre + 1 + s, centre + 2 + s, {0, 1, 0});
    for (const Vector2& uv : mesh.uvs) mesh.uvs2.push_back(uv * 3.0f);  // the ripples, finer than the ice

    Pointer<SnowIceEffect> ice(new SnowIceEffect());
    ice->SetTexture(kit.TextureFor("Textures/ice.tga"));
    Texture* bumps = kit.TextureFor("Textures/icebump.tga");
    ice->SetNormalmap(bumps);
    ice->SetNormalmapSet(1);
    ice->distortion = 0.06f;
    ice->rippleRadius = 0.05f;
    ice->rippleSpeed = 0.3f;
    if (bumps->GetControllerCount() == 0) {
        // The bumps are drawn as a normal map already; a height map here would be turned into one.
        Pointer<NormalmapTextureController> relief(new NormalmapTextureController());
        relief->SetName(String("Ice Relief"));
        relief->bump = 3.0f;
        bumps->AddController(relief.Get());
    }
    Pointer<Node> level(new Node());
    level->SetName(String("Ice Level"));
    level->GetLocalTransform().SetTranslation({0.0f, y, 0.0f});
    root.AttachChild(level.Get());
    if (RenderScreenspaceReflectTextureController* mirror = MirrorOf(*ice)) {
        mirror->SetName(String("Pond Mirror"));
        mirror->SetReferenceNode(level.Get());
    }
    Pointer<Triangles> pond = SceneKit::MakeNode("Frozen Pond", mesh, ice.Get());
    root.AttachChild(pond.Get());
    return Pointer<Node>(pond.Get());
}

void WinterSceneBuilder::AddIceHole(SceneKit& kit, SceneNode& root) {
    // A fishing hole cut in the ice: open water that mirrors the sky and the lamps.
    Mesh mesh;
    const Vector3 at{-5.0f, SceneKit::kIceHeight + 0.02f, -3.0f};
    const int centre = mesh.Vertex(at, {0.5f, 0.5f});
    const int segments = 16;
    for (int s = 0; s <= segments; ++s) {
        const float a = float(s) / float(segments) * 2.0f * kPi;
        const float r = 1.3f + 0.15f * std::sin(a * 3.0f);
        mesh.Vertex(at + Vector3(r * std::cos(a), 0.0f, r * std::sin(a)), {0.5f + 0.5f * std::cos(a), 0.5f + 0.5f * std::sin(a)});
    }
    for (int s = 0; s < segments; ++s) mesh.Triangle(centre, centre + 1 + s, centre + 2 + s, {0, 1, 0});
    mesh.FillSecondSet();

    Pointer<ReflectiveQuietFlatWaterEffect> water(new ReflectiveQuietFlatWaterEffect());
    // Without programs the water shows its base texture: a Fresnel ramp made in memory.
    Pointer<Image> ramp(new Image(String("Fresnel Ramp"), 64, 64, Image::kRgb));
    Pointer<Texture> fresnel(new Texture());
    fresnel->SetName(String("Fresnel Ramp"));
    fresnel->SetImage(ramp.Get());
    Pointer<FresnelTextureController> fill(new FresnelTextureController());
    fill->SetName(String("Water Fresnel"));
    fresnel->AddController(fill.Get());
    water->SetTexture(fresnel.Get());
    water->SetNormalmap(kit.TextureFor("Textures/icebump.tga"));
    water->distortion = 0.12f;
    water->SetColor(Color(0.55f, 0.65f, 0.8f, 1.0f));
    Pointer<Node> level(new Node());
    level->SetName(String("Water Level"));
    level->GetLocalTransform().SetTranslation(at);
    root.AttachChild(level.Get());
    if (RenderScreenspaceReflectTextureController* mirror = MirrorOf(*water)) {
        // The hole is small and dark: its mirror is left off, which saves a second reflection
        // pass every frame; switched on, it shows the sky.
        mirror->SetName(String("Hole Mirror"));
        mirror->SetReferenceNode(level.Get());
        if (sky_) mirror->AddNode(sky_.Get());
        mirror->SetActive(false);
    }
    root.AttachChild(SceneKit::MakeNode("Fishing Hole", mesh, water.Get()).Get());
}

void WinterSceneBuilder::AddTrees(SceneKit& kit, SceneNode& root) {
    Pointer<SceneNode> forest(new SceneNode());
    forest->SetName(String("Fir Trees"));
    // One trunk and three stacked cones, shared by every tree through its buffers.
    Mesh trunk, crown;
    trunk.Tube({0.0f, 0.0f, 0.0f}, {0.0f, 2.5f, 0.0f}, 0.35f, 0.3f, 10);
    for (int tier = 0; tier < 3; ++tier)
        crown.Cone({0.0f, 1.5f + 2.2f * float(tier), 0.0f}, 3.2f - 0.9f * float(tier), 4.0f, 10);
    Pointer<Triangles> firstTrunk, firstCrown;
    const int count = 36;
    for (int t = 0; t < count; ++t) {
        // A ring of forest round the village, clear of the pond and the houses' lane.
        const float angle = kit.Random() * 2.0f * kPi;
        const float distance = 55.0f + kit.Random() * 110.0f;
        const float x = distance * std::cos(angle), z = distance * std::sin(angle);
        const float scale = 0.8f + kit.Random() * 0.7f;
        const std::string name = "Fir " + std::to_string(t + 1);
        Pointer<SceneNode> tree(new SceneNode());
        tree->SetName(String(name.c_str()));
        tree->GetLocalTransform().SetTranslation({x, SceneKit::GroundHeight(x, z) - 0.2f, z});
        tree->GetLocalTransform().SetScale({scale, scale, scale});
        tree->GetLocalTransform().SetRotation(Quaternion::FromAxisAngle({0, 1, 0}, kit.Random() * 2.0f * kPi));
        Pointer<GeometryNodeEffect> needles = kit.Lit("Textures/needles.tga");
        // The crowns sway a little in the wind.
        needles->swayEnabled = 1;
        needles->swayAmplitude = 0.015f;
        needles->swayFrequency = 0.8f;
        Pointer<Triangles> stem = SceneKit::MakeNode(name + " Trunk", trunk, kit.Lit("Textures/bark.tga").Get());
        Pointer<Triangles> top = SceneKit::MakeNode(name + " Crown", crown, needles.Get());
        if (firstTrunk) {
            // Trees share the first tree's arrays.
            stem->SetVertices(firstTrunk->GetVertices());
            stem->SetNormals(firstTrunk->GetNormals());
            stem->SetTexCoords(0, firstTrunk->GetTexCoords(0));
            stem->SetIndices(firstTrunk->GetIndices());
            top->SetVertices(firstCrown->GetVertices());
            top->SetNormals(firstCrown->GetNormals());
            top->SetTexCoords(0, firstCrown->GetTexCoords(0));
            top->SetIndices(firstCrown->GetIndices());
        } else {
            firstTrunk = stem;
            firstCrown = top;
        }
        tree->AttachChild(stem.Get());
        tree->AttachChild(top.Get());
        forest->AttachChild(tree.Get());
        if (distance < 70.0f) nearTrees_.push_back(Pointer<Node>(tree.Get()));
    }
    root.AttachChild(forest.Get());
    trees_ = forest.Get();
}

void WinterSceneBuilder::AddDrifts(SceneKit& kit, SceneNode& root) {
    // Banks of fresh snow along the shore that glitter as the camera moves.
    Mesh mesh;
    for (int k = 0; k < 9; ++k) {
        const float a = 0.5f + float(k) * 0.62f + kit.Random() * 0.2f;
        const float r = SceneKit::kPondRadius + 5.0f + kit.Random() * 4.0f;
        const float x = r * std::cos(a), z = r * std::sin(a);
        mesh.Ellipsoid({x, SceneKit::GroundHeight(x, z) - 0.5f, z}, {2.5f + 2.0f * kit.Random(), 1.2f, 1.8f + kit.Random()}, 5, 10);
    }
    Pointer<SnowEffect> glitter(new SnowEffect());
    glitter->SetTexture(kit.TextureFor("Textures/snow.tga"));
    glitter->SetColor(Color(0.42f, 0.46f, 0.62f, 1.0f));
    glitter->glitterScale = 6.0f;
    root.AttachChild(SceneKit::MakeNode("Snow Drifts", mesh, glitter.Get()).Get());
}

void WinterSceneBuilder::AddSnow(SceneKit& kit, SceneNode& root) {
    Pointer<SpriteParticleSystem> snow(new SpriteParticleSystem());
    snow->SetName(String(kSnowName));
    Pointer<SphereVolumeEmitter> emitter(new SphereVolumeEmitter());
    emitter->SetName(String("Snow Cloud"));
    emitter->radius = 70.0f;
    // Flakes leave the cloud downwards (the node is turned over, so its +Y points down), within
    // a narrow cone, and drift with the wind while gravity pulls them on.
    emitter->maxAngle = 0.45f;
    snow->SetEmitter(emitter.Get());
    snow->SetMaxParticles(11000);
    snow->emissionPeriod = 0.05f;
    snow->burstSize = 25;
    snow->burstSizeVariance = 5;
    snow->speed = 1.1f;
    snow->speedVariance = 0.35f;
    snow->acceleration = Vector3(0.12f, -0.15f, 0.05f);
    snow->accelerationVariance = Vector3(0.12f, 0.05f, 0.12f);
    snow->lifetime = 22.0f;
    snow->lifetimeVariance = 3.0f;
    snow->startSize = 0.22f;  // flakes a few centimetres across, in a unit of about a metre
    snow->startSizeVariance = 0.07f;
    snow->endSize = 0.18f;
    snow->startColor = Color(1.0f, 1.0f, 1.0f, 1.0f);
    snow->endColor = Color(1.0f, 1.0f, 1.0f, 0.35f);
    snow->GetLocalTransform().SetTranslation({0.0f, 38.0f, 5.0f});
    snow->GetLocalTransform().SetRotation(Quaternion::FromAxisAngle(Vector3(1.0f, 0.0f, 0.0f), 3.1415927f));
    if (auto* sprites = DynamicCast<SpriteEffect>(snow->GetEffect())) {
        sprites->SetTexture(kit.TextureFor("Textures/flake.tga"));
        sprites->SetBlendEnabled(true);
    }
    root.AttachChild(snow.Get());
}

void WinterSceneBuilder::AddFrost(SceneKit& kit, SceneNode& root) {
    // Frost creeping into the top left corner of the view, as on a cold window pane. Only the
    // corner is covered: a blended full-screen plane costs a whole extra layer of pixels.
    Pointer<WindowPlane> frost(new WindowPlane());
    frost->SetName(String("Frosted Pane"));
    frost->position = Vector2(0.0f, 0.6f);
    frost->size = Vector2(0.3f, 0.4f);
    Pointer<TextureEffect> look(new TextureEffect());
    look->SetTexture(kit.TextureFor("Textures/frost.tga"));
    look->SetBlendEnabled(true);
    look->depthTest = 0;
    look->depthWrite = 0;
    frost->SetEffect(look.Get());
    // The pane's post-update step: it has nothing to prepare before the frame is drawn.
    Pointer<PostUpdateController> step(new PostUpdateController());
    step->SetName(String("Pane Step"));
    frost->AddController(step.Get());
    root.AttachChild(frost.Get());
}

} // namespace nuv
