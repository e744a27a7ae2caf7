#include "render/CubeTexture.h"

#include "core/LinkVisitor.h"
#include "core/Log.h"
#include "core/Stream.h"
#include "media/image/Image.h"

namespace nuv {

NUV_IMPLEMENT_OBJECT(CubeTexture, BaseTexture)

CubeTexture::CubeTexture() = default;

CubeTexture::~CubeTexture() = default;

void CubeTexture::SetImage(Image* image) {
    ReplaceImage(image_, image);
}

int CubeTexture::Save(Stream& stream) {
    return SaveWithImage(stream, image_.Get());
}

int CubeTexture::Load(Stream& stream) {
    Image* image = nullptr;
    if (const int status = LoadWithImage(stream, image); status != 0) return status;
    SetImage(image);
    LogInfo("Текстура [%s] загружена.", GetName().GetText());
    return kStatusOk;
}

void CubeTexture::VisitLinks(LinkVisitor& visitor) {
    BaseTexture::VisitLinks(visitor);
    if (visitor.Refuses(*this, image_)) SetImage(nullptr);
}

} // namespace nuv
