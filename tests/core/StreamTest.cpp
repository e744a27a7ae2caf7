#include "TestClasses.h"
#include "TestSupport.h"

#include "core/Color.h"
#include "core/Quaternion.h"
#include "core/SceneFile.h"
#include "core/Stream.h"
#include "core/Vector3.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace nuv {
namespace {

std::vector<uint8_t> Bytes(const Stream& stream) {
    return std::vector<uint8_t>(stream.GetData(), stream.GetData() + stream.GetPosition());
}

// Appends little-endian int32 values and raw text, to spell expected files by hand.
struct ByteSpeller {
    std::vector<uint8_t> bytes;
    ByteSpeller& Int(int32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(uint32_t(v) >> (8 * i)));
        return *this;
    }
    ByteSpeller& Text(const std::string& s) {
        Int(int32_t(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    ByteSpeller& Byte(uint8_t b) {
        bytes.push_back(b);
        return *this;
    }
};

// A stream holding bytes to read.
struct Reader : Stream {
    explicit Reader(const std::vector<uint8_t>& bytes) : Stream(0, 1024) { Assign(bytes.data(), int(bytes.size())); }
};

TEST(Stream, PrimitivesHaveTheFileEncoding) {
    Stream s(0, 1024);
    s.WriteBool(true);
    s.WriteByte(0x1234);
    s.WriteShort(-2);
    s.WriteInt(-1);
    s.WriteFloat(1.0f);
    s.WriteDouble(1.0);
    s.WriteString("");
    s.WriteString("Root");
    s.WriteColor(Color(0, 0.5f, 1, 1));
    s.WriteQuaternion(Quaternion());
    EXPECT_EQ(s.GetError(), 0);
    const std::vector<uint8_t> expected = {
        0x01, 0x34, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0x3F,        // bool byte short int float
        0, 0, 0, 0, 0, 0, 0xF0, 0x3F,                                                   // double 1.0
        0, 0, 0, 0, 4, 0, 0, 0, 'R', 'o', 'o', 't',                                     // strings
        0, 0, 0, 0, 0, 0, 0, 0x3F, 0, 0, 0x80, 0x3F, 0, 0, 0x80, 0x3F,                 // colour
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x3F};                          // quaternion 0 0 0 1
    EXPECT_EQ(Bytes(s), expected);

    s.SetPosition(0);
    bool b = false;
    uint8_t byte = 0;
    int16_t sh = 0;
    int32_t i = 0;
    float f = 0;
    double d = 0;
    String empty("x"), root;
    Color c;
    Quaternion q(1, 1, 1, 0);
    s.ReadBool(b);
    s.ReadByte(byte);
    s.ReadShort(sh);
    s.ReadInt(i);
    s.ReadFloat(f);
    s.ReadDouble(d);
    s.ReadString(empty);
    s.ReadString(root);
    s.ReadColor(c);
    s.ReadQuaternion(q);
    EXPECT_EQ(s.GetError(), 0);
    EXPECT_TRUE(b);
    EXPECT_EQ(byte, 0x34);
    EXPECT_EQ(sh, -2);
    EXPECT_EQ(i, -1);
    EXPECT_EQ(f, 1.0f);
    EXPECT_EQ(d, 1.0);
    EXPECT_EQ(empty, "");
    EXPECT_EQ(root, "Root");
    EXPECT_EQ(c, Color(0, 0.5f, 1, 1));
    EXPECT_EQ(q, Quaternion());
}

TEST(Stream, ReadingPastTheEndIsStickyAndGrowthZeroRefusesWrites) {
    test::LogRecorder log;
    Reader s({1, 2, 3});
    int32_t v = 0;
    EXPECT_EQ(s.ReadInt(v), 1);
    EXPECT_TRUE(log.Contains(1, "Невозможно считать данные. Буффер переполнен."));
    uint8_t byte = 0;
    EXPECT_EQ(s.ReadByte(byte), 1);  // one byte is there, but the stream has failed
    EXPECT_TRUE(log.Contains(1, "Неправильное состояние потока."));
    EXPECT_EQ(s.Write("x", 1), 1);

    Stream empty(0, 1024);
    EXPECT_EQ(empty.ReadByte(byte), 1);
    EXPECT_TRUE(log.Contains(1, "Невозможно считать данные. Буффер не существует."));

    Stream fixed(4, 0);
    EXPECT_EQ(fixed.WriteInt(7), 0);
    EXPECT_EQ(fixed.WriteByte(1), 1);
    EXPECT_TRUE(log.Contains(1, "Приращение буффера равно 0."));
    EXPECT_TRUE(log.Contains(1, "Невозможно записать данные вследствие малого размера буффера."));
}

TEST(Stream, ForgedStringLengthsFailWithoutAllocating) {
    for (int32_t forged : {-5, 5, 0x7FFFFFFF, int32_t(0x80000000)}) {
        Reader s(ByteSpeller().Int(forged).Byte('a').Byte('b').bytes);
        String value("kept");
        EXPECT_EQ(s.ReadString(value), 1) << forged;
        EXPECT_EQ(value, "kept");
    }
}

TEST(Stream, NullLinkAndSharedObjectsAreWrittenOnceThenById) {
    test::LogRecorder log;
    Pointer<TestThing> shared(new TestThing("shared"));
    shared->value = 7;
    Stream s(0, 1024);
    s.WriteObject(nullptr);
    s.WriteObject(shared.Get());
    s.WriteObject(shared.Get());
    const int32_t id = shared->GetId();
    const auto expected = ByteSpeller()
                              .Int(-1)
                              .Int(id).Text("Nuv.TestThing").Text("shared").Int(0).Int(-1).Int(7)
                              .Int(id)
                              .bytes;
    EXPECT_EQ(Bytes(s), expected);
    const std::string record = "RTTI[Nuv.TestThing] ID[" + std::to_string(id) + "] Name[shared] Pointer[" +
                               std::to_string(expected.size() - 4) + "]";
    EXPECT_EQ(log.lines, (std::vector<std::string>{"0|Write ID[" + std::to_string(id) + "]", "0|" + record,
                                                   "0|Write ID[" + std::to_string(id) + "]"}));

    Reader r(expected);
    Object *a = nullptr, *b = nullptr, *c = nullptr;
    EXPECT_EQ(r.ReadObject(a), 0);
    EXPECT_EQ(r.ReadObject(b), 0);
    EXPECT_EQ(r.ReadObject(c), 0);
    EXPECT_EQ(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b, c);
    EXPECT_NE(b->GetId(), id);  // IDs in a file are labels only
    EXPECT_EQ(static_cast<TestThing*>(b)->value, 7);
    EXPECT_EQ(b->GetName(), "shared");
}

TEST(Stream, CyclesLoadInOnePassAndKeepControllerOrder) {
    // thing -> partner -> thing (counted both ways, broken by hand below); a controller
    // whose target is its owner; and the thing's controllers in a known order.
    Pointer<TestThing> thing(new TestThing("thing"));
    Pointer<TestThing> partner(new TestThing("partner"));
    thing->partner = partner.Get();
    partner->partner = thing.Get();
    Pointer<TestController> older(new TestController), newer(new TestController);
    older->SetName("older");
    newer->SetName("newer");
    older->target = thing.Get();
    newer->SetActive(false);
    thing->AddController(older.Get());
    thing->AddController(newer.Get());

    Stream out(0, 1024);
    ASSERT_EQ(SceneFile::Write(out, thing.Get()), 0);
    const std::vector<uint8_t> first = Bytes(out);

    Reader in(first);
    Pointer<Object> root;
    ASSERT_EQ(SceneFile::Read(in, root), 0);
    auto* loaded = DynamicCast<TestThing>(root.Get());
    ASSERT_NE(loaded, nullptr);
    auto* loadedPartner = DynamicCast<TestThing>(loaded->partner.Get());
    ASSERT_NE(loadedPartner, nullptr);
    EXPECT_EQ(loadedPartner->partner.Get(), loaded);
    ASSERT_EQ(loaded->GetControllerCount(), 2);
    auto* loadedNewer = DynamicCast<TestController>(loaded->GetController(0));
    auto* loadedOlder = DynamicCast<TestController>(loaded->GetController(1));
    ASSERT_TRUE(loadedNewer && loadedOlder);
    EXPECT_EQ(loadedNewer->GetName(), "newer");
    EXPECT_FALSE(loadedNewer->IsActive());
    EXPECT_EQ(loadedOlder->target, loaded);
    EXPECT_EQ(loadedOlder->GetOwner(), loaded);

    // Saving what was loaded gives the same bytes but for the IDs, which are relabelled.
    Stream again(0, 1024);
    ASSERT_EQ(SceneFile::Write(again, loaded), 0);
    Reader reread(Bytes(again));
    Pointer<Object> root2;
    ASSERT_EQ(SceneFile::Read(reread, root2), 0);
    Stream third(0, 1024);
    SceneFile::Write(third, root2.Get());
    EXPECT_EQ(Bytes(third).size(), first.size());

    for (TestThing* t : {thing.Get(), loaded, static_cast<TestThing*>(root2.Get())})
        static_cast<TestThing*>(t->partner.Get())->partner.Reset();
}

TEST(Stream, SaveLoadSaveGivesIdenticalBytesWhenIdsAgree) {
    // A graph whose IDs are mapped back to the same labels writes byte-identical files.
    Pointer<TestThing> a(new TestThing("a"));
    a->value = -3;
    Pointer<TestController> c(new TestController);
    c->target = a.Get();
    a->AddController(c.Get());
    Stream out(0, 1024);
    SceneFile::Write(out, a.Get());
    std::vector<uint8_t> bytes = Bytes(out);
    Reader in(bytes);
    Pointer<Object> root;
    ASSERT_EQ(SceneFile::Read(in, root), 0);
    Stream out2(0, 1024);
    SceneFile::Write(out2, root.Get());
    std::vector<uint8_t> bytes2 = Bytes(out2);
    ASSERT_EQ(bytes.size(), bytes2.size());
    // Replace the new run-time IDs by the old labels before comparing.
    const int32_t oldA = a->GetId(), oldC = c->GetId();
    const int32_t newA = root->GetId(), newC = root->GetController(0)->GetId();
    auto relabel = [&](std::vector<uint8_t>& b, int32_t from, int32_t to) {
        for (size_t i = 0; i + 4 <= b.size(); ++i) {
            int32_t v;
            std::memcpy(&v, &b[i], 4);
            if (v == from) std::memcpy(&b[i], &to, 4);
        }
    };
    relabel(bytes2, newA, oldA);
    relabel(bytes2, newC, oldC);
    EXPECT_EQ(bytes, bytes2);
}

TEST(Stream, BadLinksGiveTheErrorChainAndReleaseWhatWasMade) {
    test::LogRecorder log;
    // An unknown class inside a controller list.
    auto file = ByteSpeller().Int(0).Int(1).Int(2)
                    .Int(40).Text("Nuv.TestThing").Text("outer").Int(1)
                    .Int(41).Text("Nuv.NoSuchClass").bytes;
    Reader s(file);
    Pointer<Object> root;
    EXPECT_EQ(SceneFile::Read(s, root), 1);
    EXPECT_FALSE(root);
    EXPECT_TRUE(log.Contains(2, "Невозможно найти функцию создания объекта. RTTI[Nuv.NoSuchClass] ID[41]"));
    EXPECT_TRUE(log.ContainsText("Невозможно загрузить контроллер объекта. Имя[outer]"));
    EXPECT_EQ(s.GetError(), 1);

    // A link in the controller list that is not a controller.
    log.lines.clear();
    auto notController = ByteSpeller().Int(5).Text("Nuv.TestThing").Text("o").Int(1)
                             .Int(6).Text("Nuv.TestThing").Text("i").Int(0).Int(-1).Int(0).bytes;
    Reader t(notController);
    Object* out = nullptr;
    EXPECT_NE(t.ReadObject(out), 0);
    EXPECT_TRUE(log.ContainsText("Невозможно установить контроллер объекта. Имя[o]"));

    // An abstract class.
    log.lines.clear();
    Reader u(ByteSpeller().Int(9).Text("Nuv.Buffer").bytes);
    EXPECT_EQ(u.ReadObject(out), 1);
    EXPECT_TRUE(log.Contains(2, "Невозможно создать объект. RTTI[Nuv.Buffer] ID[9]"));
}

TEST(Stream, VersionHeaderBelow102IsRejected) {
    auto withVersion = [](int32_t a, int32_t b, int32_t c) {
        return ByteSpeller().Int(a).Int(b).Int(c).Int(1).Text("Nuv.TestThing").Text("r").Int(0).Int(-1).Int(0).bytes;
    };
    struct Case {
        int32_t major, minor, build;
        int status;
    } cases[] = {{0, 1, 1, 1}, {0, 1, 2, 0}, {0, 2, 0, 0}, {1, 0, 0, 0}, {0, 0, 99, 1}, {0, 0, 101, 1}, {0, 0, 102, 0}};
    for (const Case& c : cases) {
        Reader s(withVersion(c.major, c.minor, c.build));
        Pointer<Object> root;
        EXPECT_EQ(SceneFile::Read(s, root), c.status) << c.major << "." << c.minor << "." << c.build;
        EXPECT_EQ(bool(root), c.status == 0);
    }
}

TEST(Stream, DeepNestingIsRefusedInsteadOfExhaustingTheStack) {
    // Each thing links to a new thing as its partner, far deeper than any scene.
    ByteSpeller file;
    const int depth = Stream::kMaxReadDepth + 50;
    for (int i = 0; i < depth; ++i) file.Int(i).Text("Nuv.TestThing").Text("").Int(0);
    test::LogRecorder log;
    Reader s(file.bytes);
    Object* out = nullptr;
    EXPECT_EQ(s.ReadObject(out), 1);
    EXPECT_TRUE(log.ContainsText("Слишком глубокая вложенность объектов."));
}

} // namespace
} // namespace nuv
