#include "SceneTestDoubles.h"

#include "../core/TestSupport.h"

#include "core/Stream.h"
#include "scene/SceneNode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace nuv {
namespace {

using Bytes = std::vector<uint8_t>;
using test::Loaded;
using test::LogRecorder;
using test::Saved;

// Little-endian file bytes spelled out field by field.
struct ByteWriter {
    Bytes bytes;
    ByteWriter& Int(int32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(uint32_t(v) >> (8 * i)));
        return *this;
    }
    ByteWriter& Float(float f) {
        int32_t v;
        std::memcpy(&v, &f, 4);
        return Int(v);
    }
    ByteWriter& Bool(bool b) {
        bytes.push_back(b ? 1 : 0);
        return *this;
    }
    ByteWriter& Str(const char* s) {
        Int(int32_t(std::strlen(s)));
        bytes.insert(bytes.end(), s, s + std::strlen(s));
        return *this;
    }
    // Scale (1, 1, 1), rotation identity, translation t.
    ByteWriter& Placement(float tx, float ty, float tz) {
        Float(1).Float(1).Float(1).Float(0).Float(0).Float(0).Float(1);
        return Float(tx).Float(ty).Float(tz);
    }
    // Object fields without controllers, then the Node fields up to the world bound flag.
    ByteWriter& NodeHead(int32_t id, const char* type, const char* name, int32_t parent) {
        Int(id).Str(type).Str(name).Int(0).Int(parent).Placement(0, 0, 0);
        return Int(0).Bool(true);
    }
};

