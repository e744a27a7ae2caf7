#pragma once

#include "core/Color.h"
#include "scene/GeometryNode.h"

namespace nuv {

// One glowing camera-facing sprite at the node's position (a lamp's glow, a star).
class Flare : public GeometryNode {
    NUV_DECLARE_OBJECT
public:
    Flare();

    // After the GeometryNode fields: colour, size.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;

    // Controllers, world transform, the effect; then the sprite at the world translation.
    void UpdateWorld(double dt) override;
    void Render(Renderer& renderer) override;
    int GetPrimitiveType() const override;
    // A sphere of radius size × 5000 around the origin: the glow reaches far beyond the point.
    void ComputeModelBound() override;
    void Draw(Renderer& renderer) override;

    Color color{1.0f, 1.0f, 1.0f, 1.0f};
    float size = 0.01f;

private:
    int32_t primitiveCount_ = 0;
};

} // namespace nuv
