#pragma once

#include "core/Vector2.h"
#include "scene/Triangles.h"

namespace nuv {

// A textured rectangle in normalised screen coordinates ((0, 0) bottom left, (1, 1) top right),
// never culled; when its effect blends the renderer draws it after all other late geometry.
class WindowPlane : public Triangles {
    NUV_DECLARE_OBJECT
public:
    WindowPlane();

    // After the GeometryNode fields: position, size.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;

    // Drawn late when the effect blends, otherwise at once.
    void Render(Renderer& renderer) override;
    // No hidden flag and no frustum test: the plane belongs to the screen, not the scene.
    void CullAndRender(Renderer& renderer) override;
    // Unbounded, so that no bound test ever leaves it out.
    void ComputeModelBound() override;
    // The unit square placed by position and size, under a projection that maps it onto the
    // viewport.
    void Draw(Renderer& renderer) override;

    Vector2 position;
    Vector2 size{1.0f, 1.0f};
};

} // namespace nuv
