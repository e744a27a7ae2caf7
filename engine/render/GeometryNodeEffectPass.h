#pragma once

#include "render/Pass.h"

namespace nuv {

class GeometryNodeEffect;

// A pass of a geometry effect: Refresh copies the effect's stored parameters into the state
// block, so a changed material or fog reaches the device at the next recording.
class GeometryNodeEffectPass : public Pass {
    NUV_DECLARE_OBJECT
public:
    GeometryNodeEffect* GetEffect() const { return effect_; }
    void SetEffect(GeometryNodeEffect* effect) { effect_ = effect; }

    void Refresh() override;

protected:
    explicit GeometryNodeEffectPass(GeometryNodeEffect* effect = nullptr) : effect_(effect) {}

private:
    // A plain back pointer: the effect owns its techniques and, through them, this pass.
    GeometryNodeEffect* effect_;
};

} // namespace nuv
