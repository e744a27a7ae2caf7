#pragma once

#include "core/Matrix4.h"
#include "core/Pointer.h"
#include "core/Vector3.h"
#include "core/Vector4.h"
#include "render/programs/ShaderPrograms.h"

namespace nuv {

class Buffer;
class Controller;
class GeometryNodeEffect;
class Renderer;
class Shader;
class Triangles;
class Vector4Buffer;

// What the geometry effects' passes share: the camera's matrices (the mirrored ones while a
// reflection is drawn), the constants of the register convention, the skinned streams, and the
// choice of a program text for the renderer's language.
class EffectConstants {
public:
    // What a skinned draw reads from the skin controller: bind-pose positions, weights, bone
    // indices and the bone matrices.
    struct SkinData {
        Buffer* bindPositions = nullptr;
        Vector4Buffer* weights = nullptr;
        Vector4Buffer* indices = nullptr;
        const Matrix4* bones = nullptr;
        int boneCount = 0;
    };
    // The skin controller is a class of the animation library, above this one: it hands its
    // data in through this function (false when the controller has none). Without it the
    // programs skin nothing and the plain path draws.
    using SkinDataSource = bool (*)(Controller* controller, SkinData& data);
    static void SetSkinDataSource(SkinDataSource source);

    struct View {
        Matrix4 view;
        Matrix4 projection;
        Matrix4 viewProjection;
        Vector3 position;
    };

    // False without a camera.
    static bool GetView(Renderer& renderer, View& view);
    // The geometry's world transform as a matrix; the identity without geometry.
    static Matrix4 World(const GeometryNodeEffect& effect);
    // Vertex registers from first on.
    static void SetVertex(Renderer& renderer, int first, const Vector4& value);
    static void SetVertexMatrix(Renderer& renderer, int first, const Matrix4& matrix);
    static void SetPixel(Renderer& renderer, int first, const Vector4& value);
    // Fog density (0 while fog is off, so the programs leave colours alone), fog exponent, sway
    // amplitude and frequency.
    static Vector4 FogAndSway(const GeometryNodeEffect& effect);
    static Vector4 SwayRegister(const GeometryNodeEffect& effect);
    // Skinned draw: bind-pose positions, weights and indices, c0..c7 the camera's view-projection
    // and view, the bones from c8. False (nothing set) without a usable skin controller.
    static bool SetSkinned(Renderer& renderer, const GeometryNodeEffect& effect, const View& view);
    // Plain draw: the geometry's positions, c0..c3 world x view-projection, c4..c7 world x view.
    static void SetPlain(Renderer& renderer, const GeometryNodeEffect& effect, const View& view);
    // Fixed-function draw: projection, view and world matrices.
    static void SetFixedMatrices(Renderer& renderer, const GeometryNodeEffect& effect);
    // Gives the shader the program's texts of every language and level and makes the one of the
    // renderer's language and level current (the vertex or pixel level, by the program's kind);
    // without such a text the shader has no program and binds nothing.
    static void SelectText(Shader* shader, const Renderer* renderer, ShaderPrograms::Program program);
    // Point x matrix with w = 1, and the inverse of the world transform applied to a point.
    static Vector3 ToObjectSpace(const GeometryNodeEffect& effect, const Vector3& point);
    // The clip-space corners of the screen as two triangles: six positions and the indices 0..5.
    // Without memory for its buffers the node has none.
    static Pointer<Triangles> MakeScreenQuad();
};

} // namespace nuv
