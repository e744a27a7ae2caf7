#pragma once

#include "core/Color.h"
#include "core/Vector3.h"
#include "scene/ParticleSystem.h"

#include <vector>

namespace nuv {

class Camera;

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
    // Culls the point sprites of this frame to the camera into the front of the buffers.
    int GatherVisiblePoints(const Camera& camera);

    int32_t primitiveCount_ = 0;
    // The points as the update wrote them, kept when the first draw of the frame culls the
    // buffers: later draws (a mirror's, the scene's) read them here, in one pass over three
    // arrays instead of a walk over the scattered particle records.
    std::vector<Vector3> framePositions_;
    std::vector<Color> frameColors_;
    std::vector<float> frameSizes_;
    bool frameKept_ = false;
};

} // namespace nuv
