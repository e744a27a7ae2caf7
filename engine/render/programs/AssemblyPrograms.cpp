#include "render/programs/AssemblyPrograms.h"

#include "render/programs/ShaderPrograms.h"

// Pieces that several programs share, spliced into their texts as adjacent literals:
// - TRANSFORM: d = s x (rows a, b, c, e), for row vectors.
// - FOG: 1 / e^((density x view depth)^exponent) into oFog, the exponent clamped by lit; the
//   view depth is the third column of the world-view rows c4..c7, the parameters prm.x, prm.y.
// - SWAY: x and z displaced in proportion to the height (y = 0 stays put) by the odd polynomial
//   of the sine after reduction to -pi..pi; amplitude, frequency and time in s.x, s.y, s.z.
// - SKIN: bones from c8, four registers each; the first bone always counts, the others only with
//   a positive weight, and an index that is no bone (outside 0..49) adds nothing.
// Constant registers that the effects never write hold the literals: c92..c95 in the vs_1_1
// texts (a vs_1_1 device has 96), c249..c254 in the vs_2_0 texts (the bones reach c207).
#define NUV_ASM_TRANSFORM(d, s, a, b, c, e)        \
    "mul " d ", " s ".x, " a "\n"                 \
    "mad " d ", " s ".y, " b ", " d "\n"          \
    "mad " d ", " s ".z, " c ", " d "\n"          \
    "mad " d ", " s ".w, " e ", " d "\n"

#define NUV_ASM_FOG(p, prm, k)                                   \
    NUV_ASM_TRANSFORM("r9", p, "c4", "c5", "c6", "c7")           \
    "mov r10, " k ".y\n"                                         \
    "mul r10.y, r9.z, " prm ".x\n"                               \
    "mov r10.x, " k ".x\n"                                       \
    "mov r10.w, " prm ".y\n"                                     \
    "lit r11, r10\n"                                             \
    "mul r11.z, r11.z, " k ".z\n"                                \
    "exp r11.x, r11.z\n"                                         \
    "mov oFog, r11.x\n"

#define NUV_ASM_SWAY(p, s, dst, ka, kb, kc, k)                   \
    "mov r5, " s "\n"                                            \
    "mul r5.w, r5.y, r5.z\n"                                     \
    "mov r6, " p "\n"                                            \
    "mov r7, " k ".y\n"                                          \
    "mul r7.x, r6.x, " ka ".x\n"                                 \
    "mad r7.x, r6.z, " ka ".y, r7.x\n"                           \
    "add r7.x, r7.x, r5.w\n"                                     \
    "mul r7.y, r5.w, " ka ".z\n"                                 \
    "mad r7.y, r6.y, " ka ".w, r7.y\n"                           \
    "mad r7.y, r6.z, " kb ".x, r7.y\n"                           \
    "mov r8, " kb "\n"                                           \
    "mad r7.xy, r7.xy, r8.y, r8.z\n"                             \
    "frc r7.xy, r7.xy\n"                                         \
    "add r7.xy, r7.xy, -r8.z\n"                                  \
    "mul r7.xy, r7.xy, r8.w\n"                                   \
    "mul r8.xy, r7.xy, r7.xy\n"                                  \
    "mov r9, " kc "\n"                                           \
    "mov r10, " k ".y\n"                                         \
    "mad r10.xy, r8.xy, r9.w, r9.z\n"                            \
    "mad r10.xy, r8.xy, r10.xy, r9.y\n"                          \
    "mad r10.xy, r8.xy, r10.xy, r9.x\n"                          \
    "mad r10.xy, r8.xy, r10.xy, " k ".x\n"                       \
    "mul r10.xy, r10.xy, r7.xy\n"                                \
    "mul r10.xy, r10.xy, r5.x\n"                                 \
    "mul r10.xy, r10.xy, r6.y\n"                                 \
    "mov " dst ", r6\n"                                          \
    "add " dst ".x, r6.x, r10.x\n"                               \
    "add " dst ".z, r6.z, r10.y\n"

#define NUV_ASM_BONE(src, dst, j)                                \
    "mova a0.x, r1." j "\n"                                      \
    "mul r3, " src ".x, c8[a0.x]\n"                              \
    "mad r3, " src ".y, c9[a0.x], r3\n"                          \
    "mad r3, " src ".z, c10[a0.x], r3\n"                         \
    "mad r3, " src ".w, c11[a0.x], r3\n"                         \
    "mad " dst ", r3, r2." j ", " dst "\n"

