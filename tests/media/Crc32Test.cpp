#include "media/rar/Crc32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nuv {
namespace {

TEST(Crc32, KnownValues) {
    EXPECT_EQ(Crc32::Compute("", 0), 0u);
    EXPECT_EQ(Crc32::Compute("123456789", 9), 0xCBF43926u);
    const std::string fox = "The quick brown fox jumps over the lazy dog";
    EXPECT_EQ(Crc32::Compute(fox.data(), fox.size()), 0x414FA339u);
}

TEST(Crc32, UpdateInPiecesEqualsWhole) {
    std::vector<uint8_t> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7 + (i >> 3));
    const uint32_t whole = Crc32::Compute(bytes.data(), bytes.size());
    for (size_t cut : {0u, 1u, 7u, 8u, 9u, 333u, 999u, 1000u}) {
        uint32_t crc = Crc32::Update(0, bytes.data(), cut);
        crc = Crc32::Update(crc, bytes.data() + cut, bytes.size() - cut);
        EXPECT_EQ(crc, whole) << "cut at " << cut;
    }
}

} // namespace
} // namespace nuv
