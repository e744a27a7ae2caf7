#pragma once

#include "scene/ParticleSystem.h"

namespace nuv {

// Draws every particle as a camera-facing sprite through its own sprite effect: one point
// sprite where the device has them, otherwise a quad of two triangles.
class SpriteParticleSystem : public ParticleSystem {
    NUV_DECLARE_OBJECT
public:
    SpriteParticleSystem();

    // The simulation, then the buffers refilled from the live particles.
    void UpdateWorld(double dt) override;
    void Render(Renderer& renderer) override;
    // Fitted to every slot of the vertex buffer, also those not filled this frame.
    void UpdateBound() override;
    // 0 with point sprites, 3 (quads) otherwise or without a renderer.
    int GetPrimitiveType() const override;
    // Each pass draws the primitive count without indices.
    void Draw(Renderer& renderer) override;
    // Buffers for maxParticles sprites, in the form the current renderer draws.
    void AllocateBuffers() override;

    int GetPrimitiveCount() const { return primitiveCount_; }

private:
    int32_t primitiveCount_ = 0;
};

} // namespace nuv
