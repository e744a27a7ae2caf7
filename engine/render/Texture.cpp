#include "render/Texture.h"

#include "core/LinkVisitor.h"
#include "core/Log.h"
#include "core/Stream.h"
#include "media/image/Image.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(Texture, BaseTexture)

Texture::Texture() = default;

Texture::~Texture() = default;

void Texture::SetImage(Image* image) {
    ReplaceImage(image_, image);
}

int Texture::Save(Stream& stream) {
    return SaveWithImage(stream, image_.Get());
}

int Texture::Load(Stream& stream) {
    Image* image = nullptr;
    if (const int status = LoadWithImage(stream, image); status != 0) return status;
    SetImage(image);
    LogInfo("Текстура [%s] загружена.", GetName().GetText());
    return kStatusOk;
}

void Texture::VisitLinks(LinkVisitor& visitor) {
    BaseTexture::VisitLinks(visitor);
    if (visitor.Refuses(*this, image_)) SetImage(nullptr);
}

} // namespace nuv
