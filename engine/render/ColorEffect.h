#pragma once

#include "core/Color.h"
#include "render/GeometryNodeEffect.h"

namespace nuv {

class Pass;
class Technique;

// Geometry in one colour: a program pair where the device runs programs, else fixed-function
// with the colour written into the geometry's colour buffer. Base of the textured effects.
//
// Techniques are tried most derived member first and, within a member, programs before
// fixed-function: each member's public constructor adds its own and then its base's, through
// the Add...Techniques chain, on a base built without techniques.
class ColorEffect : public GeometryNodeEffect {
    NUV_DECLARE_OBJECT
public:
    ColorEffect();
    ~ColorEffect() override;

    // After the GeometryNodeEffect fields: the colour.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;

    const Color& GetColor() const { return color_; }
    void SetColor(const Color& color) { color_ = color; }

protected:
    struct NoTechniques {};
    explicit ColorEffect(NoTechniques) {}

    // withFixed false leaves out the fixed-function techniques: the water and snow members draw
    // nothing on a device without programs.
    void AddColorTechniques(bool withFixed = true);
    // A technique of one pass; logs and drops both when either is missing.
    void AddSinglePass(Technique* technique, Pass* pass);
    // Object links of derived members, for FindByName and CollectByType.
    static Object* FindIn(Object* object, const String& name) { return object ? object->FindByName(name) : nullptr; }
    static void CollectIn(Object* object, const Rtti& type, Array<Object*>& found) {
        if (object) object->CollectByType(type, found);
    }

private:
    Color color_{1.0f, 1.0f, 1.0f, 1.0f};
};

} // namespace nuv
