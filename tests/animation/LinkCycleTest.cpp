// Scene files whose counted links run in a loop: the links that close a loop are dropped on
// load (and logged), everything else loads as written, and the scene is freed when let go.
#include "../core/TestSupport.h"

#include "animation/CameraCulledController.h"
#include "animation/NodeAnimation.h"
#include "animation/NodeAnimationController.h"
#include "animation/SkinController.h"
#include "animation/TargetCameraController.h"
#include "core/LinkCycleBreaker.h"
#include "core/SceneFile.h"
#include "core/Stream.h"
#include "render/CustomGlowPostRenderEffect.h"
#include "render/ShadowmapEffect.h"
#include "render/SpriteEffect.h"
#include "scene/Camera.h"
#include "scene/SceneNode.h"
#include "scene/Triangles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace nuv {
namespace {

using Bytes = std::vector<uint8_t>;

const char kDropped[] = "Ссылка замыкает цикл ссылок и удалена.";

// A root scene node whose glow effect lists the root itself, as a fuzzer wrote it; its second
// effect is cut off, so the read fails after the loop has closed.
const Bytes kGlowListNamesItsHolder = {
    0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0d, 0x00,
    0x00, 0x00, 0x4e, 0x75, 0x76, 0x2e, 0x53, 0x63, 0x65, 0x6e, 0x65, 0x4e, 0x6f, 0x64, 0x65, 0x04, 0x00, 0x00,
    0x00, 0x52, 0x6f, 0x6f, 0x74, 0x00, 0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0xff, 0x00, 0x00, 0x80, 0x3f, 0x00,
    0x00, 0x80, 0x3f, 0x00, 0x00, 0x80, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x80, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x34, 0x00, 0x00, 0x1e, 0x00, 0x00, 0x00, 0x4e, 0x75,
    0x76, 0x2e, 0x43, 0x75, 0x73, 0x74, 0x6f, 0x6d, 0x47, 0x6c, 0x6f, 0x77, 0x50, 0x6f, 0x73, 0x74, 0x52, 0x65,
    0x6e, 0x64, 0x65, 0x72, 0x45, 0x66, 0x66, 0x65, 0x63, 0x74, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x0d, 0x00, 0x00, 0x00, 0x00, 0x00};

template <class T>
Pointer<T> Make(const char* name) {
    Pointer<T> object(new T());
    object->SetName(String(name));
    return object;
}

// The scene as the engine's writer stores it. A graph built with a loop would outlive the
// test, so its loops are broken once it is written.
Bytes Written(const Pointer<SceneNode>& root) {
    Stream stream(0, 1024);
    EXPECT_EQ(SceneFile::Write(stream, root.Get()), 0);
    Array<Pointer<Object>> roots;
    roots.Append(Pointer<Object>(root.Get()));
    LinkCycleBreaker::Run(roots);
    return Bytes(stream.GetData(), stream.GetData() + stream.GetPosition());
}

template <class T>
T* Find(Object& root, const char* name) {
    return DynamicCast<T>(root.FindByName(String(name)));
}

struct Shape {
    const char* name;
    std::function<Bytes()> file;
    // Lines the load logs about dropped links, each naming holder and target.
    std::vector<std::string> dropped;
    // What must hold of the loaded scene besides that.
    std::function<void(SceneNode& root)> check;
};

std::vector<Shape> Shapes() {
    return {
        {"glow list names its holder",
         [] {
             auto root = Make<SceneNode>("Root");
             auto glow = Make<CustomGlowPostRenderEffect>("Glow");
             glow->AddNode(root.Get());
             root->AddEffect(glow.Get());
             return Written(root);
         },
         {"Имя[Glow] ID[%d] -> Имя[Root] ID[%d]"},
         [](SceneNode& root) {
             ASSERT_EQ(root.GetEffectCount(), 1);
             auto* glow = DynamicCast<CustomGlowPostRenderEffect>(root.GetEffect(0));
             ASSERT_NE(glow, nullptr);
             EXPECT_EQ(glow->GetNodeCount(), 0);
             EXPECT_EQ(glow->GetOwner(), &root);
         }},
        {"camera aims at itself",
         [] {
             auto root = Make<SceneNode>("Root");
             auto camera = Make<Camera>("Eye");
             auto aim = Make<TargetCameraController>("Aim");
             aim->SetTarget(camera.Get());
             camera->AddController(aim.Get());
             root->AttachChild(camera.Get());
             return Written(root);
         },
         {"Имя[Aim] ID[%d] -> Имя[Eye] ID[%d]"},
         [](SceneNode& root) {
             auto* camera = Find<Camera>(root, "Eye");
             ASSERT_NE(camera, nullptr);
             ASSERT_EQ(camera->GetControllerCount(), 1);
             auto* aim = DynamicCast<TargetCameraController>(camera->GetController(0));
             ASSERT_NE(aim, nullptr);
             EXPECT_EQ(aim->GetTarget(), nullptr);
             EXPECT_EQ(aim->GetOwner(), camera);
         }},
        {"glow list names an ancestor and a leaf",
         [] {
             auto root = Make<SceneNode>("Root");
             auto group = Make<SceneNode>("Group");
             auto lamp = Make<Triangles>("Lamp");
             auto glow = Make<CustomGlowPostRenderEffect>("Glow");
             glow->AddNode(root.Get());
             glow->AddNode(lamp.Get());
             group->AddEffect(glow.Get());
             group->AttachChild(lamp.Get());
             root->AttachChild(group.Get());
             return Written(root);
         },
         {"Имя[Glow] ID[%d] -> Имя[Root] ID[%d]"},
         [](SceneNode& root) {
             auto* group = Find<SceneNode>(root, "Group");
             ASSERT_NE(group, nullptr);
             ASSERT_EQ(group->GetEffectCount(), 1);
             auto* glow = DynamicCast<CustomGlowPostRenderEffect>(group->GetEffect(0));
             ASSERT_NE(glow, nullptr);
             ASSERT_EQ(glow->GetNodeCount(), 1);
             EXPECT_EQ(glow->GetNode(0), Find<Triangles>(root, "Lamp"));
             EXPECT_EQ(group->GetParent(), &root);
         }},
        {"an animation runs the controller that plays it",
         [] {
             auto root = Make<SceneNode>("Root");
             auto player = Make<NodeAnimationController>("Player");
             auto walk = Make<NodeAnimation>("Walk");
             player->AddAnimation(walk.Get());
             walk->AddController(player.Get());
             root->AddController(player.Get());
             return Written(root);
         },
         {"Имя[Walk] ID[%d] -> Имя[Player] ID[%d]"},
         [](SceneNode& root) {
             ASSERT_EQ(root.GetControllerCount(), 1);
             auto* player = DynamicCast<NodeAnimationController>(root.GetController(0));
             ASSERT_NE(player, nullptr);
             ASSERT_EQ(player->GetAnimationCount(), 1);
             EXPECT_EQ(player->GetAnimation(0)->GetControllerCount(), 0);
             EXPECT_EQ(player->GetOwner(), &root);
         }},
        {"a skin's bone is the root above the mesh",
         [] {
             auto root = Make<SceneNode>("Root");
             auto mesh = Make<Triangles>("Mesh");
             auto skin = Make<SkinController>("Skin");
             auto sprite = Make<SpriteEffect>("Look");
             skin->AddBone(root.Get(), Transform());
             skin->AddBone(mesh.Get(), Transform());
             mesh->AddController(skin.Get());
             sprite->SetSkinController(skin.Get());
             mesh->SetEffect(sprite.Get());
             root->AttachChild(mesh.Get());
             return Written(root);
         },
         {"Имя[Skin] ID[%d] -> Имя[Root] ID[%d]", "Имя[Skin] ID[%d] -> Имя[Mesh] ID[%d]"},
         [](SceneNode& root) {
             auto* mesh = Find<Triangles>(root, "Mesh");
             ASSERT_NE(mesh, nullptr);
             auto* skin = DynamicCast<SkinController>(mesh->GetController(0));
             ASSERT_NE(skin, nullptr);
             // The slots stay, paired with their bind transforms.
             ASSERT_EQ(skin->GetBoneCount(), 2);
             EXPECT_EQ(skin->GetBone(0), nullptr);
             EXPECT_EQ(skin->GetBone(1), nullptr);
             ASSERT_NE(mesh->GetEffect(), nullptr);
             EXPECT_EQ(mesh->GetEffect()->GetSkinController(), skin);
         }},
        {"shared links without a loop stay",
         [] {
             auto root = Make<SceneNode>("Root");
             auto lamp = Make<Triangles>("Lamp");
             auto camera = Make<Camera>("Eye");
             auto shadow = Make<ShadowmapEffect>("Shadow");
             auto glow = Make<CustomGlowPostRenderEffect>("Glow");
             auto hide = Make<CameraCulledController>("Hide");
             auto aim = Make<TargetCameraController>("Aim");
             shadow->AddNode(lamp.Get());
             glow->AddNode(lamp.Get());
             hide->AddNode(lamp.Get());
             aim->SetTarget(lamp.Get());
             camera->AddController(hide.Get());
             camera->AddController(aim.Get());
             root->AddEffect(shadow.Get());
             root->AddEffect(glow.Get());
             root->AttachChild(lamp.Get());
             root->AttachChild(camera.Get());
             return Written(root);
         },
         {},
         [](SceneNode& root) {
             auto* lamp = Find<Triangles>(root, "Lamp");
             auto* camera = Find<Camera>(root, "Eye");
             ASSERT_NE(lamp, nullptr);
             ASSERT_NE(camera, nullptr);
             ASSERT_EQ(root.GetEffectCount(), 2);
             auto* glow = Find<CustomGlowPostRenderEffect>(root, "Glow");
             auto* shadow = Find<ShadowmapEffect>(root, "Shadow");
             ASSERT_NE(glow, nullptr);
             ASSERT_NE(shadow, nullptr);
             EXPECT_EQ(glow->GetNode(0), lamp);
             EXPECT_EQ(shadow->GetNode(0), lamp);
             auto* aim = DynamicCast<TargetCameraController>(camera->GetController(0));
             auto* hide = DynamicCast<CameraCulledController>(camera->GetController(1));
             ASSERT_NE(aim, nullptr);
             ASSERT_NE(hide, nullptr);
             EXPECT_EQ(aim->GetTarget(), lamp);
             EXPECT_EQ(hide->GetNode(0), lamp);
         }},
    };
}

// The expected line with the holder's and target's IDs, found by name among the loaded objects.
std::string DroppedLine(const std::string& pattern, const Stream& stream) {
    auto idOf = [&stream](const std::string& name) {
        for (const Pointer<Object>& object : stream.GetReadObjects())
            if (object->GetName() == String(name.c_str())) return object->GetId();
        return -1;
    };
    const std::string open = "Имя[";
    const size_t first = pattern.find(open) + open.size();
    const std::string holder = pattern.substr(first, pattern.find(']', first) - first);
    const size_t second = pattern.rfind(open) + open.size();
    const std::string target = pattern.substr(second, pattern.find(']', second) - second);
    char line[256];
    std::snprintf(line, sizeof(line), pattern.c_str(), idOf(holder), idOf(target));
    return std::string(kDropped) + " " + line;
}

TEST(LinkCycleTest, LoopsAreCutOnLoadAndTheSceneIsFreed) {
    for (const Shape& shape : Shapes()) {
        SCOPED_TRACE(shape.name);
        const Bytes bytes = shape.file();
        test::LogRecorder log;
        Stream stream(0, 1024);
        stream.Assign(bytes.data(), int(bytes.size()));
        Pointer<Object> loaded;
        ASSERT_EQ(SceneFile::Read(stream, loaded), 0);
        auto* root = DynamicCast<SceneNode>(loaded.Get());
        ASSERT_NE(root, nullptr);

        int droppedLines = 0;
        for (const std::string& line : log.lines)
            if (line.find(kDropped) != std::string::npos) ++droppedLines;
        EXPECT_EQ(droppedLines, int(shape.dropped.size()));
        for (const std::string& pattern : shape.dropped)
            EXPECT_TRUE(log.Contains(kLogWarning, DroppedLine(pattern, stream))) << pattern;
        shape.check(*root);

        // Once the stream lets go, nothing but this test holds the root: no loop leads back to it.
        stream.ClearIdMap();
        EXPECT_EQ(root->GetReferenceCount(), 1);
    }
}

TEST(LinkCycleTest, ObjectsOfAFailedReadAreFreedToo) {
    test::LogRecorder log;
    Stream stream(0, 1024);
    stream.Assign(kGlowListNamesItsHolder.data(), int(kGlowListNamesItsHolder.size()));
    Pointer<Object> loaded;
    EXPECT_NE(SceneFile::Read(stream, loaded), 0);
    EXPECT_EQ(loaded.Get(), nullptr);
    const Array<Pointer<Object>>& read = stream.GetReadObjects();
    ASSERT_EQ(read.GetCount(), 2);
    auto* glow = DynamicCast<CustomGlowPostRenderEffect>(read[1].Get());
    ASSERT_NE(glow, nullptr);
    EXPECT_EQ(glow->GetNodeCount(), 0);
    char line[160];
    std::snprintf(line, sizeof(line), "%s Имя[] ID[%d] -> Имя[Root] ID[%d]", kDropped, glow->GetId(), read[0]->GetId());
    EXPECT_TRUE(log.Contains(kLogWarning, line));
    // The stream's own hold is the only one left on the root: clearing it frees the lot.
    EXPECT_EQ(read[0]->GetReferenceCount(), 1);
}

TEST(LinkCycleTest, LongLoopsAreWalkedWithoutDeepCalls) {
    // Far deeper than a call per link could go: each node is aimed at the next, the last at the first.
    constexpr int kLength = 50000;
    std::vector<Pointer<Node>> nodes;
    for (int i = 0; i < kLength; ++i) nodes.push_back(Pointer<Node>(new Node()));
    for (int i = 0; i < kLength; ++i) {
        Pointer<TargetCameraController> aim(new TargetCameraController());
        aim->SetTarget(nodes[size_t((i + 1) % kLength)].Get());
        nodes[size_t(i)]->AddController(aim.Get());
    }
    Array<Pointer<Object>> roots(kLength, 0);
    for (const Pointer<Node>& node : nodes) roots.Append(Pointer<Object>(node.Get()));
    test::LogRecorder log;
    EXPECT_EQ(LinkCycleBreaker::Run(roots), 1);
    // The walk starts at the first node, so the last link, back to it, is the one that goes.
    auto* last = DynamicCast<TargetCameraController>(nodes.back()->GetController(0));
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->GetTarget(), nullptr);
    for (int i = 0; i + 1 < kLength; ++i)
        ASSERT_EQ(DynamicCast<TargetCameraController>(nodes[size_t(i)]->GetController(0))->GetTarget(),
                  nodes[size_t(i + 1)].Get());
    EXPECT_EQ(LinkCycleBreaker::Run(roots), 0);
    for (const Pointer<Node>& node : nodes) node->RemoveAllControllers();
}

} // namespace
} // namespace nuv
