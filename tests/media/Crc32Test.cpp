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

// Bit at a time, straight from the polynomial: shares nothing with the code under test.
uint32_t ReferenceCrc(uint32_t crc, const uint8_t* p, size_t size) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

// Sizes around the bulk path's 16- and 64-byte steps, at every alignment, from a running
// value: the bulk path (where the processor has one) and the tables agree with the reference.
TEST(Crc32, EveryPathMatchesTheReference) {
    std::vector<uint8_t> bytes(4096 + 64);
    uint32_t x = 1;
    for (uint8_t& b : bytes) b = uint8_t((x = x * 1103515245u + 12345u) >> 23);
    for (size_t size : {0u, 15u, 16u, 63u, 64u, 65u, 79u, 80u, 127u, 128u, 129u, 191u, 255u, 256u, 1000u, 4096u}) {
        for (size_t offset : {0u, 1u, 5u, 8u, 13u}) {
            for (uint32_t start : {0u, 0xFFFFFFFFu, 0x12345678u}) {
                const uint8_t* p = bytes.data() + offset;
                const uint32_t want = ReferenceCrc(start, p, size);
                EXPECT_EQ(Crc32::Update(start, p, size), want) << size << " bytes at +" << offset;
                EXPECT_EQ(Crc32::UpdateScalar(start, p, size), want) << size << " bytes at +" << offset;
            }
        }
    }
}

} // namespace
} // namespace nuv