// Weights in v3, indices in v4.
#define NUV_ASM_SKIN(src, dst)                                   \
    "mov r5, c254\n"                                             \
    "sge r1, v4, r5.x\n"                                         \
    "slt r2, v4, r5.y\n"                                         \
    "mul r1, r1, r2\n"                                           \
    "slt r2, r5.x, v3\n"                                         \
    "mov r2.x, c253.x\n"                                         \
    "mul r1, r1, r2\n"                                           \
    "mul r2, v3, r1\n"                                           \
    "max r1, v4, r5.x\n"                                         \
    "min r1, r1, r5.z\n"                                         \
    "mul r1, r1, r5.w\n"                                         \
    "mov " dst ", c253.y\n"                                      \
    NUV_ASM_BONE(src, dst, "x") NUV_ASM_BONE(src, dst, "y")      \
    NUV_ASM_BONE(src, dst, "z") NUV_ASM_BONE(src, dst, "w")

#define NUV_ASM_DEFS11                                           \
    "def c95, 1, 0, -1.442695, 4\n"                              \
    "def c94, 0.5077, -0.421, 1.31415, 0.3\n"                    \
    "def c93, -0.6, 0.15915494, 0.5, 6.2831853\n"                \
    "def c92, -0.16666667, 0.0083333333, -0.0001984127, 0.0000027557319\n"

#define NUV_ASM_DEFS20                                           \
    "def c253, 1, 0, -1.442695, 4\n"                             \
    "def c252, 0.5077, -0.421, 1.31415, 0.3\n"                   \
    "def c251, -0.6, 0.15915494, 0.5, 6.2831853\n"               \
    "def c250, -0.16666667, 0.0083333333, -0.0001984127, 0.0000027557319\n" \
    "def c254, 0, 50, 49, 4\n"                                   \
    "def c249, 0.5, -0.5, 1, 0\n"

