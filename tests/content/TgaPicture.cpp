#include "TgaPicture.h"

#include <fstream>
#include <iterator>

bool TgaPicture::Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> tga((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (tga.size() < 18 || tga[2] != 2) return false;
    width = tga[12] | tga[13] << 8;
    height = tga[14] | tga[15] << 8;
    const int bytes = tga[16] / 8;
    const bool topFirst = (tga[17] & 0x20) != 0;
    const size_t start = 18 + tga[0];
    if (bytes < 3 || tga.size() < start + size_t(width) * size_t(height) * size_t(bytes)) return false;
    rgb.resize(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int row = topFirst ? y : height - 1 - y;
            const uint8_t* p = &tga[start + (size_t(row) * size_t(width) + size_t(x)) * size_t(bytes)];
            uint8_t* q = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
        }
    return true;
}
