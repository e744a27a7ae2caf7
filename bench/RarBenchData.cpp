#include "RarBenchData.h"

#include <string>

namespace nuv {

std::vector<uint8_t> RarBenchData::Text(size_t size) {
    std::vector<uint8_t> b;
    b.reserve(size + 16);
    uint32_t x = 12345;
    std::vector<std::string> words;
    for (int i = 0; i < 64; ++i) {
        std::string w;
        for (int k = 0; k < 3 + i % 7; ++k) w += char('a' + (i * 7 + k * 13) % 26);
        words.push_back(w);
    }
    while (b.size() < size) {
        x = x * 1103515245u + 12345u;
        const uint32_t r = (x >> 16) & 0x7FFF;
        const std::string& w = words[(r * r >> 24) % 64];
        b.insert(b.end(), w.begin(), w.end());
        b.push_back((r & 15) == 0 ? '\n' : ' ');
    }
    b.resize(size);
    return b;
}

std::vector<uint8_t> RarBenchData::Binary(size_t size) {
    std::vector<uint8_t> b;
    b.reserve(size + 16);
    uint32_t x = 777;
    while (b.size() < size) {
        x = x * 1664525u + 1013904223u;
        const uint8_t ops[][4] = {{0x48, 0x89, 0xC7, 0}, {0xE8, 0, 0, 0}, {0x48, 0x8B, 0x45, 0}, {0x0F, 0x1F, 0x44, 0}};
        const auto& op = ops[(x >> 28) & 3];
        b.insert(b.end(), op, op + 3);
        b.push_back(uint8_t(x >> 8));
        if ((x & 3) == 0) b.push_back(uint8_t(x >> 16));
    }
    b.resize(size);
    return b;
}

std::vector<uint8_t> RarBenchData::Pcm(size_t size) {
    std::vector<uint8_t> b;
    b.reserve(size + 16);
    int32_t a = 0, v = 6000, c = 0, w = -4000;
    uint32_t x = 99;
    while (b.size() < size) {
        v -= a / 60;
        a += v / 60;
        w -= c / 37;
        c += w / 37;
        for (int32_t s : {a, c}) {
            x = x * 1664525u + 1013904223u;
            s += int32_t(x >> 27) - 16;
            b.push_back(uint8_t(s));
            b.push_back(uint8_t(s >> 8));
        }
    }
    b.resize(size);
    return b;
}

} // namespace nuv
