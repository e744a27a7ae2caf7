#include "render/NoiseTextureController.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/Stream.h"
#include "media/image/VolumeImage.h"
#include "render/Texture.h"
#include "render/VolumeTexture.h"

#include <cstdlib>

namespace nuv {

NUV_IMPLEMENT_OBJECT(NoiseTextureController, Controller)

float NoiseTextureController::Noise(int32_t value) {
    uint32_t n = uint32_t(value);
    n = (n << 13) ^ n;
    const uint32_t hashed = (n * (n * n * 15731u + 789221u) - 771171059u) & 0x7FFFFFFFu;
    return float(1.0 - double(hashed) / 1073741824.0);
}

void NoiseTextureController::Fill(Image& image, const Color& c, int depth, int32_t seed) {
    uint8_t* pixel = image.GetPixels();
    const int channels = Image::GetBytesPerPixel(image.GetFormat());
    if (!pixel || channels <= 0) return;
    const float colour[4] = {c.r, c.g, c.b, c.a};
    const uint32_t s = uint32_t(seed);
    for (int z = 0; z < depth; ++z)
        for (int y = 0; y < image.GetHeight(); ++y)
            for (int x = 0; x < image.GetWidth(); ++x) {
                // A picture's rows and a volume's slices hash with different strides.
                const uint32_t n = depth > 1 || DynamicCast<VolumeImage>(&image)
                                       ? uint32_t(z) * 131u + s * 295u + uint32_t(y) * 57u + uint32_t(x)
                                       : uint32_t(y) * 57u + s * 131u + uint32_t(x);
                const float value = Noise(int32_t(n));
                for (int ch = 0; ch < channels; ++ch)
                    *pixel++ = uint8_t(int32_t(colour[ch % 4] * value * 255.0f));
            }
}

void NoiseTextureController::Apply(double dt) {
    Controller::Apply(dt);
    if (!IsActive() || (done_ && !regenerate)) return;
    done_ = 1;
    Object* owner = GetOwner();
    if (auto* texture = DynamicCast<Texture>(owner)) {
        if (Image* image = texture->GetImage()) {
            Fill(*image, color, 1, std::rand());
            texture->GetResourceLink().dirty = 1;
        }
    } else if (auto* volume = DynamicCast<VolumeTexture>(owner)) {
        if (VolumeImage* image = volume->GetImage()) {
            Fill(*image, color, image->GetDepth(), std::rand());
            volume->MarkDirty();
        }
    }
}

int NoiseTextureController::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Follow(Controller::Save(stream))
        .Bool(regenerate)
        .Color(color)
        .Check("Невозможно сохранить данные генерации. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int NoiseTextureController::Load(Stream& stream) {
    FieldReader in(stream, *this);
    in.Follow(Controller::Load(stream))
        .Bool(regenerate)
        .Color(color)
        .Check("Невозможно загрузить данные генерации. ID[%d] Имя[%s]");
    return in.GetStatus();
}

} // namespace nuv
