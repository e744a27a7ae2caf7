#include "render/NormalmapTextureController.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Stream.h"
#include "media/image/Image.h"
#include "render/Texture.h"

#include <cmath>
#include <memory>
#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(NormalmapTextureController, Controller)

bool NormalmapTextureController::Convert(Image& image, float k, bool keep) {
    const uint8_t* height = image.GetPixels();
    const int w = image.GetWidth(), h = image.GetHeight();
    if (image.GetFormat() != Image::kOneChannel || !height || w <= 0 || h <= 0) return false;
    const int bytes = keep ? 4 : 3;
    std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[size_t(w) * size_t(h) * size_t(bytes)]);
    if (!out) return false;
    uint8_t* o = out.get();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Neighbours wrap around, so a tiling height map gives a tiling normal map.
            const float here = height[y * w + x] / 255.0f;
            const float right = height[y * w + (x + 1) % w] / 255.0f;
            const float below = height[((y + 1) % h) * w + x] / 255.0f;
            const float dx = k * (here - right), dy = k * (here - below);
            const float length = std::sqrt(dx * dx + dy * dy + 1.0f);
            *o++ = uint8_t(int(dx / length * 127.0f + 128.0f));
            *o++ = uint8_t(int(dy / length * 127.0f + 128.0f));
            *o++ = uint8_t(int(1.0f / length * 127.0f + 128.0f));
            if (keep) *o++ = uint8_t(int(here * 255.0f));
        }
    image.AdoptPixels(w, h, keep ? Image::kRgba : Image::kRgb, std::move(out));
    return true;
}

void NormalmapTextureController::Apply(double dt) {
    Controller::Apply(dt);
    if (!IsActive() || done_) return;
    done_ = 1;
    auto* texture = DynamicCast<Texture>(GetOwner());
    Image* image = texture ? texture->GetImage() : nullptr;
    if (image && Convert(*image, bump, keepHeight)) {
        // The format changed: the device texture is made anew from the image.
        Pointer<Image> held = image;
        texture->SetImage(nullptr);
        texture->SetImage(held.Get());
    }
}

int NormalmapTextureController::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Follow(Controller::Save(stream))
        .Float(bump)
        .Bool(keepHeight)
        .Check("Невозможно сохранить коэффициент бампа. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int NormalmapTextureController::Load(Stream& stream) {
    FieldReader in(stream, *this);
    in.Follow(Controller::Load(stream))
        .Float(bump)
        .Bool(keepHeight)
        .Check("Невозможно загрузить коэффициент бампа. ID[%d] Имя[%s]");
    return in.GetStatus();
}

} // namespace nuv
