#include "content/ProceduralTextures.h"

#include "core/String.h"

#include <algorithm>
#include <cmath>

namespace nuv {

namespace {

uint8_t ToByte(float v) { return uint8_t(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); }

float Smooth(float t) { return t * t * (3.0f - 2.0f * t); }

void Put(Image& image, int x, int y, float r, float g, float b) {
    uint8_t* p = image.GetPixels() + (size_t(y) * size_t(image.GetWidth()) + size_t(x)) * 3;
    p[0] = ToByte(r);
    p[1] = ToByte(g);
    p[2] = ToByte(b);
}

} // namespace

uint32_t ProceduralTextures::Hash(uint32_t a, uint32_t b, uint32_t c) const {
    // A small integer mix (murmur finaliser) over the seed and the lattice point.
    uint32_t h = seed_ ^ (a * 0x9E3779B1u) ^ (b * 0x85EBCA77u) ^ (c * 0xC2B2AE3Du);
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

float ProceduralTextures::Lattice(int x, int y, int period, int octave) const {
    const int px = ((x % period) + period) % period;
    const int py = ((y % period) + period) % period;
    return float(Hash(uint32_t(px), uint32_t(py), uint32_t(octave)) & 0xFFFFu) / 65535.0f;
}

float ProceduralTextures::Noise(float x, float y, int period, int octaves) const {
    float sum = 0.0f, weight = 0.0f, amplitude = 1.0f;
    for (int o = 0; o < octaves; ++o) {
        const int p = period << o;
        const float fx = x * float(1 << o), fy = y * float(1 << o);
        const int ix = int(std::floor(fx)), iy = int(std::floor(fy));
        const float tx = Smooth(fx - float(ix)), ty = Smooth(fy - float(iy));
        const float a = Lattice(ix, iy, p, o), b = Lattice(ix + 1, iy, p, o);
        const float c = Lattice(ix, iy + 1, p, o), d = Lattice(ix + 1, iy + 1, p, o);
        sum += amplitude * ((a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty);
        weight += amplitude;
        amplitude *= 0.5f;
    }
    return sum / weight;
}

Pointer<Image> ProceduralTextures::Make(const char* name, int size, int format) {
    Pointer<Image> image(new Image(String(name), size, size, format));
    return image;
}

Pointer<Image> ProceduralTextures::Snow(int size) const {
    Pointer<Image> image = Make("snow", size, Image::kRgb);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float u = float(x) / float(size) * 8.0f, v = float(y) / float(size) * 8.0f;
            const float n = Noise(u, v, 8, 4);
            const float sparkle = (Hash(uint32_t(x), uint32_t(y), 99) % 997u) == 0 ? 0.2f : 0.0f;
            const float l = 0.82f + 0.14f * n + sparkle;
            Put(*image, x, y, l * 0.94f, l * 0.97f, l);
        }
    return image;
}

Pointer<Image> ProceduralTextures::Ice(int size) const {
    Pointer<Image> image = Make("ice", size, Image::kRgb);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float u = float(x) / float(size) * 4.0f, v = float(y) / float(size) * 4.0f;
            const float n = Noise(u, v, 4, 5);
            // Cracks follow the noise's mid level: a thin bright line where it crosses 0.5.
            const float crack = std::max(0.0f, 1.0f - std::fabs(n - 0.5f) * 40.0f) * 0.35f;
            Put(*image, x, y, 0.35f + 0.2f * n + crack, 0.45f + 0.2f * n + crack, 0.6f + 0.2f * n + crack);
        }
    return image;
}

Pointer<Image> ProceduralTextures::Bark(int size) const {
    Pointer<Image> image = Make("bark", size, Image::kRgb);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float n = Noise(float(x) / float(size) * 16.0f, float(y) / float(size) * 2.0f, 16, 3);
            Put(*image, x, y, 0.25f + 0.2f * n, 0.16f + 0.12f * n, 0.1f + 0.06f * n);
        }
    return image;
}

