#include "render/FresnelTextureController.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Stream.h"
#include "media/image/Image.h"
#include "render/Texture.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(FresnelTextureController, Controller)

void FresnelTextureController::Fill(Image& image, float n1, float n2) {
    uint8_t* pixels = image.GetPixels();
    const int w = image.GetWidth(), h = image.GetHeight();
    const int bytes = Image::GetBytesPerPixel(image.GetFormat());
    if (!pixels || w <= 0 || bytes <= 0) return;
    const float r = (n1 - n2) / (n1 + n2);
    const float r0 = r * r;
    for (int x = 0; x < w; ++x) {
        const float t = 1.0f - float(x) / float(w);
        const float f = r0 + (1.0f - r0) * t * t * t * t * t;
        const uint8_t value = uint8_t(int(f * 255.0f));
        for (int y = 0; y < h; ++y)
            for (int b = 0; b < bytes; ++b) pixels[(size_t(y) * w + x) * bytes + b] = value;
    }
}

void FresnelTextureController::Apply(double dt) {
    Controller::Apply(dt);
    if (!IsActive() || done_) return;
    done_ = 1;
    auto* texture = DynamicCast<Texture>(GetOwner());
    if (Image* image = texture ? texture->GetImage() : nullptr) {
        Fill(*image, index1, index2);
        texture->GetResourceLink().dirty = 1;
    }
}

int FresnelTextureController::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Follow(Controller::Save(stream))
        .Float(index1)
        .Float(index2)
        .Check("Невозможно сохранить коэффициенты френеля. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int FresnelTextureController::Load(Stream& stream) {
    FieldReader in(stream, *this);
    in.Follow(Controller::Load(stream))
        .Float(index1)
        .Float(index2)
        .Check("Невозможно загрузить коэффициент френеля. ID[%d] Имя[%s]");
    return in.GetStatus();
}

} // namespace nuv
