#include "content/FigureBuilder.h"

#include "animation/NodeAnimation.h"
#include "animation/NodeAnimationController.h"
#include "animation/SkeletonAnimationController.h"
#include "animation/SkinController.h"
#include "animation/TargetLightController.h"
#include "content/SceneKit.h"
#include "core/Color.h"
#include "core/MathUtil.h"
#include "core/String.h"
#include "core/Vector3Buffer.h"
#include "core/Vector4Buffer.h"
#include "render/TextureLightingEffect.h"
#include "scene/Light.h"
#include "scene/Transform.h"
#include "scene/Triangles.h"

#include <algorithm>
#include <cmath>

namespace nuv {

namespace {

Quaternion Turn(const Vector3& axis, float angle) { return Quaternion::FromAxisAngle(axis, angle); }
Quaternion Pitch(float a) { return Turn({1, 0, 0}, a); }
Quaternion Yaw(float a) { return Turn({0, 1, 0}, a); }
Quaternion Roll(float a) { return Turn({0, 0, 1}, a); }

// All vertices on one bone.
auto Rigid(int bone) {
    return [bone](const Vector3&, Vector4& indices, Vector4& weights) {
        indices = Vector4(float(bone), 0.0f, 0.0f, 0.0f);
        weights = Vector4(1.0f, 0.0f, 0.0f, 0.0f);
    };
}

// From bone a below height y0 to bone b above y1, blended in between.
auto ByHeight(int a, int b, float y0, float y1) {
    return [=](const Vector3& p, Vector4& indices, Vector4& weights) {
        const float t = std::clamp((p.y - y0) / (y1 - y0), 0.0f, 1.0f);
        indices = Vector4(float(a), float(b), 0.0f, 0.0f);
        weights = Vector4(1.0f - t, t, 0.0f, 0.0f);
    };
}

} // namespace

int FigureBuilder::AddBone(Rig& rig, SceneNode& figure, const std::string& name, int parent, const Vector3& rest) {
    Pointer<SceneNode> bone(new SceneNode());
    bone->SetName(String(name.c_str()));
    const Vector3 origin = parent < 0 ? Vector3(0, 0, 0) : rig.bones[size_t(parent)].rest;
    bone->GetLocalTransform().SetTranslation(rest - origin);
    (parent < 0 ? figure : *rig.bones[size_t(parent)].node).AttachChild(bone.Get());
    rig.bones.push_back({bone, rest});
    return int(rig.bones.size()) - 1;
}

void FigureBuilder::Bind(Rig& rig, size_t first, int band,
                         const std::function<void(const Vector3&, Vector4&, Vector4&)>& weigh) {
    for (size_t i = first; i < rig.mesh.positions.size(); ++i) {
        Vector4 indices, weights;
        weigh(rig.mesh.positions[i], indices, weights);
        rig.indices.push_back(indices);
        rig.weights.push_back(weights);
        // The atlas holds four bands of colour stacked vertically.
        Vector2& uv = rig.mesh.uvs[i];
        uv = Vector2(uv.x, (float(band) + 0.1f + 0.8f * std::clamp(uv.y, 0.0f, 1.0f)) * 0.25f);
    }
}

void FigureBuilder::Finish(Rig& rig, SceneNode& figure, const std::string& name, const std::vector<int>& lights) {
    Pointer<GeometryNodeEffect> look = kit_.PixelLit("Textures/figures.tga", lights);
    Pointer<Triangles> skin = SceneKit::MakeNode(name + " Skin", rig.mesh, look.Get());
    const int count = int(rig.mesh.positions.size());
    // The bind pose stays as made; the skinned positions are written over the mesh's own copy.
    Pointer<Vector3Buffer> bind(new Vector3Buffer(count));
    std::copy(rig.mesh.positions.begin(), rig.mesh.positions.end(), bind->GetElements());
    Pointer<Vector4Buffer> indices(new Vector4Buffer(count)), weights(new Vector4Buffer(count));
    std::copy(rig.indices.begin(), rig.indices.end(), indices->GetElements());
    std::copy(rig.weights.begin(), rig.weights.end(), weights->GetElements());
    Pointer<SkinController> controller(new SkinController());
    controller->SetName(String((name + " Skinning").c_str()));
    for (const Rig::Bone& bone : rig.bones)
        controller->AddBone(bone.node.Get(), Transform(-bone.rest, Quaternion::Identity(), {1, 1, 1}));
    controller->SetWeights(weights.Get());
    controller->SetBoneIndices(indices.Get());
    controller->SetBindVertices(bind.Get());
    controller->SetBindNormals(skin->GetNormals());
    skin->AddController(controller.Get());
    look->SetSkinController(controller.Get());
    figure.AttachChild(skin.Get());
}

void FigureBuilder::Animate(Rig& rig, SceneNode& figure, const std::string& clip, double seconds,
                            const std::vector<std::vector<Quaternion>>& poses) {
    Pointer<SkeletonAnimationController> skeleton(new SkeletonAnimationController());
    skeleton->SetName(String((std::string(figure.GetName().GetText()) + " Skeleton").c_str()));
    skeleton->SetPeriod(seconds);
    for (size_t b = 0; b < rig.bones.size() && b < poses.size(); ++b) {
        SceneNode& bone = *rig.bones[b].node;
        Pointer<NodeAnimation> track(new NodeAnimation());
        track->SetName(String(clip.c_str()));
        const std::vector<Quaternion>& keys = poses[b];
        for (size_t k = 0; k < keys.size(); ++k) {
            auto* key = new NodeAnimationKey();
            key->time = double(k) / double(keys.size());
            key->translation = bone.GetLocalTransform().GetTranslation();
            key->rotation = keys[k];
            track->AppendKey(key);
        }
        Pointer<NodeAnimationController> driver(new NodeAnimationController());
        driver->SetName(String((std::string(bone.GetName().GetText()) + " " + clip).c_str()));
        driver->AddAnimation(track.Get());
        driver->AddFrame(track.Get(), 0.0, 1.0);
        driver->SetPeriod(seconds);
        driver->SetActive(false);  // the skeleton runs it
        bone.AddController(driver.Get());
        skeleton->AddBoneController(driver.Get());
    }
    figure.AddController(skeleton.Get());
}

Pointer<SceneNode> FigureBuilder::AddSkater(SceneNode& root) {
    Pointer<SceneNode> figure(new SceneNode());
    figure->SetName(String("Skater"));
    BuildSkater(*figure);
    // Laps of the pond, always facing along the way. Added last, the lap controller heads the
    // figure's list: it moves the figure before the skeleton poses it, and a camera aimed at
    // the skater times its shot by the lap.
    Pointer<NodeAnimation> lap = SkaterLap();
    figure->AddController(LapController("Skater Laps", *lap).Get());
    figure->GetLocalTransform().SetTranslation({kSkaterLapRadius, SceneKit::kIceHeight, 2.0f});
    root.AttachChild(figure.Get());
    AddPondSpotlight(root, *figure, *lap);
    return figure;
}

void FigureBuilder::BuildSkater(SceneNode& figure) {
    Rig rig;
    const int hips = AddBone(rig, figure, "Skater Hips", -1, {0.0f, 1.0f, 0.0f});
    const int spine = AddBone(rig, figure, "Skater Spine", hips, {0.0f, 1.3f, 0.0f});
    const int head = AddBone(rig, figure, "Skater Head", spine, {0.0f, 1.6f, 0.0f});
    const int arms[2] = {AddBone(rig, figure, "Skater Left Arm", spine, {0.27f, 1.5f, 0.0f}),
                         AddBone(rig, figure, "Skater Right Arm", spine, {-0.27f, 1.5f, 0.0f})};
    const int legs[2] = {AddBone(rig, figure, "Skater Left Leg", hips, {0.12f, 1.0f, 0.0f}),
                         AddBone(rig, figure, "Skater Right Leg", hips, {-0.12f, 1.0f, 0.0f})};
    Mesh& m = rig.mesh;
    for (int side = 0; side < 2; ++side) {
        const float x = side == 0 ? 0.12f : -0.12f;
        size_t first = m.positions.size();
        m.Tube({x, 1.02f, 0.0f}, {x, 0.14f, 0.0f}, 0.09f, 0.07f, 8);
        Bind(rig, first, 3, Rigid(legs[side]));
        first = m.positions.size();
        m.Tube({x, 0.1f, -0.06f}, {x, 0.1f, 0.16f}, 0.07f, 0.06f, 6);  // boots
        m.Tube({x, 0.01f, -0.16f}, {x, 0.01f, 0.24f}, 0.015f, 0.015f, 4);  // blades
        Bind(rig, first, 1, Rigid(legs[side]));
        const float ax = side == 0 ? 0.27f : -0.27f;
        first = m.positions.size();
        m.Tube({ax, 1.5f, 0.0f}, {ax * 1.2f, 1.02f, 0.02f}, 0.075f, 0.06f, 8);
        Bind(rig, first, 2, Rigid(arms[side]));
    }
    size_t first = m.positions.size();
    m.Tube({0.0f, 0.9f, 0.0f}, {0.0f, 1.56f, 0.0f}, 0.21f, 0.2f, 12);  // coat
    Bind(rig, first, 2, ByHeight(hips, spine, 1.05f, 1.3f));
    first = m.positions.size();
    m.Ellipsoid({0.0f, 1.73f, 0.0f}, {0.12f, 0.14f, 0.12f}, 6, 10);
    Bind(rig, first, 0, Rigid(head));
    first = m.positions.size();
    m.Cone({0.0f, 1.8f, 0.0f}, 0.13f, 0.3f, 10);  // knitted cap
    m.Tube({0.0f, 1.53f, 0.0f}, {0.0f, 1.6f, 0.0f}, 0.14f, 0.13f, 10);  // scarf
    Bind(rig, first, 3, Rigid(head));
    Finish(rig, figure, "Skater", {0});  // the moon, then the spotlight below

    // One stride: push with the left foot, glide, push with the right, glide; arms swing
    // against the legs, the body leans into the lap.
    const float s = 0.35f;
    Animate(rig, figure, "Stride", kStrideSeconds,
            {{Yaw(0.12f), Yaw(0.0f), Yaw(-0.12f), Yaw(0.0f)},
             {Pitch(0.3f) * Roll(0.05f), Pitch(0.25f) * Roll(0.08f), Pitch(0.3f) * Roll(0.05f), Pitch(0.25f) * Roll(0.08f)},
             {Pitch(-0.2f), Pitch(-0.15f), Pitch(-0.2f), Pitch(-0.15f)},
             {Pitch(0.6f) * Roll(0.3f), Roll(0.35f), Pitch(-0.6f) * Roll(0.3f), Roll(0.35f)},
             {Pitch(-0.6f) * Roll(-0.3f), Roll(-0.35f), Pitch(0.6f) * Roll(-0.3f), Roll(-0.35f)},
             {Roll(s) * Pitch(-0.2f), Roll(0.05f), Roll(0.0f), Roll(0.05f)},
             {Roll(0.0f), Roll(-0.05f), Roll(-s) * Pitch(-0.2f), Roll(-0.05f)}});
}

Pointer<NodeAnimation> FigureBuilder::SkaterLap() {
    Pointer<NodeAnimation> lap(new NodeAnimation());
    lap->SetName(String("Skater Lap"));
    const int keys = 32;
    for (int k = 0; k < keys; ++k) {
        const float a = float(k) / float(keys) * 2.0f * kPi;
        const Vector3 at{kSkaterLapRadius * std::cos(a), SceneKit::kIceHeight, kSkaterLapRadius * std::sin(a) + 2.0f};
        auto* key = new NodeAnimationKey();
        key->time = double(k) / double(keys);
        key->translation = at;
        key->rotation = SceneKit::LookRotation(at, at + Vector3(-std::sin(a), 0.0f, std::cos(a)));
        lap->AppendKey(key);
    }
    return lap;
}

Pointer<NodeAnimationController> FigureBuilder::LapController(const std::string& name, NodeAnimation& lap) {
    Pointer<NodeAnimationController> laps(new NodeAnimationController());
    laps->SetName(String(name.c_str()));
    laps->AddAnimation(&lap);
    laps->AddFrame(&lap, 0.0, 1.0);
    laps->SetPeriod(kLapSeconds);
    return laps;
}

void FigureBuilder::AddPondSpotlight(SceneNode& root, SceneNode& figure, NodeAnimation& lap) {
    // A lamp on a pole by the pond follows the skater round. It aims at a mark that runs the
    // same laps rather than at the figure: the figure's skin is lit by the lamp, and a lamp
    // that held the figure would keep the whole skater alive in a reference loop.
    Pointer<Node> mark(new Node());
    mark->SetName(String("Skater Mark"));
    mark->AddController(LapController("Skater Mark Laps", lap).Get());
    mark->GetLocalTransform().SetTranslation({kSkaterLapRadius, SceneKit::kIceHeight + 1.0f, 2.0f});
    root.AttachChild(mark.Get());

    Pointer<Light> spot(new Light());
    spot->SetName(String("Pond Spotlight"));
    spot->SetLightType(Light::kSpot);
    spot->SetAmbient(Color(0.0f, 0.0f, 0.0f));
    spot->SetDiffuse(Color(0.7f, 0.75f, 0.9f));
    spot->SetSpotAngle(0.5f);
    spot->SetFalloff(1.0f);
    spot->GetLocalTransform().SetTranslation({-6.0f, 12.0f, -30.0f});
    Pointer<TargetLightController> follow(new TargetLightController());
    follow->SetName(String("Pond Spotlight Aim"));
    follow->SetTarget(mark.Get());
    spot->AddController(follow.Get());
    root.AttachChild(spot.Get());
    for (int i = 0; i < figure.GetChildCount(); ++i)
        if (auto* skin = DynamicCast<Triangles>(figure.GetChild(i)))
            if (auto* lit = DynamicCast<TextureLightingEffect>(skin->GetEffect())) lit->AddLight(spot.Get());
}

Pointer<SceneNode> FigureBuilder::AddSnowman(SceneNode& root) {
    Pointer<SceneNode> figure(new SceneNode());
    figure->SetName(String("Snowman"));
    Rig rig;
    const int body = AddBone(rig, *figure, "Snowman Body", -1, {0.0f, 0.0f, 0.0f});
    const int head = AddBone(rig, *figure, "Snowman Head", body, {0.0f, 2.55f, 0.0f});
    const int right = AddBone(rig, *figure, "Snowman Right Arm", body, {-0.55f, 2.1f, 0.0f});
    const int left = AddBone(rig, *figure, "Snowman Left Arm", body, {0.55f, 2.1f, 0.0f});
    Mesh& m = rig.mesh;
    size_t first = m.positions.size();
    m.Ellipsoid({0.0f, 0.8f, 0.0f}, {0.9f, 0.85f, 0.9f}, 10, 16);
    m.Ellipsoid({0.0f, 1.95f, 0.0f}, {0.65f, 0.62f, 0.65f}, 8, 14);
    Bind(rig, first, 0, Rigid(body));
    first = m.positions.size();
    m.Ellipsoid({0.0f, 2.95f, 0.0f}, {0.45f, 0.45f, 0.45f}, 8, 12);
    Bind(rig, first, 0, ByHeight(body, head, 2.45f, 2.65f));
    first = m.positions.size();
    m.Tube({0.0f, 2.95f, -0.4f}, {0.0f, 2.9f, -0.8f}, 0.07f, 0.01f, 6);  // carrot
    Bind(rig, first, 2, Rigid(head));
    first = m.positions.size();
    m.Tube({0.0f, 3.3f, 0.0f}, {0.0f, 3.36f, 0.0f}, 0.5f, 0.5f, 12);  // hat brim and crown
    m.Tube({0.0f, 3.34f, 0.0f}, {0.0f, 3.8f, 0.0f}, 0.32f, 0.3f, 12);
    for (const float x : {-0.16f, 0.16f}) m.Ellipsoid({x, 3.07f, -0.39f}, {0.05f, 0.05f, 0.03f}, 3, 5);
    for (const float y : {1.75f, 2.0f, 2.25f}) m.Ellipsoid({0.0f, y, -0.63f}, {0.06f, 0.06f, 0.03f}, 3, 5);
    Bind(rig, first, 3, [&](const Vector3& p, Vector4& i, Vector4& w) { Rigid(p.y > 2.5f ? head : body)(p, i, w); });
    for (int side = 0; side < 2; ++side) {
        const float x = side == 0 ? -1.0f : 1.0f;
        first = m.positions.size();
        const Vector3 shoulder{0.55f * x, 2.1f, 0.0f}, hand{1.45f * x, 2.55f, -0.05f};
        m.Tube(shoulder, hand, 0.05f, 0.035f, 6);
        m.Tube(hand, hand + Vector3(0.25f * x, 0.2f, 0.0f), 0.03f, 0.01f, 4);
        m.Tube(hand, hand + Vector3(0.3f * x, -0.05f, 0.0f), 0.03f, 0.01f, 4);
        Bind(rig, first, 1, Rigid(side == 0 ? right : left));
    }
    Finish(rig, *figure, "Snowman", {0, 2, 3});  // the moon and the two lamps beside it

    // A wave of the right arm, twice a cycle, with a nod and a sway.
    Animate(rig, *figure, "Wave", kWaveSeconds,
            {{Yaw(0.05f), Yaw(0.0f), Yaw(-0.05f), Yaw(0.0f)},
             {Roll(0.1f), Roll(0.0f) * Pitch(0.08f), Roll(-0.1f), Roll(0.0f) * Pitch(0.08f)},
             {Roll(-0.2f), Roll(-0.9f), Roll(-0.35f), Roll(-0.9f)},
             {Roll(0.1f), Roll(0.0f), Roll(0.1f), Roll(0.0f)}});
    const Vector3 at{6.0f, SceneKit::GroundHeight(6.0f, 36.0f) - 0.1f, 36.0f};
    figure->GetLocalTransform().SetTranslation(at);
    root.AttachChild(figure.Get());
    return figure;
}

} // namespace nuv
