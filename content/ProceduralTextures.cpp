#include "content/ProceduralTextures.h"

#include "core/String.h"

#include <algorithm>
#include <cmath>
#include <vector>

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

void Put4(Image& image, int x, int y, float r, float g, float b, float a) {
    uint8_t* p = image.GetPixels() + (size_t(y) * size_t(image.GetWidth()) + size_t(x)) * 4;
    p[0] = ToByte(r);
    p[1] = ToByte(g);
    p[2] = ToByte(b);
    p[3] = ToByte(a);
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
    Pointer<Image> image = Make("ice", size, Image::kRgba);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float u = float(x) / float(size) * 4.0f, v = float(y) / float(size) * 4.0f;
            const float n = Noise(u, v, 4, 5);
            // Cracks follow the noise's mid level: a thin bright line where it crosses 0.5.
            const float crack = std::max(0.0f, 1.0f - std::fabs(n - 0.5f) * 40.0f) * 0.35f;
            // Clear black ice mirrors; cracks and frosted patches less so.
            const float frosted = Noise(u * 2.0f, v * 2.0f, 8, 3);
            const float mirror = std::clamp(0.75f - 0.5f * std::max(0.0f, frosted - 0.45f) * 2.0f - crack, 0.2f, 0.8f);
            Put4(*image, x, y, 0.35f + 0.2f * n + crack, 0.45f + 0.2f * n + crack, 0.6f + 0.2f * n + crack, mirror);
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

Pointer<Image> ProceduralTextures::IceBump(int size) const {
    Pointer<Image> image = Make("icebump", size, Image::kRgb);
    std::vector<float> height(size_t(size) * size_t(size));
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            height[size_t(y) * size_t(size) + size_t(x)] = Noise(float(x) / float(size) * 8.0f, float(y) / float(size) * 8.0f, 8, 3);
    // Slopes to the right and downwards neighbours (wrapping), as a tangent-space normal.
    const float bump = 6.0f;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float h = height[size_t(y) * size_t(size) + size_t(x)];
            const float dx = bump * (h - height[size_t(y) * size_t(size) + size_t((x + 1) % size)]);
            const float dy = bump * (h - height[size_t((y + 1) % size) * size_t(size) + size_t(x)]);
            const float length = std::sqrt(dx * dx + dy * dy + 1.0f);
            Put(*image, x, y, 0.5f + 0.5f * dx / length, 0.5f + 0.5f * dy / length, 0.5f + 0.5f / length);
        }
    return image;
}

Pointer<Image> ProceduralTextures::Glow(int size) const {
    Pointer<Image> image = Make("glow", size, Image::kRgba);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float dx = (float(x) + 0.5f) / float(size) * 2.0f - 1.0f;
            const float dy = (float(y) + 0.5f) / float(size) * 2.0f - 1.0f;
            const float r = std::sqrt(dx * dx + dy * dy);
            const float core = std::exp(-r * r * 12.0f), halo = std::pow(std::max(0.0f, 1.0f - r), 2.0f) * 0.6f;
            Put4(*image, x, y, 1.0f, 0.95f, 0.85f, std::min(1.0f, core + halo));
        }
    return image;
}

Pointer<Image> ProceduralTextures::Bulb(int size) const {
    Pointer<Image> image = Make("bulb", size, Image::kRgba);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float dx = (float(x) + 0.5f) / float(size) * 2.0f - 1.0f;
            const float dy = (float(y) + 0.5f) / float(size) * 2.0f - 1.0f;
            const float r = std::sqrt(dx * dx + dy * dy);
            const float a = r < 0.5f ? 1.0f : std::pow(std::max(0.0f, 1.0f - (r - 0.5f) * 2.0f), 2.0f) * 0.7f;
            Put4(*image, x, y, 1.0f, 1.0f, 1.0f, a);
        }
    return image;
}

Pointer<Image> ProceduralTextures::Smoke(int size) const {
    Pointer<Image> image = Make("smoke", size, Image::kRgba);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float dx = (float(x) + 0.5f) / float(size) * 2.0f - 1.0f;
            const float dy = (float(y) + 0.5f) / float(size) * 2.0f - 1.0f;
            const float n = Noise(float(x) / float(size) * 4.0f, float(y) / float(size) * 4.0f, 4, 4);
            const float r = std::sqrt(dx * dx + dy * dy) + (n - 0.5f) * 0.5f;
            Put4(*image, x, y, 0.85f, 0.85f, 0.88f, std::clamp(1.0f - r, 0.0f, 1.0f) * (0.5f + 0.5f * n));
        }
    return image;
}