TEST(ScenePersistenceTest, SmallTreeGoldenBytes) {
    Pointer<SceneNode> root(new SceneNode());
    root->SetName(String("Root"));
    Pointer<Node> leaf(new Node());
    leaf->SetName(String("Leaf"));
    leaf->GetLocalTransform().SetTranslation(Vector3(1.5f, -2, 0));
    leaf->SetUpdateWorldBound(false);
    ASSERT_EQ(root->AttachChild(leaf.Get()), 0);
    root->AttachChild(nullptr);

    ByteWriter expected;
    expected.NodeHead(root->GetId(), "Nuv.SceneNode", "Root", -1);
    expected.Int(0);                   // effects
    expected.Int(1).Int(2);            // one slot, growth 2
    expected.Int(leaf->GetId()).Str("Nuv.Node").Str("Leaf").Int(0);
    expected.Int(root->GetId());       // parent: a link back, the ID alone
    expected.Placement(1.5f, -2, 0).Int(0).Bool(false);
    const Bytes saved = Saved(root.Get());
    EXPECT_EQ(saved, expected.bytes);
    // The first bytes of a scene file's root: ID, class, name "Root", no controllers, no parent.
    ASSERT_GE(saved.size(), 37u);
    EXPECT_EQ(Bytes(saved.begin() + 4, saved.begin() + 37),
              Bytes({13, 0, 0, 0, 'N', 'u', 'v', '.', 'S', 'c', 'e', 'n', 'e', 'N', 'o', 'd', 'e', 4, 0, 0, 0, 'R',
                     'o', 'o', 't', 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(ScenePersistenceTest, RoundTripKeepsTreeSlotsAndReversesEffects) {
    Pointer<SceneNode> root(new SceneNode());
    root->SetName(String("Root"));
    Pointer<TestSceneEffect> a(new TestSceneEffect()), b(new TestSceneEffect());
    a->SetName(String("A"));
    b->SetName(String("B"));
    root->AddEffect(a.Get());
    root->AddEffect(b.Get());  // list: B, A
    Pointer<SceneNode> group(new SceneNode());
    group->SetName(String("Group"));
    Pointer<TestLeaf> leaf(new TestLeaf("Leaf", Vector3(), 1));
    leaf->GetLocalTransform().SetRotation(Quaternion::FromAxisAngle(Vector3(1, 0, 0), 0.25f));
    root->AttachChild(group.Get());
    root->AttachChild(nullptr);
    root->AttachChild(leaf.Get());
    root->RemoveChild(leaf.Get());
    root->AttachChild(leaf.Get());
    group->AttachChild(nullptr);

    int status = -1;
    Pointer<SceneNode> copy(DynamicCast<SceneNode>(Loaded(Saved(root.Get()), &status).Get()));
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->GetName(), String("Root"));
    EXPECT_EQ(copy->GetParent(), nullptr);
    ASSERT_EQ(copy->GetEffectCount(), 2);
    EXPECT_EQ(copy->GetEffect(0)->GetName(), String("A"));
    EXPECT_EQ(copy->GetEffect(1)->GetName(), String("B"));
    EXPECT_EQ(copy->GetEffect(0)->GetOwner(), copy.Get());
    ASSERT_EQ(copy->GetChildCount(), root->GetChildCount());
    EXPECT_EQ(copy->GetChildGrowth(), 2);
    Node* group2 = copy->GetChild(0);
    ASSERT_TRUE(group2);
    EXPECT_EQ(group2->GetName(), String("Group"));
    EXPECT_EQ(group2->GetParent(), copy.Get());
    EXPECT_EQ(copy->GetChild(1)->GetName(), String("Leaf"));
    EXPECT_EQ(copy->GetChild(1)->GetLocalTransform().GetRotation(), leaf->GetLocalTransform().GetRotation());
    EXPECT_FALSE(copy->GetChild(1)->GetLocalTransform().IsIdentity());
    EXPECT_EQ(copy->GetChild(2), nullptr);
    // A new world bound was made for each loaded node.
    EXPECT_NE(copy->GetWorldBound(), nullptr);
    EXPECT_NE(copy->GetWorldBound(), root->GetWorldBound());
    // And the tree saves to the same layout again (IDs aside).
    EXPECT_EQ(Saved(copy.Get()).size(), Saved(root.Get()).size());
}

TEST(ScenePersistenceTest, EveryTruncationFailsWithItsMessage) {
    Pointer<SceneNode> root(new SceneNode());
    root->SetName(String("Root"));
    Pointer<TestSceneEffect> effect(new TestSceneEffect());
    root->AddEffect(effect.Get());
    Pointer<Node> leaf(new Node());
    root->AttachChild(leaf.Get());
    const Bytes bytes = Saved(root.Get());

    std::set<std::string> seen;
    const char* const messages[] = {
        "Невозможно загрузить родительские данные. ID[",
        "Невозможно загрузить родителя. ID[",
        "Невозможно загрузить локальную трансформацию. ID[",
        "Невозможно загрузить тип окружающего объёма. ID[",
        "Невозможно загрузить флаг обновления окружающего объёма. ID[",
        "Невозможно загрузить количество эффектов. ID[",
        "Невозможно загрузить эффект. ID[",
        "Невозможно загрузить количество дочерних узлов. ID[",
        "Невозможно загрузить приращение. ID[",
        "Невозможно загрузить дочерний узел. ID[",
    };
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        LogRecorder log;
        int status = 0;
        EXPECT_FALSE(Loaded(Bytes(bytes.begin(), bytes.begin() + cut), &status)) << cut;
        EXPECT_NE(status, 0);
        for (const char* message : messages)
            if (log.ContainsText(message)) seen.insert(message);
    }
    for (const char* message : messages) EXPECT_TRUE(seen.count(message)) << message;
}

TEST(ScenePersistenceTest, EverySaveFailureIsReported) {
    Pointer<SceneNode> root(new SceneNode());
    root->SetName(String("Root"));
    Pointer<TestSceneEffect> effect(new TestSceneEffect());
    root->AddEffect(effect.Get());
    Pointer<Node> leaf(new Node());
    root->AttachChild(leaf.Get());
    const size_t full = Saved(root.Get()).size();

    std::set<std::string> seen;
    const char* const messages[] = {
        "Невозможно сохранить родительские данные. Имя[",
        "Невозможно сохранить родителя. Имя[",
        "Невозможно сохранить локальную трансформацию. Имя[",
        "Невозможно сохранить тип окружающего объёма. Имя[",
        "Невозможно сохранить флаг обновления мирового объёма. Имя[",
        "Невозможно сохранить количество эффектов. Имя[Root]",
        "Невозможно сохранить эффект. Имя[Root]",
        "Невозможно сохранить количество дочерних узлов. Имя[Root]",
        "Невозможно сохранить приращение. Имя[Root]",
        "Невозможно сохранить дочерний узел. Имя[Root]",
    };
    for (size_t room = 1; room < full; ++room) {
        LogRecorder log;
        Stream stream(int(room), 0);  // cannot grow: the write that does not fit fails
        EXPECT_NE(stream.WriteObject(root.Get()), 0) << room;
        for (const char* message : messages)
            if (log.ContainsText(message)) seen.insert(message);
    }
    for (const char* message : messages) EXPECT_TRUE(seen.count(message)) << message;
}

// A root "R" (ID 1) whose single child "A" (ID 2) is written by the test with its own child slot.
Bytes TreeWithChildOfA(int32_t aParent, const std::function<void(ByteWriter&)>& aChild) {
    ByteWriter w;
    w.NodeHead(1, "Nuv.SceneNode", "R", -1).Int(0).Int(1).Int(2);
    w.NodeHead(2, "Nuv.SceneNode", "A", aParent).Int(0).Int(1).Int(2);
    aChild(w);
    return w.bytes;
}

TEST(ScenePersistenceTest, ALoopThroughTheChildrenIsCut) {
    LogRecorder log;
    // A holds R, which holds A.
    const Bytes bytes = TreeWithChildOfA(1, [](ByteWriter& w) { w.Int(1); });
    Pointer<SceneNode> root(DynamicCast<SceneNode>(Loaded(bytes).Get()));
    ASSERT_TRUE(root);
    // A is read first and takes R into its slot; R's own slot would then close the loop and
    // stays empty. A, held by nothing, goes with the stream and lets go of R.
    EXPECT_EQ(root->GetChild(0), nullptr);
    EXPECT_EQ(root->GetParent(), nullptr);
    EXPECT_TRUE(log.ContainsText("Узел не может стать потомком самого себя. ID["));
    EXPECT_TRUE(log.ContainsText("] Имя[A]"));
    // Both passes end.
    root->UpdateTree(0.1, true);
    test::RecordingRenderer renderer;
    root->CullAndRender(renderer);
    // Nor can a node hold itself or its ancestor when the tree is built by hand.
    Pointer<SceneNode> a(new SceneNode());
    EXPECT_EQ(root->AttachChild(a.Get()), 0);
    EXPECT_EQ(a->AttachChild(a.Get()), 1);
    EXPECT_EQ(a->AttachChild(root.Get()), 1);
    EXPECT_EQ(a->AttachChild(nullptr), 3);
}

TEST(ScenePersistenceTest, ParentLinksFollowTheHolder) {
    // A's parent link names an unrelated node B that does not hold it; R holds it.
    const Bytes bytes = TreeWithChildOfA(-1, [](ByteWriter& w) { w.Int(-1); });
    ByteWriter w;
    w.NodeHead(1, "Nuv.SceneNode", "R", -1).Int(0).Int(1).Int(2);
    w.Int(2).Str("Nuv.SceneNode").Str("A").Int(0);
    w.NodeHead(3, "Nuv.Node", "B", -1);  // A's parent link, read in full here
    w.Placement(0, 0, 0).Int(0).Bool(true).Int(0).Int(1).Int(2).Int(-1);
    Pointer<SceneNode> root(DynamicCast<SceneNode>(Loaded(w.bytes).Get()));
    ASSERT_TRUE(root);
    ASSERT_TRUE(root->GetChild(0));
    EXPECT_EQ(root->GetChild(0)->GetName(), String("A"));
    EXPECT_EQ(root->GetChild(0)->GetParent(), root.Get());
    ASSERT_TRUE(Loaded(bytes));
}

TEST(ScenePersistenceTest, ANodeHeldTwiceKeepsItsFirstSlotOnly) {
    LogRecorder log;
    // R holds A and then A again; A holds a leaf that R lists a third time.
    ByteWriter w;
    w.NodeHead(1, "Nuv.SceneNode", "R", -1).Int(0).Int(3).Int(2);
    w.NodeHead(2, "Nuv.SceneNode", "A", 1).Int(0).Int(1).Int(2);
    w.NodeHead(3, "Nuv.Node", "L", 2);
    w.Int(2).Int(3);
    Pointer<SceneNode> root(DynamicCast<SceneNode>(Loaded(w.bytes).Get()));
    ASSERT_TRUE(root);
    auto* a = DynamicCast<SceneNode>(root->GetChild(0));
    ASSERT_TRUE(a);
    EXPECT_EQ(root->GetChild(1), nullptr);
    EXPECT_EQ(root->GetChild(2), nullptr);
    ASSERT_TRUE(a->GetChild(0));
    EXPECT_EQ(a->GetChild(0)->GetParent(), a);
    const std::string held = "Узел уже принадлежит другому узлу. ID[";
    EXPECT_TRUE(log.ContainsText(held + std::to_string(a->GetId()) + "] Имя[A]"));
    EXPECT_TRUE(log.ContainsText(held + std::to_string(a->GetChild(0)->GetId()) + "] Имя[L]"));
}

TEST(ScenePersistenceTest, AbsurdCountsFailBeforeAllocating) {
    struct Case {
        int32_t effects, children, growth;
        const char* message;
    } const cases[] = {
        {-1, 0, 2, "Невозможно загрузить количество эффектов."},
        {0x7FFFFFFF, 0, 2, "Невозможно загрузить количество эффектов."},
        {0, -5, 2, "Невозможно загрузить количество дочерних узлов."},
        {0, 0x40000000, 2, "Невозможно загрузить количество дочерних узлов."},
        {0, 1, -1, "Невозможно загрузить приращение."},
        {0, 1, 0x7FFFFFFF, "Невозможно загрузить приращение."},
    };
    for (const Case& c : cases) {
        LogRecorder log;
        ByteWriter w;
        w.NodeHead(1, "Nuv.SceneNode", "R", -1).Int(c.effects).Int(c.children).Int(c.growth).Int(-1);
        int status = 0;
        EXPECT_FALSE(Loaded(w.bytes, &status));
        EXPECT_NE(status, 0);
        EXPECT_TRUE(log.ContainsText(c.message)) << c.message;
    }
    // Growth 0 is a legal value: a full array then takes no more children.
    ByteWriter w;
    w.NodeHead(1, "Nuv.SceneNode", "R", -1).Int(0).Int(1).Int(0).Int(-1);
    Pointer<SceneNode> root(DynamicCast<SceneNode>(Loaded(w.bytes).Get()));
    ASSERT_TRUE(root);
    Pointer<Node> a(new Node()), b(new Node());
    EXPECT_EQ(root->AttachChild(a.Get()), 0);
    EXPECT_EQ(root->AttachChild(b.Get()), 2);
    EXPECT_EQ(b->GetParent(), nullptr);
}

TEST(ScenePersistenceTest, LinksOfTheWrongClassFail) {
    // An effect slot naming a node, a child slot naming a bound.
    ByteWriter effect;
    effect.NodeHead(1, "Nuv.SceneNode", "R", -1).Int(1);
    effect.NodeHead(2, "Nuv.Node", "N", -1);
    EXPECT_FALSE(Loaded(effect.bytes));
    ByteWriter child;
    child.NodeHead(1, "Nuv.SceneNode", "R", -1).Int(0).Int(1).Int(2);
    child.Int(2).Str("Nuv.SphereBoundingVolume").Str("").Int(0).Float(0).Float(0).Float(0).Float(1);
    LogRecorder log;
    EXPECT_FALSE(Loaded(child.bytes));
    EXPECT_TRUE(log.ContainsText("Невозможно загрузить дочерний узел. ID["));
}

TEST(ScenePersistenceTest, TreesDeeperThanTheLimitAreRefused) {
    // Built from the bottom up, so that only the whole chain's height shows the depth.
    std::vector<Pointer<SceneNode>> chain;
    chain.emplace_back(new SceneNode());
    for (int i = 1; i <= Node::kMaxDepth; ++i) {
        Pointer<SceneNode> up(new SceneNode());
        ASSERT_EQ(up->AttachChild(chain.back().Get()), 0) << i;
        chain.push_back(up);
    }
    // The top has kMaxDepth levels below it: one more level on either end is too many.
    Pointer<SceneNode> top(new SceneNode());
    EXPECT_EQ(top->AttachChild(chain.back().Get()), 1);
    Pointer<Node> leaf(new Node());
    EXPECT_EQ(chain.front()->AttachChild(leaf.Get()), 1);
    EXPECT_EQ(chain[1]->AttachChild(leaf.Get()), 0);
    EXPECT_EQ(chain.front()->GetDepth(), Node::kMaxDepth);
    // The passes walk the whole legal depth.
    chain.back()->UpdateTree(0, true);
    test::RecordingRenderer renderer;
    chain.back()->CullAndRender(renderer);
    EXPECT_EQ(leaf->GetWorldTransform(), Transform());
}

} // namespace
} // namespace nuv
