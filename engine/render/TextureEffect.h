#pragma once

#include "core/Pointer.h"
#include "render/ColorEffect.h"
#include "render/Texture.h"

namespace nuv {

class Texture;

// A texture on coordinate set texCoordSet, tinted by the colour; sway and vertex-program
// skinning through the program technique.
class TextureEffect : public ColorEffect {
    NUV_DECLARE_OBJECT
public:
    TextureEffect();
    ~TextureEffect() override;

    // After the ColorEffect fields: the texture link and the coordinate set.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;
    Object* FindByName(const String& name) override;
    void CollectByType(const Rtti& type, Array<Object*>& found) override;

    Texture* GetTexture() const { return texture_.Get(); }
    void SetTexture(Texture* texture) { texture_ = texture; }
    int GetTexCoordSet() const { return texCoordSet_; }
    void SetTexCoordSet(int set) { texCoordSet_ = set; }

protected:
    explicit TextureEffect(NoTechniques) : ColorEffect(NoTechniques{}) {}
    void AddTextureTechniques(bool withFixed = true);

private:
    Pointer<Texture> texture_;
    int32_t texCoordSet_ = 0;
};

} // namespace nuv