Pointer<Image> ProceduralTextures::Stone(int size) const {
    Pointer<Image> image = Make("stone", size, Image::kRgb);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float n = Noise(float(x) / float(size) * 8.0f, float(y) / float(size) * 8.0f, 8, 4);
            const bool joint = (y % (size / 4)) < 2 || ((x + (y / (size / 4)) * size / 8) % (size / 4)) < 2;
            const float l = joint ? 0.2f : 0.4f + 0.25f * n;
            Put(*image, x, y, l, l * 0.97f, l * 0.95f);
        }
    return image;
}

Pointer<Image> ProceduralTextures::WallLight(int size) const {
    Pointer<Image> image = Make("walllight", size, Image::kRgb);
    const int panel = size / 4;
    // Window rectangles in a panel's (u, v): the front has two, the sides one, the rest none.
    struct Window {
        float u0, u1;
    };
    const std::vector<Window> windows[4] = {{{0.16f, 0.34f}, {0.66f, 0.84f}}, {{0.39f, 0.61f}}, {}, {}};
    const float v0 = 0.28f, v1 = 0.64f;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int p = x / panel;
            // v runs from the picture's last row (the top of the wall) to its first.
            const float u = (float(x % panel) + 0.5f) / float(panel), v = 1.0f - (float(y) + 0.5f) / float(size);
            float warm = 0.0f;
            for (const Window& w : windows[p]) {
                const float du = std::max({w.u0 - u, 0.0f, u - w.u1}) * 2.5f, dv = std::max({v0 - v, 0.0f, v - v1});
                // Light falls more below a window than above it.
                const float d2 = du * du + (v > v1 ? dv * dv * 0.6f : dv * dv * 2.0f);
                warm += std::exp(-d2 * 30.0f);
            }
            // A little moonlight, brighter up the wall; the spill is warm.
            const float moon = 0.4f + 0.12f * (1.0f - v);
            Put(*image, x, y, moon + 0.75f * warm, moon * 1.04f + 0.5f * warm, moon * 1.35f + 0.2f * warm);
        }
    return image;
}

Pointer<Image> ProceduralTextures::Figures(int size) const {
    Pointer<Image> image = Make("figures", size, Image::kRgb);
    const int band = size / 4;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float n = Noise(float(x) / float(size) * 8.0f, float(y) / float(size) * 8.0f, 8, 3);
            // Bands from the bottom row up: the first coordinate row is the picture's last.
            switch (3 - y / band) {
            case 0: Put(*image, x, y, 0.88f + 0.1f * n, 0.9f + 0.1f * n, 0.96f + 0.04f * n); break;
            case 1: Put(*image, x, y, 0.3f + 0.15f * n, 0.19f + 0.08f * n, 0.09f + 0.04f * n); break;
            case 2: {
                // Knitted stitches: small chevrons.
                const float stitch = ((x + (y % 4 < 2 ? y % 4 : 3 - y % 4)) % 4) < 2 ? 1.0f : 0.8f;
                Put(*image, x, y, (0.7f + 0.2f * n) * stitch, 0.1f * stitch, 0.1f * stitch);
                break;
            }
            default: Put(*image, x, y, 0.1f + 0.05f * n, 0.12f + 0.05f * n, 0.25f + 0.08f * n); break;
            }
        }
    return image;
}

Pointer<Image> ProceduralTextures::Frost(int size) const {
    Pointer<Image> image = Make("frost", size, Image::kRgba);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            // From the corner at the first column and the last row (the plane's top left).
            const float u = (float(x) + 0.5f) / float(size), v = 1.0f - (float(y) + 0.5f) / float(size);
            const float corner = std::sqrt(u * u + v * v);
            const float n = Noise(u * 8.0f, v * 8.0f, 8, 4);
            const float reach = 0.7f + 0.3f * n;
            const float a = std::pow(std::clamp((reach - corner) / reach, 0.0f, 1.0f), 1.4f) * (0.25f + 0.45f * n);
            Put4(*image, x, y, 0.85f, 0.92f, 1.0f, a);
        }
    return image;
}

} // namespace nuv
