#pragma once

namespace nuv {

// The GLSL texts of the geometry effects, one per program (the OpenGL renderer reports one level
// for each kind, and every level shares these texts). They keep the register convention of the
// assembly programs: uniform vec4 vc[256] and pc[32], sampler sN on texture unit N.
class GlslPrograms {
public:
    // The text of a program named by ShaderPrograms; null out of range.
    static const char* Text(int program);

    // Vertex programs.
    static const char* const kPlainVertex;       // c0..c3 transform, colour c8, fog c9
    static const char* const kSwayVertex;        // as plain, displaced by the sway of c10
    static const char* const kSkinnedVertex;     // bones from c8, colour c208, fog c209
    static const char* const kWaterVertex;       // projective lookup, two scrolled normal layers
    static const char* const kIceVertex;         // as water, with the base texture's coordinates
    static const char* const kSnowVertex;        // noise coordinates and view vector
    static const char* const kLitPlainVertex;    // object-space position, normal and eye vector
    static const char* const kLitSwayVertex;
    static const char* const kLitSkinnedVertex;  // world-space, eye from c208

    // Pixel programs.
    static const char* const kColorPixel;
    static const char* const kTexturePixel;
    static const char* const kLightmapPixel;
    static const char* const kWaterPixel;
    static const char* const kIcePixel;
    static const char* const kSnowPixel;
    static const char* const kPointLightPixel;
    static const char* const kDirectionalLightPixel;

    // Shadow receivers: position by c0..c3, projective shadow coordinates, colour c8.
    static const char* const kShadowVertex;          // shadow coordinates by c4..c7
    static const char* const kShadowSwayVertex;      // displaced by the sway of c9, shadow of the rest pose
    static const char* const kShadowSkinnedVertex;   // bones from c8, shadow matrix c208, colour c212
    static const char* const kShadowPixel;           // one comparison
    static const char* const kShadowFilteredPixel;   // five comparisons, offsets pc[0].xy

    // Screen-quad programs of the glow: the quad's clip corners, texel offsets in c0.
    static const char* const kScreenQuadVertex;
    static const char* const kDownsamplePixel;
    static const char* const kBlurPixel;
    static const char* const kCompositePixel;       // screen s0 + glow s1 x pc[0].x
};

} // namespace nuv
