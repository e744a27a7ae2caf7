// A stream that cannot get the memory for a string it reads. Lengths are checked against the
// bytes present before anything is allocated, so only real exhaustion gets here: this program
// replaces the array allocation the stream uses and refuses one request of a chosen size.
#include "TestSupport.h"

#include "core/Status.h"
#include "core/Stream.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <new>
#include <vector>

namespace {
std::size_t gRefusedSize = 0;  // 0: every request is served
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (gRefusedSize != 0 && size == gRefusedSize) return nullptr;
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace nuv {
namespace {

TEST(StreamMemory, AStringThatCannotBeAllocatedFailsTheStreamWithNoMemory) {
    test::LogRecorder log;
    // "Lantern" (7 bytes), then one more int the failed stream must refuse.
    const std::vector<uint8_t> bytes = {7, 0, 0, 0, 'L', 'a', 'n', 't', 'e', 'r', 'n', 42, 0, 0, 0};
    Stream stream(0, 1024);
    stream.Assign(bytes.data(), int(bytes.size()));
    String value("kept");
    gRefusedSize = 8;  // the text and its terminating zero
    const int status = stream.ReadString(value);
    gRefusedSize = 0;
    EXPECT_EQ(status, kStatusNoMemory);
    EXPECT_EQ(stream.GetError(), kStatusNoMemory);
    EXPECT_TRUE(log.Contains(1, "Недостаточно памяти для загрузки строки."));
    EXPECT_EQ(value, "kept");
    int32_t next = 0;
    EXPECT_NE(stream.ReadInt(next), kStatusOk);
    EXPECT_EQ(next, 0);

    // The same bytes with the memory there read whole.
    Stream again(0, 1024);
    again.Assign(bytes.data(), int(bytes.size()));
    EXPECT_EQ(again.ReadString(value), kStatusOk);
    EXPECT_EQ(value, "Lantern");
}

} // namespace
} // namespace nuv
