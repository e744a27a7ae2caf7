#include "content/OverlayPictures.h"

#include "core/String.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace nuv {

namespace {

constexpr float kPiF = 3.14159265f;

struct Stroke {
    float x0, y0, x1, y1;  // unit box, y down from the top
};

// Distance from p to the segment ab.
float SegmentDistance(float px, float py, const Stroke& s) {
    const float dx = s.x1 - s.x0, dy = s.y1 - s.y0;
    const float len2 = dx * dx + dy * dy;
    float t = len2 > 0.0f ? ((px - s.x0) * dx + (py - s.y0) * dy) / len2 : 0.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    const float ex = px - (s.x0 + t * dx), ey = py - (s.y0 + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

// Writes a pixel given with y counted from the top, as pictures are drawn; images keep
// their bottom row first.
uint8_t* At(Image& image, int x, int yTop) {
    const int bpp = Image::GetBytesPerPixel(image.GetFormat());
    const int row = image.GetHeight() - 1 - yTop;
    return image.GetPixels() + (size_t(row) * size_t(image.GetWidth()) + size_t(x)) * size_t(bpp);
}

uint8_t ToByte(float v) { return uint8_t(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); }

void Blend(float* rgb, float r, float g, float b, float a) {
    rgb[0] += (r - rgb[0]) * a;
    rgb[1] += (g - rgb[1]) * a;
    rgb[2] += (b - rgb[2]) * a;
}

// Seven-segment strokes, with lower-case a, p and m for the 12-hour clock.
std::vector<Stroke> Glyph(char c) {
    const Stroke a{0.25f, 0.12f, 0.75f, 0.12f}, b{0.75f, 0.12f, 0.75f, 0.5f}, cc{0.75f, 0.5f, 0.75f, 0.88f},
        d{0.25f, 0.88f, 0.75f, 0.88f}, e{0.25f, 0.5f, 0.25f, 0.88f}, f{0.25f, 0.12f, 0.25f, 0.5f},
        g{0.25f, 0.5f, 0.75f, 0.5f};
    switch (c) {
    case '0': return {a, b, cc, d, e, f};
    case '1': return {b, cc};
    case '2': return {a, b, g, e, d};
    case '3': return {a, b, g, cc, d};
    case '4': return {f, g, b, cc};
    case '5': return {a, f, g, cc, d};
    case '6': return {a, f, g, e, cc, d};
    case '7': return {a, b, cc};
    case '8': return {a, b, cc, d, e, f, g};
    case '9': return {a, b, cc, d, f, g};
    case 'a': return {g, cc, d, {0.25f, 0.69f, 0.25f, 0.88f}, {0.25f, 0.69f, 0.75f, 0.69f}};
    case 'p': return {g, {0.75f, 0.5f, 0.75f, 0.72f}, {0.25f, 0.72f, 0.75f, 0.72f}, {0.25f, 0.5f, 0.25f, 0.95f}};
    case 'm': return {g, e, cc, {0.5f, 0.5f, 0.5f, 0.88f}};
    case '.': return {{0.5f, 0.86f, 0.5f, 0.86f}};
    case ':': return {{0.5f, 0.32f, 0.5f, 0.32f}, {0.5f, 0.72f, 0.5f, 0.72f}};
    default: return {};
    }
}

} // namespace

uint32_t OverlayPictures::Hash(uint32_t a, uint32_t b) const {
    uint32_t h = seed_ ^ (a * 0x9E3779B1u) ^ (b * 0x85EBCA77u);
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

Pointer<Image> OverlayPictures::Character(char c) const {
    Pointer<Image> image(new Image(String("digit"), kDigitWidth, kDigitHeight, Image::kRgba));
    const std::vector<Stroke> strokes = Glyph(c);
    const float half = (c == '.' || c == ':') ? 0.09f : 0.06f;  // stroke half-width in box units
    for (int y = 0; y < kDigitHeight; ++y)
        for (int x = 0; x < kDigitWidth; ++x) {
            // The box is twice as tall as wide; measure in widths so strokes are round.
            const float px = (float(x) + 0.5f) / float(kDigitWidth);
            const float py = (float(y) + 0.5f) / float(kDigitHeight);
            float best = 1e9f;
            for (const Stroke& s : strokes) {
                const Stroke scaled{s.x0, s.y0 * 2.0f, s.x1, s.y1 * 2.0f};
                best = std::min(best, SegmentDistance(px, py * 2.0f, scaled));
            }
            // One pixel of soft edge, so scaled characters do not shimmer.
            const float edge = 1.0f / float(kDigitWidth);
            const float alpha = std::clamp((half - best) / edge + 0.5f, 0.0f, 1.0f);
            uint8_t* p = At(*image, x, y);
            p[0] = p[1] = p[2] = 255;
            p[3] = ToByte(alpha);
        }
    return image;
}

Pointer<Image> OverlayPictures::Landscape(const char* name, int width, int height) const {
    Pointer<Image> image(new Image(String(name), width, height, Image::kRgb));
    const float w = float(width), h = float(height);
    const float moonX = 0.78f * w, moonY = 0.2f * h, moonR = 0.06f * h;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float u = float(x) / w, v = float(y) / h;
            float rgb[3] = {0.02f + 0.08f * v, 0.03f + 0.12f * v, 0.12f + 0.2f * v};
            if (Hash(uint32_t(x), uint32_t(y)) % 700u == 0 && v < 0.55f) Blend(rgb, 1, 1, 1, 0.9f);
            const float md = std::hypot(float(x) - moonX, float(y) - moonY);
            Blend(rgb, 0.9f, 0.9f, 0.75f, std::clamp(moonR - md + 0.5f, 0.0f, 1.0f));
            Blend(rgb, 0.4f, 0.45f, 0.55f, 0.25f * std::exp(-md / (moonR * 3.0f)));
            // Far hills, then fir trees on them, then the near snowfield.
            const float hill = 0.58f + 0.05f * std::sin(u * 7.0f) + 0.03f * std::sin(u * 17.0f + 1.0f);
            if (v > hill) Blend(rgb, 0.55f, 0.62f, 0.75f, 1.0f);
            for (int t = 0; t < 9; ++t) {
                const float tx = (0.06f + 0.11f * float(t)) + 0.03f * float(Hash(uint32_t(t), 1) % 100u) / 100.0f;
                const float th = 0.12f + 0.08f * float(Hash(uint32_t(t), 2) % 100u) / 100.0f;
                const float base = 0.58f + 0.05f * std::sin(tx * 7.0f) + 0.03f * std::sin(tx * 17.0f + 1.0f) + 0.02f;
                const float top = base - th;
                if (v > top && v < base) {
                    const float halfWidth = (v - top) / th * th * 0.28f * h / w;
                    if (std::fabs(u - tx) < halfWidth) Blend(rgb, 0.05f, 0.16f, 0.1f, 1.0f);
                }
            }
            // Two houses with warm windows.
            for (int k = 0; k < 2; ++k) {
                const float hx = 0.3f + 0.32f * float(k), hw = 0.1f, hy = 0.64f, hh = 0.08f;
                if (u > hx && u < hx + hw && v > hy && v < hy + hh) {
                    Blend(rgb, 0.3f, 0.18f, 0.1f, 1.0f);
                    const float wx = (u - hx) / hw, wy = (v - hy) / hh;
                    if ((wx > 0.2f && wx < 0.4f) || (wx > 0.6f && wx < 0.8f))
                        if (wy > 0.3f && wy < 0.7f) Blend(rgb, 1.0f, 0.75f, 0.3f, 1.0f);
                }
                const float roofV = hy - (hw * 0.5f - std::fabs(u - hx - hw * 0.5f)) * w / h * 0.6f;
                if (u > hx - 0.01f && u < hx + hw + 0.01f && v > roofV && v <= hy) Blend(rgb, 0.9f, 0.92f, 0.97f, 1.0f);
            }
            if (v > 0.74f + 0.02f * std::sin(u * 5.0f)) Blend(rgb, 0.82f + 0.1f * v, 0.86f + 0.1f * v, 0.95f, 1.0f);
            uint8_t* p = At(*image, x, y);
            p[0] = ToByte(rgb[0]);
            p[1] = ToByte(rgb[1]);
            p[2] = ToByte(rgb[2]);
        }
    return image;
}

Pointer<Image> OverlayPictures::Corner(const char* corner) const {
    Pointer<Image> image(new Image(String((std::string("4loader_") + corner).c_str()), kCornerSize, kCornerSize, Image::kRgba));
    const bool right = corner[0] == 'r', down = corner[1] == 'd';
    const float n = float(kCornerSize);
    for (int y = 0; y < kCornerSize; ++y)
        for (int x = 0; x < kCornerSize; ++x) {
            // Distance and angle from the picture's own corner of the screen.
            const float cx = right ? n - 0.5f - float(x) : float(x) + 0.5f;
            const float cy = down ? n - 0.5f - float(y) : float(y) + 0.5f;
            const float r = std::hypot(cx, cy) / n;
            const float angle = std::atan2(cy, cx);
            float alpha = 0.0f;
            // Frost rays that fade outwards, and two arcs.
            for (int k = 0; k < 5; ++k) {
                const float rayAngle = (float(k) + 0.5f) / 5.0f * kPiF * 0.5f;
                const float across = std::fabs(angle - rayAngle) * r * n;
                alpha = std::max(alpha, std::clamp(1.5f - across, 0.0f, 1.0f) * std::max(0.0f, 1.0f - r));
            }
            for (const float arc : {0.35f, 0.6f})
                alpha = std::max(alpha, std::clamp(1.2f - std::fabs(r - arc) * n, 0.0f, 1.0f) * (1.0f - r) * 1.2f);
            uint8_t* p = At(*image, x, y);
            p[0] = 210;
            p[1] = 230;
            p[2] = 255;
            p[3] = ToByte(alpha);
        }
    return image;
}

Pointer<Image> OverlayPictures::Logo(int size) const {
    Pointer<Image> image(new Image(String("logo"), size, size, Image::kRgb));
    const float half = float(size) * 0.5f;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float dx = (float(x) + 0.5f - half) / half, dy = (float(y) + 0.5f - half) / half;
            float rgb[3] = {0.04f, 0.07f + 0.05f * (dy + 1.0f), 0.2f + 0.1f * (dy + 1.0f)};
            float best = 1e9f;
            for (int arm = 0; arm < 6; ++arm) {
                const float a = float(arm) * kPiF / 3.0f, ca = std::cos(a), sa = std::sin(a);
                best = std::min(best, SegmentDistance(dx, dy, {0, 0, 0.8f * ca, 0.8f * sa}));
                // Two pairs of barbs along each arm.
                for (const float at : {0.4f, 0.6f})
                    for (const float side : {-1.0f, 1.0f}) {
                        const float b = a + side * kPiF / 4.0f;
                        best = std::min(best, SegmentDistance(dx, dy, {at * ca, at * sa, at * ca + 0.2f * std::cos(b),
                                                                       at * sa + 0.2f * std::sin(b)}));
                    }
            }
            Blend(rgb, 0.9f, 0.95f, 1.0f, std::clamp((0.035f - best) * float(size) * 0.5f + 0.5f, 0.0f, 1.0f));
            uint8_t* p = At(*image, x, y);
            p[0] = ToByte(rgb[0]);
            p[1] = ToByte(rgb[1]);
            p[2] = ToByte(rgb[2]);
        }
    return image;
}

std::vector<OverlayPictures::Picture> OverlayPictures::Build(bool withJpeg) const {
    std::vector<Picture> pictures;
    if (withJpeg) pictures.push_back({"loader.jpg", Landscape("loader", 1024, 768)});
    for (const char* corner : {"ld", "rd", "lu", "ru"})
        pictures.push_back({std::string("4loader_") + corner + ".tga", Corner(corner)});
    static const struct {
        char c;
        const char* suffix;
    } kCharacters[] = {{'0', "0"}, {'1', "1"}, {'2', "2"}, {'3', "3"}, {'4', "4"}, {'5', "5"},
                       {'6', "6"}, {'7', "7"}, {'8', "8"}, {'9', "9"}, {'a', "a"}, {'p', "p"},
                       {'m', "m"}, {'.', "dot"}, {':', "ddot"}};
    for (const auto& entry : kCharacters)
        pictures.push_back({std::string("digit_") + entry.suffix + ".tga", Character(entry.c)});
    pictures.push_back({"settings.bmp", Landscape("settings", 400, 120)});
    pictures.push_back({"logo.bmp", Logo(128)});
    pictures.push_back({"preview.bmp", Landscape("preview", 152, 112)});
    return pictures;
}

} // namespace nuv