Pointer<Image> ProceduralTextures::Needles(int size) const {
    Pointer<Image> image = Make("needles", size, Image::kRgb);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float n = Noise(float(x) / float(size) * 32.0f, float(y) / float(size) * 32.0f, 32, 2);
            const float snow = Noise(float(x) / float(size) * 4.0f, float(y) / float(size) * 4.0f, 4, 3) > 0.62f ? 0.6f : 0.0f;
            Put(*image, x, y, 0.05f + 0.08f * n + snow, 0.2f + 0.15f * n + snow, 0.1f + 0.08f * n + snow);
        }
    return image;
}

Pointer<Image> ProceduralTextures::Wood(int size) const {
    Pointer<Image> image = Make("wood", size, Image::kRgb);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float grain = Noise(float(x) / float(size) * 2.0f, float(y) / float(size) * 24.0f, 2, 3);
            const bool seam = (y % (size / 8)) < std::max(1, size / 128);
            const float l = seam ? 0.3f : 0.7f + 0.3f * grain;
            Put(*image, x, y, 0.5f * l, 0.3f * l, 0.17f * l);
        }
    return image;
}

Pointer<Image> ProceduralTextures::Roof(int size) const {
    Pointer<Image> image = Make("roof", size, Image::kRgb);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float n = Noise(float(x) / float(size) * 8.0f, float(y) / float(size) * 8.0f, 8, 4);
            const float l = n > 0.42f ? 0.85f + 0.1f * n : 0.35f * (0.6f + n);
            Put(*image, x, y, l * 0.95f, l * 0.95f, l);
        }
    return image;
}

Pointer<Image> ProceduralTextures::WindowGlow(int size) const {
    Pointer<Image> image = Make("window", size, Image::kRgb);
    const int frame = std::max(2, size / 16);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const bool bar = x < frame || y < frame || x >= size - frame || y >= size - frame ||
                             std::abs(x - size / 2) < frame / 2 || std::abs(y - size / 2) < frame / 2;
            if (bar) {
                Put(*image, x, y, 0.2f, 0.12f, 0.06f);
                continue;
            }
            const float dx = float(x) / float(size) - 0.5f, dy = float(y) / float(size) - 0.6f;
            const float glow = 1.0f - std::sqrt(dx * dx + dy * dy);
            const float n = Noise(float(x) / float(size) * 4.0f, float(y) / float(size) * 4.0f, 4, 2);
            Put(*image, x, y, 0.8f + 0.2f * glow, 0.5f + 0.3f * glow + 0.1f * n, 0.15f + 0.15f * glow);
        }
    return image;
}

Pointer<Image> ProceduralTextures::Flake(int size) const {
    Pointer<Image> image = Make("flake", size, Image::kRgba);
    uint8_t* p = image->GetPixels();
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x, p += 4) {
            const float dx = (float(x) + 0.5f) / float(size) * 2.0f - 1.0f;
            const float dy = (float(y) + 0.5f) / float(size) * 2.0f - 1.0f;
            const float r = std::sqrt(dx * dx + dy * dy);
            p[0] = p[1] = p[2] = 255;
            p[3] = ToByte(std::pow(std::max(0.0f, 1.0f - r), 1.5f));
        }
    return image;
}

Pointer<Image> ProceduralTextures::Sky(int size) const {
    Pointer<Image> image = Make("sky", size, Image::kRgb);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float h = float(y) / float(size);
            const uint32_t star = Hash(uint32_t(x), uint32_t(y), 7) % 1200u;
            const float s = star == 0 ? 1.0f : (star < 3 ? 0.5f : 0.0f);
            Put(*image, x, y, 0.01f + 0.04f * h + s, 0.02f + 0.06f * h + s, 0.08f + 0.14f * h + s);
        }
    return image;
}

} // namespace nuv
