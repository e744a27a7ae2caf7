#pragma once

#include "render/TextureEffect.h"

namespace nuv {

// A texture with a normal map on a second coordinate set. It draws as TextureEffect (the
// normal map is not drawn); the water effects build on it.
class NormalmapTextureEffect : public TextureEffect {
    NUV_DECLARE_OBJECT
public:
    NormalmapTextureEffect();
    ~NormalmapTextureEffect() override;

    // After the TextureEffect fields: the normal map link and its coordinate set.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;
    Object* FindByName(const String& name) override;
    void CollectByType(const Rtti& type, Array<Object*>& found) override;

    Texture* GetNormalmap() const { return normalmap_.Get(); }
    void SetNormalmap(Texture* texture) { normalmap_ = texture; }
    int GetNormalmapSet() const { return normalmapSet_; }
    void SetNormalmapSet(int set) { normalmapSet_ = set; }

protected:
    explicit NormalmapTextureEffect(NoTechniques) : TextureEffect(NoTechniques{}) {}
    void AddNormalmapTechniques(bool withFixed = true) { AddTextureTechniques(withFixed); }

private:
    Pointer<Texture> normalmap_;
    int32_t normalmapSet_ = 1;
};

} // namespace nuv
