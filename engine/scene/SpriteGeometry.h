#pragma once

#include "core/Vector3.h"

namespace nuv {

class Camera;
class GeometryNode;
class Renderer;

// The vertex data shared by sprite particles, flares and garlands: per sprite one point with a
// position, colour, point size and texture coordinate where the device has point sprites,
// otherwise six vertices of a camera-facing quad. Sprites are drawn without indices.
class SpriteGeometry {
public:
    // Whether the current renderer draws point sprites (no renderer: quads).
    static bool HasPointSprites();
    // Releases the positions, texture coordinates 0, point sizes and colours, then makes them
    // for count sprites in the chosen form; quads also get their fixed texture coordinates and,
    // with lampCentres, a normals buffer of the same length that holds the sprite centres.
    // False when count is not positive or memory runs out (the buffers are then absent).
    static bool Allocate(GeometryNode& node, int count, bool points, bool lampCentres);
    // True when the buffers hold count sprites of that form.
    static bool Matches(const GeometryNode& node, int count, bool points);
    // Half-diagonals of a unit quad facing the camera.
    static void QuadAxes(const Camera& camera, Vector3& a, Vector3& b);
    // The six corners of the quad of size s centred at c.
    static void WriteQuad(Vector3* out, const Vector3& c, float s, const Vector3& a, const Vector3& b);
    // Every pass of the node's effect draws primitiveCount primitives from the bound arrays.
    static void DrawPrimitives(GeometryNode& node, Renderer& renderer, int primitiveCount);
};

} // namespace nuv
