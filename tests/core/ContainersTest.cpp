#include "core/Array.h"
#include "core/HashMap.h"
#include "core/Pointer.h"
#include "core/RefCounted.h"
#include "core/String.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nuv {
namespace {

TEST(String, CopiesAreDeepAndComparisonIsExact) {
    String a("Main.STR");
    String b = a;
    b += String("x");
    EXPECT_EQ(a, "Main.STR");
    EXPECT_EQ(b, "Main.STRx");
    EXPECT_NE(String("main.str"), a);
    EXPECT_EQ(String(), "");
    EXPECT_STREQ(String().GetText(), "");
    EXPECT_EQ(String("ab", 1), "a");
}

TEST(String, SubstringSearchAndExtension) {
    const String path("Textures\\fir.02.tga");
    EXPECT_EQ(path.FindFirst('.'), 12);
    EXPECT_EQ(path.FindLast('.'), 15);
    EXPECT_EQ(path.FindLast('/'), -1);
    EXPECT_EQ(path.GetExtension(), "tga");
    EXPECT_EQ(String("noext").GetExtension(), "");
    EXPECT_EQ(String("dot.").GetExtension(), "");
    EXPECT_EQ(path.Substring(0, 8), "Textures");
    EXPECT_EQ(path.Substring(16, 100), "tga");
    EXPECT_EQ(path.Substring(50, 2), "");
    EXPECT_EQ(path.Substring(-3, 2), "Te");
}

TEST(String, HashSkipsTheFirstByteAndShiftsByTwo) {
    EXPECT_EQ(String("").Hash(), 0u);
    EXPECT_EQ(String("a").Hash(), 0u);
    EXPECT_EQ(String("ab").Hash(), uint32_t('b'));
    EXPECT_EQ(String("abc").Hash(), (uint32_t('c') << 2) | uint32_t('b'));
    // Bytes above 127 count as unsigned.
    EXPECT_EQ(String("a\xff").Hash(), 0xFFu);
}

TEST(Array, GrowsByExactlyTheStepAndAStepOfZeroIgnoresAppends) {
    Array<int> a(1, 3);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(a.Append(i));
    EXPECT_EQ(a.GetCapacity(), 7);  // 1, then 4, then 7: never doubled
    Array<int> fixed(2, 0);
    EXPECT_TRUE(fixed.Append(1));
    EXPECT_TRUE(fixed.Append(2));
    EXPECT_FALSE(fixed.Append(3));
    EXPECT_EQ(fixed.GetCount(), 2);
}

TEST(Array, InsertAndRemoveKeepOrderAndReleaseReferences) {
    struct Counted : RefCounted {
        explicit Counted(int* alive) : alive(alive) { ++*alive; }
        ~Counted() override { --*alive; }
        int* alive;
    };
    int alive = 0;
    {
        Array<Pointer<Counted>> a(1, 1);
        Counted* items[4];
        for (auto*& item : items) item = new Counted(&alive);
        a.Append(items[0]);
        a.Append(items[2]);
        a.Insert(1, items[1]);
        a.Insert(0, items[3]);
        ASSERT_EQ(a.GetCount(), 4);
        EXPECT_EQ(a[0].Get(), items[3]);
        EXPECT_EQ(a[1].Get(), items[0]);
        EXPECT_EQ(a[2].Get(), items[1]);
        EXPECT_EQ(a[3].Get(), items[2]);
        EXPECT_FALSE(a.Insert(9, items[0]));
        a.RemoveAt(1);
        EXPECT_EQ(alive, 3);
        EXPECT_EQ(a[1].Get(), items[1]);
        EXPECT_EQ(a.Find(Pointer<Counted>(items[2])), 2);
        for (int i = 0; i < a.GetCount(); ++i) EXPECT_EQ(a[i]->GetReferenceCount(), 1);
    }
    EXPECT_EQ(alive, 0);
}

TEST(HashMap, KeepsInsertionOrderWithinAChainAndIteratesByBucket) {
    HashMap<String, int> map;
    // "xa" and "ya" share bucket 'a' % 32 = 1; "zb" goes to bucket 2, "q" to bucket 0.
    EXPECT_TRUE(map.Insert("ya", 1));
    EXPECT_TRUE(map.Insert("zb", 2));
    EXPECT_TRUE(map.Insert("xa", 3));
    EXPECT_TRUE(map.Insert("q", 4));
    EXPECT_FALSE(map.Insert("xa", 9));
    EXPECT_EQ(*map.Find("xa"), 3);
    std::vector<std::string> order;
    map.ForEach([&](const String& key, int) {
        order.push_back(key.GetText());
        return true;
    });
    EXPECT_EQ(order, (std::vector<std::string>{"q", "ya", "xa", "zb"}));
    EXPECT_TRUE(map.Remove("ya"));
    EXPECT_FALSE(map.Remove("ya"));
    EXPECT_EQ(map.Find("ya"), nullptr);
    EXPECT_EQ(*map.Find("xa"), 3);
    EXPECT_EQ(map.GetCount(), 3);
}

TEST(HashMap, IntegerKeysIncludingNegative) {
    HashMap<int32_t, int> map;
    for (int i = -40; i < 40; ++i) EXPECT_TRUE(map.Insert(i * 32, i));
    for (int i = -40; i < 40; ++i) ASSERT_NE(map.Find(i * 32), nullptr);
    EXPECT_EQ(*map.Find(-1280), -40);
    EXPECT_EQ(map.Find(1), nullptr);
}

} // namespace
} // namespace nuv
