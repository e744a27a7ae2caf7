#pragma once

#include "core/Object.h"

namespace nuv {

class GeometryNode;
class Technique;

// How a geometry node is drawn: the techniques and passes, blending and the enabled switch.
// The drawing side (techniques, passes, stored material) belongs to the concrete effects; the
// geometry only needs what decides whether, when and through which passes it is drawn.
class GeometryNodeEffect : public Object {
public:
    static inline const Rtti TYPE{"Nuv.GeometryNodeEffect", &Object::TYPE};
    const Rtti& GetType() const override { return TYPE; }

    bool IsEnabled() const { return enabled_; }
    virtual void Enable() { enabled_ = true; }
    virtual void Disable() { enabled_ = false; }

    // Blended geometry is drawn late, back to front.
    bool IsBlendEnabled() const { return blendEnabled_; }
    void SetBlendEnabled(bool enabled) { blendEnabled_ = enabled; }

    // The geometry this effect draws: a plain back pointer, the geometry holds the effect.
    GeometryNode* GetGeometry() const { return geometry_; }
    void SetGeometry(GeometryNode* geometry) { geometry_ = geometry; }

    // The first supported technique, chosen on first use and then kept; null when none is.
    virtual Technique* GetCurrentTechnique() = 0;
    // Passes of the current technique; 0 without one.
    virtual int GetPassCount() = 0;
    // Refreshes the current technique when one has been chosen, so its passes see new data.
    virtual void RefreshCurrentTechnique() = 0;

protected:
    GeometryNodeEffect() = default;

private:
    GeometryNode* geometry_ = nullptr;
    bool enabled_ = true;
    bool blendEnabled_ = false;
};

} // namespace nuv
