#include "TestSupport.h"

#include "core/ColorBuffer.h"
#include "core/DeviceResourceCache.h"
#include "core/FloatBuffer.h"
#include "core/IntBuffer.h"
#include "core/Stream.h"
#include "core/Vector2Buffer.h"
#include "core/Vector3Buffer.h"
#include "core/Vector4Buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace nuv {
namespace {

using test::Loaded;
using test::Saved;

TEST(Buffer, SizesAndNewElements) {
    Pointer<Vector3Buffer> v(new Vector3Buffer(3));
    EXPECT_EQ(v->GetCount(), 3);
    EXPECT_EQ(v->GetDataSize(), 36);
    EXPECT_EQ(v->GetElements()[2], Vector3(0, 0, 0));
    Pointer<Vector2Buffer> t(new Vector2Buffer(2));
    EXPECT_EQ(t->GetElements()[1], Vector2(0, 0));
    EXPECT_EQ(Pointer<FloatBuffer>(new FloatBuffer(5))->GetDataSize(), 20);
    EXPECT_EQ(Pointer<IntBuffer>(new IntBuffer(5))->GetDataSize(), 20);
    EXPECT_EQ(Pointer<Vector4Buffer>(new Vector4Buffer(5))->GetDataSize(), 80);
    EXPECT_EQ(Pointer<ColorBuffer>(new ColorBuffer(5))->GetDataSize(), 80);
    EXPECT_TRUE(v->IsDirty());
    // A handed-in array is adopted and freed with the buffer (the sanitizers check the free).
    auto* data = new int32_t[4]{1, 2, 3, 4};
    Pointer<IntBuffer> adopted(new IntBuffer(4, data));
    EXPECT_EQ(adopted->GetData(), data);
}

TEST(Buffer, EmptyBufferSavesEightBytesAfterItsName) {
    Pointer<FloatBuffer> empty(new FloatBuffer);
    const std::vector<uint8_t> bytes = Saved(*empty);
    const size_t header = 4 + 4 + std::strlen("Nuv.FloatBuffer");
    ASSERT_EQ(bytes.size(), header + 4 + 8);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + long(header), bytes.end()),
              (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    int status = -1;
    Pointer<Object> back = Loaded(bytes, &status);
    EXPECT_EQ(status, 0);
    auto* buffer = DynamicCast<FloatBuffer>(back.Get());
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->GetData(), nullptr);
    EXPECT_EQ(buffer->GetCount(), 0);
}

TEST(Buffer, EveryKindRoundTripsItsBytes) {
    auto check = [](Buffer* original) {
        Pointer<Buffer> held(original);
        original->SetName("data");
        std::memset(original->GetData(), 0, size_t(original->GetDataSize()));
        auto* bytes = static_cast<uint8_t*>(original->GetData());
        for (int i = 0; i < original->GetDataSize(); ++i) bytes[i] = uint8_t(i * 37 + 11);
        const std::vector<uint8_t> saved = Saved(*original);
        Pointer<Object> loaded = Loaded(saved);
        auto* buffer = DynamicCast<Buffer>(loaded.Get());
        ASSERT_NE(buffer, nullptr);
        EXPECT_TRUE(buffer->IsExactly(original->GetType()));
        EXPECT_EQ(buffer->GetName(), "data");
        ASSERT_EQ(buffer->GetDataSize(), original->GetDataSize());
        EXPECT_EQ(std::memcmp(buffer->GetData(), original->GetData(), size_t(original->GetDataSize())), 0);
        EXPECT_TRUE(buffer->IsDirty());
        EXPECT_EQ(Saved(*buffer).size(), saved.size());
    };
    check(new FloatBuffer(3));
    check(new IntBuffer(4));
    check(new Vector2Buffer(5));
    check(new Vector3Buffer(6));
    check(new Vector4Buffer(7));
    check(new ColorBuffer(8));
}

TEST(Buffer, TruncatedAndForgedCountsFailCleanly) {
    Pointer<Vector3Buffer> v(new Vector3Buffer(4));
    v->SetName("positions");
    const std::vector<uint8_t> full = Saved(*v);
    test::LogRecorder log;
    // Every truncation fails; one that ends inside the elements names the element data.
    for (size_t cut = 0; cut < full.size(); ++cut) {
        int status = 0;
        Pointer<Object> back = Loaded(std::vector<uint8_t>(full.begin(), full.begin() + long(cut)), &status);
        EXPECT_NE(status, 0) << cut;
        EXPECT_FALSE(back);
    }
    EXPECT_TRUE(log.ContainsText("Невозможно загрузить данные буффера. ID["));
    EXPECT_TRUE(log.ContainsText("] Имя[positions]"));

    // A count of two billion elements in a file of a few bytes must not be allocated.
    std::vector<uint8_t> forged = full;
    const size_t countAt = full.size() - 4 - 48;
    for (int32_t count : {0x7FFFFFF0, -1}) {
        std::memcpy(&forged[countAt], &count, 4);
        int status = 0;
        EXPECT_FALSE(Loaded(forged, &status));
        EXPECT_EQ(status, 1);
    }
}

TEST(Buffer, DestructionAsksTheRendererToReleaseItsCopy) {
    struct Cache : DeviceResourceCache {
        void ReleaseBuffer(Buffer& buffer) override { released.push_back(buffer.GetId()); }
        std::vector<int> released;
    };
    Pointer<Cache> cache(new Cache);
    int id = 0;
    {
        Pointer<IntBuffer> b(new IntBuffer(2));
        id = b->GetId();
        b->GetResourceLink().renderer = cache.Get();
        b->GetResourceLink().dirty = 0;
        EXPECT_EQ(cache->GetReferenceCount(), 2);
    }
    EXPECT_EQ(cache->released, std::vector<int>{id});
    EXPECT_EQ(cache->GetReferenceCount(), 1);
}

} // namespace
} // namespace nuv