namespace nuv {

namespace {

// --- Vertex programs of the geometry effects: colour c8 (skinned c208), fog c9 (skinned c209).

const char* const kPlainVertex =
    "vs_1_1\n" NUV_ASM_DEFS11
    "dcl_position v0\n"
    "dcl_texcoord0 v1\n"
    "dcl_texcoord1 v2\n"
    NUV_ASM_TRANSFORM("r0", "v0", "c0", "c1", "c2", "c3")
    "mov oPos, r0\n"
    "mov oD0, c8\n"
    "mov oT0, v1\n"
    "mov oT1, v2\n"
    NUV_ASM_FOG("v0", "c9", "c95");

const char* const kSwayVertex =
    "vs_1_1\n" NUV_ASM_DEFS11
    "dcl_position v0\n"
    "dcl_texcoord0 v1\n"
    "dcl_texcoord1 v2\n"
    NUV_ASM_SWAY("v0", "c10", "r4", "c94", "c93", "c92", "c95")
    NUV_ASM_TRANSFORM("r0", "r4", "c0", "c1", "c2", "c3")
    "mov oPos, r0\n"
    "mov oD0, c8\n"
    "mov oT0, v1\n"
    "mov oT1, v2\n"
    NUV_ASM_FOG("v0", "c9", "c95");

const char* const kSkinnedVertex =
    "vs_2_0\n" NUV_ASM_DEFS20
    "dcl_position v0\n"
    "dcl_texcoord0 v1\n"
    "dcl_texcoord1 v2\n"
    "dcl_blendweight v3\n"
    "dcl_blendindices v4\n"
    NUV_ASM_SKIN("v0", "r4")
    "mov r4.w, c253.x\n"
    NUV_ASM_TRANSFORM("r0", "r4", "c0", "c1", "c2", "c3")
    "mov oPos, r0\n"
    "mov oD0, c208\n"
    "mov oT0, v1\n"
    "mov oT1, v2\n"
    NUV_ASM_FOG("r4", "c209", "c253");

// Water: t2 the clip x, y, w for the projective lookup, t3 and t4 the two scrolled normal-map
// coordinates, t5 the eye vector; camera in local space c9, scale and ripple c10, fog c11.
#define NUV_ASM_WATER_VERTEX                                     \
    "dcl_position v0\n"                                          \
    "dcl_texcoord0 v1\n"                                         \
    "dcl_texcoord1 v2\n"                                         \
    NUV_ASM_TRANSFORM("r0", "v0", "c0", "c1", "c2", "c3")        \
    "mov oPos, r0\n"                                             \
    "mov oT2.xyz, r0.xyww\n"                                     \
    "mul r1.xy, v2, c10\n"                                       \
    "mov r3, c10\n"                                              \
    "mov r3.w, -r3.w\n"                                          \
    "mov r2, r3.zwzw\n"                                          \
    "add oT3.xy, r1, r2\n"                                       \
    "sub oT4.xy, r1, r2\n"                                       \
    "add oT5.xyz, v0, -c9\n"                                     \
    "mov oD0, c8\n"                                              \
    NUV_ASM_FOG("v0", "c11", "c253")

const char* const kWaterVertex = "vs_2_0\n" NUV_ASM_DEFS20 NUV_ASM_WATER_VERTEX;

const char* const kIceVertex = "vs_2_0\n" NUV_ASM_DEFS20 NUV_ASM_WATER_VERTEX "mov oT0, v1\n";

// Snow: noise coordinates in t1, the view vector in t2; glitter scale c9.x, fog c10.
const char* const kSnowVertex =
    "vs_2_0\n" NUV_ASM_DEFS20
    "dcl_position v0\n"
    "dcl_texcoord0 v1\n"
    NUV_ASM_TRANSFORM("r0", "v0", "c0", "c1", "c2", "c3")
    "mov oPos, r0\n"
    "mov oD0, c8\n"
    "mov oT0, v1\n"
    "mul oT1.xyz, v0, c9.x\n"
    NUV_ASM_TRANSFORM("r1", "v0", "c4", "c5", "c6", "c7")
    "mov oT2.xyz, -r1\n"
    NUV_ASM_FOG("v0", "c10", "c253");

// Per-pixel lighting: t1 the position, t2 the normal, t3 the eye vector (camera c8, skinned c208).
#define NUV_ASM_LIT_OUT(p, camera)                               \
    NUV_ASM_TRANSFORM("r0", p, "c0", "c1", "c2", "c3")           \
    "mov oPos, r0\n"                                             \
    "mov oD0, c253.x\n"                                          \
    "mov oT0, v1\n"                                              \
    "mov oT1.xyz, " p "\n"                                       \
    "add oT3.xyz, " camera ", -" p "\n"

const char* const kLitPlainVertex =
    "vs_2_0\n" NUV_ASM_DEFS20
    "dcl_position v0\n"
    "dcl_texcoord0 v1\n"
    "dcl_normal v5\n"
    NUV_ASM_LIT_OUT("v0", "c8")
    "mov oT2.xyz, v5\n"
    NUV_ASM_FOG("v0", "c9", "c253");

const char* const kLitSwayVertex =
    "vs_2_0\n" NUV_ASM_DEFS20
    "dcl_position v0\n"
    "dcl_texcoord0 v1\n"
    "dcl_normal v5\n"
    NUV_ASM_SWAY("v0", "c10", "r4", "c252", "c251", "c250", "c253")
    NUV_ASM_LIT_OUT("r4", "c8")
    "mov oT2.xyz, v5\n"
    NUV_ASM_FOG("v0", "c9", "c253");

const char* const kLitSkinnedVertex =
    "vs_2_0\n" NUV_ASM_DEFS20
    "dcl_position v0\n"
    "dcl_texcoord0 v1\n"
    "dcl_blendweight v3\n"
    "dcl_blendindices v4\n"
    "dcl_normal v5\n"
    NUV_ASM_SKIN("v0", "r4")
    "mov r4.w, c253.x\n"
    // With w = 0 the normal goes through the bones without their translation.
    "mov r6, v5\n"
    "mov r6.w, c253.y\n"
    NUV_ASM_SKIN("r6", "r7")
    NUV_ASM_LIT_OUT("r4", "c208")
    "mov oT2.xyz, r7\n"
    NUV_ASM_FOG("r4", "c209", "c253");

// --- Pixel programs of the geometry effects (fog is blended after them by the device).

const char* const kColorPixel =
    "ps_1_1\n"
    "mov r0, v0\n";

const char* const kTexturePixel =
    "ps_1_1\n"
    "tex t0\n"
    "mul r0, t0, v0\n";

const char* const kLightmapPixel =
    "ps_1_1\n"
    "tex t0\n"
    "tex t1\n"
    "mul r0, t0, v0\n"
    "mul r0, r0, t1\n";

// The difference of two scrolled layers of one normal map (scaled by the distortion c0.x)
// shifts the projective lookup into the reflection; the alpha grows towards grazing views.
#define NUV_ASM_WATER_PIXEL(normals, reflection, out)            \
    "texld r0, t3, " normals "\n"                                \
    "texld r1, t4, " normals "\n"                                \
    "sub r0, r0, r1\n"                                           \
    "mul r0, r0, c0.x\n"                                         \
    "rcp r2.w, t2.z\n"                                           \
    "mul r2, t2, r2.w\n"                                         \
    "mad r2, r2, c31, c30\n"                                     \
    "mov r3, c31.z\n"                                            \
    "mov r3.x, r0.x\n"                                           \
    "mov r3.y, r0.z\n"                                           \
    "add r2, r2, r3\n"                                           \
    "texld r4, r2, " reflection "\n"                             \
    "dp3 r5.w, t5, t5\n"                                         \
    "rsq r5.w, r5.w\n"                                           \
    "mul r5.xyz, t5, r5.w\n"                                     \
    "dp3_sat r6.x, r0, r5\n"                                     \
    "mul r6.x, r6.x, r6.x\n"                                     \
    "add " out ".xyz, r4, r6.x\n"                                \
    "mul " out ".w, r5.x, r5.x\n"                                \
    "mad " out ".w, r5.z, r5.z, " out ".w\n"                     \
    "mul " out ", " out ", v0\n"

#define NUV_ASM_WATER_DCL                                        \
    "def c31, 0.5, -0.5, 0, 0\n"                                 \
    "def c30, 0.5, 0.5, 0, 0\n"                                  \
    "dcl v0\n"                                                   \
    "dcl t2.xyz\n"                                               \
    "dcl t3.xy\n"                                                \
    "dcl t4.xy\n"                                                \
    "dcl t5.xyz\n"

const char* const kWaterPixel =
    "ps_2_0\n" NUV_ASM_WATER_DCL
    "dcl_2d s0\n"
    "dcl_2d s1\n"
    NUV_ASM_WATER_PIXEL("s0", "s1", "r7")
    "mov oC0, r7\n";

const char* const kIcePixel =
    "ps_2_0\n" NUV_ASM_WATER_DCL
    "dcl t0.xy\n"
    "dcl_2d s0\n"
    "dcl_2d s1\n"
    "dcl_2d s2\n"
    NUV_ASM_WATER_PIXEL("s1", "s2", "r7")
    "texld r8, t0, s0\n"
    "lrp r9, r8.w, r7, r8\n"
    "mov oC0, r9\n";

// Glitter: where the noise's fraction pattern comes close to whole numbers, a spark of the
// pass's specular colour c0 with strength c1.x.
const char* const kSnowPixel =
    "ps_2_0\n"
    "def c31, 0.1, 10, 0.2, 0.05\n"
    "def c30, 1, -7, 0, 0\n"
    "dcl v0\n"
    "dcl t0.xy\n"
    "dcl t1.xyz\n"
    "dcl t2.xyz\n"
    "dcl_2d s0\n"
    "dcl_volume s1\n"
    "texld r0, t1, s1\n"
    "mul r0, r0, c31.x\n"
    "mad r1.xyz, r0.w, c31.y, t1\n"
    "mad r1.xyz, t2, c31.z, r1\n"
    "frc r1.xyz, r1\n"
    "sub r2.xyz, c30.x, r1\n"
    "mul r2.xyz, r1, r2\n"
    "mad r2.xyz, r0.w, c31.w, r2\n"
    "dp3 r3.x, r2, c30.x\n"
    "mad_sat r3.x, r3.x, c30.y, c30.x\n"
    "mul_sat r3.x, r3.x, c1.x\n"
    "mul r4.xyz, r3.x, c0\n"
    "mov r4.w, c30.z\n"
    "texld r5, t0, s0\n"
    "mul r5, r5, v0\n"
    "add r5, r5, r4\n"
    "mov oC0, r5\n";

// Blinn-Phong with the light direction l in r1 and the attenuation in r2.z: material ambient,
// diffuse, specular c0..c2, power c3.x, light colours c4..c6.
#define NUV_ASM_LIT_PIXEL                                        \
    "dp3 r3.w, t3, t3\n"                                         \
    "rsq r3.w, r3.w\n"                                           \
    "mul r3.xyz, t3, r3.w\n"                                     \
    "add r4.xyz, r3, r1\n"                                       \
    "dp3 r4.w, r4, r4\n"                                         \
    "rsq r4.w, r4.w\n"                                           \
    "mul r4.xyz, r4, r4.w\n"                                     \
    "dp3 r5.w, t2, t2\n"                                         \
    "rsq r5.w, r5.w\n"                                           \
    "mul r5.xyz, t2, r5.w\n"                                     \
    "dp3 r6.x, r5, r1\n"                                         \
    "max r6.x, r6.x, c31.z\n"                                    \
    "dp3 r6.y, r5, r4\n"                                         \
    "max r6.y, r6.y, c31.z\n"                                    \
    "pow r6.z, r6.y, c3.x\n"                                     \
    "cmp r6.z, -r6.x, c31.z, r6.z\n"                             \
    "texld r7, t0, s0\n"                                         \
    "mov r9, c1\n"                                               \
    "mul r8, r9, c5\n"                                           \
    "mul r8, r8, r6.x\n"                                         \
    "mul r8, r8, r2.z\n"                                         \
    "mov r9, c0\n"                                               \
    "mad r8, r9, c4, r8\n"                                       \
    "mul r8, r7, r8\n"                                           \
    "mov r10, c2\n"                                              \
    "mul r9, r10, c6\n"                                          \
    "mul r9, r9, r6.z\n"                                         \
    "mul r9, r9, r2.z\n"                                         \
    "add r8, r8, r9\n"                                           \
    "mov oC0, r8\n"

#define NUV_ASM_LIT_DCL                                          \
    "def c31, 0.000001, 1, 0, 0\n"                               \
    "dcl t0.xy\n"                                                \
    "dcl t1.xyz\n"                                               \
    "dcl t2.xyz\n"                                               \
    "dcl t3.xyz\n"                                               \
    "dcl_2d s0\n"

// Point light at c7, attenuation factors in c8.
const char* const kPointLightPixel =
    "ps_2_0\n" NUV_ASM_LIT_DCL
    "sub r0.xyz, c7, t1\n"
    "dp3 r0.w, r0, r0\n"
    "rsq r1.w, r0.w\n"
    "mul r1.xyz, r0, r1.w\n"
    "rcp r2.x, r1.w\n"
    "mov r10, c8\n"
    "mad r2.y, r10.y, r2.x, r10.x\n"
    "mad r2.y, r10.z, r0.w, r2.y\n"
    "max r2.y, r2.y, c31.x\n"
    "rcp r2.z, r2.y\n"
    NUV_ASM_LIT_PIXEL;

// Directional light along c7, no attenuation.
const char* const kDirectionalLightPixel =
    "ps_2_0\n" NUV_ASM_LIT_DCL
    "mov r0, c7\n"
    "dp3 r0.w, r0, r0\n"
    "rsq r0.w, r0.w\n"
    "mul r1.xyz, r0, r0.w\n"
    "mov r2, c31.y\n"
    NUV_ASM_LIT_PIXEL;

// --- Shadow receivers: projective shadow coordinates in t0, colour in oD0.

const char* const kShadowVertex =
    "vs_2_0\n" NUV_ASM_DEFS20
    "dcl_position v0\n"
    NUV_ASM_TRANSFORM("r0", "v0", "c0", "c1", "c2", "c3")
    "mov oPos, r0\n"
    NUV_ASM_TRANSFORM("r1", "v0", "c4", "c5", "c6", "c7")
    "mov oT0, r1\n"
    "mov oD0, c8\n";

// The same displacement as the sway program (parameters in c9), so the darkened pixels are the
// drawn ones; the shadow is of the rest pose.
const char* const kShadowSwayVertex =
    "vs_2_0\n" NUV_ASM_DEFS20
    "dcl_position v0\n"
    NUV_ASM_SWAY("v0", "c9", "r4", "c252", "c251", "c250", "c253")
    NUV_ASM_TRANSFORM("r0", "r4", "c0", "c1", "c2", "c3")
    "mov oPos, r0\n"
    NUV_ASM_TRANSFORM("r1", "v0", "c4", "c5", "c6", "c7")
    "mov oT0, r1\n"
    "mov oD0, c8\n";

// Bones from c8 as everywhere else; the shadow matrix follows the last bone at c208..c211 and
// the colour at c212 (the layout of the other language's text, kept for both).
const char* const kShadowSkinnedVertex =
    "vs_2_0\n" NUV_ASM_DEFS20
    "dcl_position v0\n"
    "dcl_blendweight v3\n"
    "dcl_blendindices v4\n"
    NUV_ASM_SKIN("v0", "r4")
    "mov r4.w, c253.x\n"
    NUV_ASM_TRANSFORM("r0", "r4", "c0", "c1", "c2", "c3")
    "mov oPos, r0\n"
    NUV_ASM_TRANSFORM("r1", "r4", "c208", "c209", "c210", "c211")
    "mov oT0, r1\n"
    "mov oD0, c212\n";

// A lookup into the depth map is its comparison: 1 where lit, 0 where shadowed.
const char* const kShadowPixel =
    "ps_2_0\n"
    "def c31, 1, 0, 0, 0\n"
    "dcl v0\n"
    "dcl t0\n"
    "dcl_2d s0\n"
    "texldp r0, t0, s0\n"
    "sub r1, c31.x, r0.x\n"
    "mul r1, v0, r1.x\n"
    "mov oC0, r1\n";

const char* const kShadowFilteredPixel =
    "ps_2_0\n"
    "def c31, 1, -0.2, 0, 0\n"
    "dcl v0\n"
    "dcl t0\n"
    "dcl_2d s0\n"
    "mov r1, c31.z\n"
    "mov r11, c0\n"
    "mul r1.xy, r11, t0.w\n"
    "mov r6, r1\n"
    "mov r6.y, -r1.y\n"
    "texldp r2, t0, s0\n"
    "add r3, t0, r1\n"
    "texldp r4, r3, s0\n"
    "sub r3, t0, r1\n"
    "texldp r5, r3, s0\n"
    "add r3, t0, r6\n"
    "texldp r7, r3, s0\n"
    "sub r3, t0, r6\n"
    "texldp r8, r3, s0\n"
    "add r9.x, r2.x, r4.x\n"
    "add r9.x, r9.x, r5.x\n"
    "add r9.x, r9.x, r7.x\n"
    "add r9.x, r9.x, r8.x\n"
    "mad r9.x, r9.x, c31.y, c31.x\n"
    "mul r10, v0, r9.x\n"
    "mov oC0, r10\n";

// --- The glow's screen quad: the clip position kept; uv aligned so that texels meet pixels
// (the half-texel shift of c0); the step c0 in t1.

const char* const kScreenQuadVertex =
    "vs_2_0\n" NUV_ASM_DEFS20
    "dcl_position v0\n"
    "mov r0, v0\n"
    "mov r0.z, c253.y\n"
    "mov r0.w, c253.x\n"
    "mov oPos, r0\n"
    "mov r2, v0\n"
    "mov r2.y, -r2.y\n"
    "sub r1, r2, c0\n"
    "add r1, r1, c249.z\n"
    "mov r3, c253.y\n"
    "mul r3.xy, r1, c249.x\n"
    "mov oT0, r3\n"
    "mov r4, c253.y\n"
    "mov r4.xy, c0\n"
    "mov oT1, r4\n";

const char* const kDownsamplePixel =
    "ps_2_0\n"
    "def c31, 0.2, 0, 0, 0\n"
    "dcl t0\n"
    "dcl t1\n"
    "dcl_2d s0\n"
    "mov r2, c31.y\n"
    "mov r2.x, t1.x\n"
    "mov r3, c31.y\n"
    "mov r3.y, t1.y\n"
    "add r4, t0, r2\n"
    "sub r5, t0, r2\n"
    "add r6, t0, r3\n"
    "sub r7, t0, r3\n"
    "texld r8, t0, s0\n"
    "texld r4, r4, s0\n"
    "texld r5, r5, s0\n"
    "texld r6, r6, s0\n"
    "texld r7, r7, s0\n"
    "add r8, r8, r4\n"
    "add r8, r8, r5\n"
    "add r8, r8, r6\n"
    "add r8, r8, r7\n"
    "mul r8, r8, c31.x\n"
    "mov oC0, r8\n";

// Weights 2/17, 4/17, 5/17, 4/17, 2/17 along the step.
const char* const kBlurPixel =
    "ps_2_0\n"
    "def c31, 0.117647, 0.235294, 0.294118, 2\n"
    "dcl t0\n"
    "dcl t1\n"
    "dcl_2d s0\n"
    "mul r2, t1, c31.w\n"
    "sub r3, t0, r2\n"
    "sub r4, t0, t1\n"
    "add r5, t0, t1\n"
    "add r6, t0, r2\n"
    "texld r0, t0, s0\n"
    "texld r3, r3, s0\n"
    "texld r4, r4, s0\n"
    "texld r5, r5, s0\n"
    "texld r6, r6, s0\n"
    "mul r8, r3, c31.x\n"
    "mad r8, r4, c31.y, r8\n"
    "mad r8, r0, c31.z, r8\n"
    "mad r8, r5, c31.y, r8\n"
    "mad r8, r6, c31.x, r8\n"
    "mov oC0, r8\n";

const char* const kCompositePixel =
    "ps_2_0\n"
    "dcl t0\n"
    "dcl_2d s0\n"
    "dcl_2d s1\n"
    "texld r0, t0, s0\n"
    "texld r1, t0, s1\n"
    "mad r0, r1, c0.x, r0\n"
    "mov oC0, r0\n";

// Per program, its texts at levels 0, 1 and 2.
struct Levels {
    const char* const* text[3];
};

} // namespace

const char* AssemblyPrograms::Text(int program, int level) {
    using P = ShaderPrograms;
    // In the order of ShaderPrograms::Program. A 1.x text serves the higher levels too; at
    // level 0 the skinned draw is the plain one (the CPU skins).
    static const Levels kTable[] = {
        {{&kPlainVertex, &kPlainVertex, &kPlainVertex}},
        {{&kSwayVertex, &kSwayVertex, &kSwayVertex}},
        {{&kPlainVertex, &kSkinnedVertex, &kSkinnedVertex}},
        {{nullptr, &kWaterVertex, &kWaterVertex}},
        {{nullptr, &kIceVertex, &kIceVertex}},
        {{nullptr, &kSnowVertex, &kSnowVertex}},
        {{nullptr, &kLitPlainVertex, &kLitPlainVertex}},
        {{nullptr, &kLitSwayVertex, &kLitSwayVertex}},
        {{nullptr, &kLitSkinnedVertex, &kLitSkinnedVertex}},
        {{&kColorPixel, &kColorPixel, &kColorPixel}},
        {{&kTexturePixel, &kTexturePixel, &kTexturePixel}},
        {{&kLightmapPixel, &kLightmapPixel, &kLightmapPixel}},
        {{nullptr, &kWaterPixel, &kWaterPixel}},
        {{nullptr, &kIcePixel, &kIcePixel}},
        {{nullptr, &kSnowPixel, &kSnowPixel}},
        {{nullptr, &kPointLightPixel, &kPointLightPixel}},
        {{nullptr, &kDirectionalLightPixel, &kDirectionalLightPixel}},
        {{nullptr, &kShadowVertex, &kShadowVertex}},
        {{nullptr, &kShadowSwayVertex, &kShadowSwayVertex}},
        {{nullptr, &kShadowSkinnedVertex, &kShadowSkinnedVertex}},
        {{nullptr, &kShadowPixel, &kShadowPixel}},
        {{nullptr, &kShadowFilteredPixel, &kShadowFilteredPixel}},
        {{nullptr, &kScreenQuadVertex, &kScreenQuadVertex}},
        {{nullptr, &kDownsamplePixel, &kDownsamplePixel}},
        {{nullptr, &kBlurPixel, &kBlurPixel}},
        {{nullptr, &kCompositePixel, &kCompositePixel}},
    };
    static_assert(sizeof(kTable) / sizeof(kTable[0]) == P::kProgramCount, "one row of texts per program");
    if (program < 0 || program >= P::kProgramCount || level < 0 || level >= P::kLevelCount) return nullptr;
    const char* const* text = kTable[program].text[level];
    return text ? *text : nullptr;
}

} // namespace nuv
