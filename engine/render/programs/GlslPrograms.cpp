#include "render/programs/GlslPrograms.h"

#include "render/programs/ShaderPrograms.h"

// GLSL 1.20 has no include: the helpers that programs share are spliced into their texts as
// adjacent string literals, so each program is still one whole text:
// - Transform4: registers r..r+3 hold matrix rows for row vectors.
// - ToGl: our clip depth runs 0..1 where GL's runs -1..1, and targets are drawn upside down
//   (the renderer flips their projection, whose sign tells the program which case it is in).
// - PolySin: the odd polynomial of the vs_1_1 sine after reduction to -pi..pi, so sway deviates
//   from the exact sine as little as the original programs did; Sway displaces x and z in
//   proportion to the height, so the ground (y = 0) stays put.
// - Skin: bones from c8, four registers each; as on the CPU the first bone always counts, the
//   others only with a positive weight, and an index that is no bone adds nothing.
// - Water: the difference of two scrolled layers of one normal map distorts the projective
//   lookup into the reflection; it vanishes when both layers sit on the same coordinates.
#define NUV_GLSL_TRANSFORM \
    "vec4 Transform4(vec4 p, int r) {\n" \
    "    return p.x * vc[r] + p.y * vc[r + 1] + p.z * vc[r + 2] + p.w * vc[r + 3];\n" \
    "}\n" \
    "vec4 ToGl(vec4 c) {\n" \
    "    float flip = gl_ProjectionMatrix[1][1] < 0.0 ? -1.0 : 1.0;\n" \
    "    return vec4(c.x, c.y * flip, 2.0 * c.z - c.w, c.w);\n" \
    "}\n"

#define NUV_GLSL_FOG \
    "// 1 / e^((density * view depth)^exponent), the exponent clamped as lit clamps it.\n" \
    "float Fog(vec4 p, int viewRow, vec4 params) {\n" \
    "    float depth = Transform4(p, viewRow).z;\n" \
    "    float d = max(params.x * depth, 0.0);\n" \
    "    return 1.0 / exp(pow(d, clamp(params.y, -128.0, 128.0)));\n" \
    "}\n"

#define NUV_GLSL_SWAY \
    "float PolySin(float x) {\n" \
    "    x = x - 6.2831853 * floor(x / 6.2831853 + 0.5);\n" \
    "    float x2 = x * x;\n" \
    "    return x * (1.0 + x2 * (-1.6666667e-1 + x2 * (8.3333333e-3 + x2 * (-1.9841270e-4 + x2 * 2.7557319e-6))));\n" \
    "}\n" \
    "// Displaced along x and z in proportion to the height, so the ground (y = 0) stays put.\n" \
    "vec4 Sway(vec4 p) {\n" \
    "    vec4 s = vc[10];\n" \
    "    float dx = s.x * PolySin(0.5077 * p.x + s.y * s.z - 0.421 * p.z);\n" \
    "    float dz = s.x * PolySin(1.31415 * s.y * s.z + 0.3 * p.y - 0.6 * p.z);\n" \
    "    return vec4(p.x + dx * p.y, p.y, p.z + dz * p.y, p.w);\n" \
    "}\n"

#define NUV_GLSL_SKIN \
    "attribute vec4 nuvBlendWeights;\n" \
    "attribute vec4 nuvBlendIndices;\n" \
    "vec4 Skin(vec4 p) {\n" \
    "    vec4 r = vec4(0.0);\n" \
    "    for (int j = 0; j < 4; ++j) {\n" \
    "        float w = nuvBlendWeights[j];\n" \
    "        int b = int(nuvBlendIndices[j]);\n" \
    "        if ((j == 0 || w > 0.0) && b >= 0 && b < 50) r += w * Transform4(p, 8 + 4 * b);\n" \
    "    }\n" \
    "    return vec4(r.xyz, 1.0);\n" \
    "}\n"

#define NUV_GLSL_FOGGED \
    "vec4 Fogged(vec4 c) {\n" \
    "    return vec4(mix(gl_Fog.color.rgb, c.rgb, clamp(nuvFog, 0.0, 1.0)), c.a);\n" \
    "}\n"

#define NUV_GLSL_WATER \
    "varying vec3 nuvScreen;\n" \
    "varying vec2 nuvUvA;\n" \
    "varying vec2 nuvUvB;\n" \
    "varying vec3 nuvEye;\n" \
    "vec4 Water(sampler2D normals, sampler2D reflection) {\n" \
    "    vec3 n = (texture2D(normals, nuvUvA).xyz - texture2D(normals, nuvUvB).xyz) * pc[0].x;\n" \
    "    vec2 screen = nuvScreen.xy / nuvScreen.z * vec2(0.5, -0.5) + n.xz + 0.5;\n" \
    "    vec4 r = texture2D(reflection, screen);\n" \
    "    vec3 e = normalize(nuvEye);\n" \
    "    float f = clamp(dot(n, e), 0.0, 1.0);\n" \
    "    return vec4(r.rgb + f * f, e.x * e.x + e.z * e.z) * gl_Color;\n" \
    "}\n"

namespace nuv {

const char* const GlslPrograms::kPlainVertex = R"(#version 120
uniform vec4 vc[256];
varying float nuvFog;
)" NUV_GLSL_TRANSFORM NUV_GLSL_FOG R"(
void main() {
    vec4 p = gl_Vertex;
    gl_Position = ToGl(Transform4(p, 0));
    gl_FrontColor = vc[8];
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_TexCoord[1] = gl_MultiTexCoord1;
    nuvFog = Fog(p, 4, vc[9]);
}
)";

const char* const GlslPrograms::kSwayVertex = R"(#version 120
uniform vec4 vc[256];
varying float nuvFog;
)" NUV_GLSL_TRANSFORM NUV_GLSL_FOG NUV_GLSL_SWAY R"(
void main() {
    vec4 p = gl_Vertex;
    gl_Position = ToGl(Transform4(Sway(p), 0));
    gl_FrontColor = vc[8];
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_TexCoord[1] = gl_MultiTexCoord1;
    nuvFog = Fog(p, 4, vc[9]);
}
)";

const char* const GlslPrograms::kSkinnedVertex = R"(#version 120
uniform vec4 vc[256];
varying float nuvFog;
)" NUV_GLSL_TRANSFORM NUV_GLSL_FOG NUV_GLSL_SKIN R"(
void main() {
    vec4 p = Skin(gl_Vertex);
    gl_Position = ToGl(Transform4(p, 0));
    gl_FrontColor = vc[208];
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_TexCoord[1] = gl_MultiTexCoord1;
    nuvFog = Fog(p, 4, vc[209]);
}
)";


const char* const GlslPrograms::kWaterVertex = R"(#version 120
uniform vec4 vc[256];
varying float nuvFog;
)" NUV_GLSL_TRANSFORM NUV_GLSL_FOG R"(
varying vec3 nuvScreen;
varying vec2 nuvUvA;
varying vec2 nuvUvB;
varying vec3 nuvEye;
void Water(vec4 p, vec2 normalUv) {
    vec4 c = Transform4(p, 0);
    gl_Position = ToGl(c);
    nuvScreen = c.xyw;
    vec2 uv = normalUv * vc[10].xy;
    nuvUvA = uv + vec2(vc[10].z, -vc[10].w);
    nuvUvB = uv + vec2(-vc[10].z, vc[10].w);
    nuvEye = p.xyz - vc[9].xyz;
    gl_FrontColor = vc[8];
    nuvFog = Fog(p, 4, vc[11]);
}
void main() {
    Water(gl_Vertex, gl_MultiTexCoord1.xy);
}
)";

const char* const GlslPrograms::kIceVertex = R"(#version 120
uniform vec4 vc[256];
varying float nuvFog;
)" NUV_GLSL_TRANSFORM NUV_GLSL_FOG R"(
varying vec3 nuvScreen;
varying vec2 nuvUvA;
varying vec2 nuvUvB;
varying vec3 nuvEye;
void Water(vec4 p, vec2 normalUv) {
    vec4 c = Transform4(p, 0);
    gl_Position = ToGl(c);
    nuvScreen = c.xyw;
    vec2 uv = normalUv * vc[10].xy;
    nuvUvA = uv + vec2(vc[10].z, -vc[10].w);
    nuvUvB = uv + vec2(-vc[10].z, vc[10].w);
    nuvEye = p.xyz - vc[9].xyz;
    gl_FrontColor = vc[8];
    nuvFog = Fog(p, 4, vc[11]);
}
void main() {
    Water(gl_Vertex, gl_MultiTexCoord1.xy);
    gl_TexCoord[0] = gl_MultiTexCoord0;
}
)";

const char* const GlslPrograms::kSnowVertex = R"(#version 120
uniform vec4 vc[256];
varying float nuvFog;
)" NUV_GLSL_TRANSFORM NUV_GLSL_FOG R"(
varying vec3 nuvNoise;
varying vec3 nuvView;
void main() {
    vec4 p = gl_Vertex;
    gl_Position = ToGl(Transform4(p, 0));
    gl_FrontColor = vc[8];
    gl_TexCoord[0] = gl_MultiTexCoord0;
    nuvNoise = p.xyz * vc[9].x;
    nuvView = -Transform4(p, 4).xyz;
    nuvFog = Fog(p, 4, vc[10]);
}
)";


const char* const GlslPrograms::kLitPlainVertex = R"(#version 120
uniform vec4 vc[256];
varying float nuvFog;
)" NUV_GLSL_TRANSFORM NUV_GLSL_FOG R"(
varying vec3 nuvPos;
varying vec3 nuvNormal;
varying vec3 nuvEye;
void main() {
    vec4 p = gl_Vertex;
    gl_Position = ToGl(Transform4(p, 0));
    gl_FrontColor = vec4(1.0);
    gl_TexCoord[0] = gl_MultiTexCoord0;
    nuvPos = p.xyz;
    nuvNormal = gl_Normal;
    nuvEye = vc[8].xyz - p.xyz;
    nuvFog = Fog(p, 4, vc[9]);
}
)";

const char* const GlslPrograms::kLitSwayVertex = R"(#version 120
uniform vec4 vc[256];
varying float nuvFog;
)" NUV_GLSL_TRANSFORM NUV_GLSL_FOG NUV_GLSL_SWAY R"(
varying vec3 nuvPos;
varying vec3 nuvNormal;
varying vec3 nuvEye;
void main() {
    vec4 p = Sway(gl_Vertex);
    gl_Position = ToGl(Transform4(p, 0));
    gl_FrontColor = vec4(1.0);
    gl_TexCoord[0] = gl_MultiTexCoord0;
    nuvPos = p.xyz;
    nuvNormal = gl_Normal;
    nuvEye = vc[8].xyz - p.xyz;
    nuvFog = Fog(gl_Vertex, 4, vc[9]);
}
)";

const char* const GlslPrograms::kLitSkinnedVertex = R"(#version 120
uniform vec4 vc[256];
varying float nuvFog;
)" NUV_GLSL_TRANSFORM NUV_GLSL_FOG NUV_GLSL_SKIN R"(
varying vec3 nuvPos;
varying vec3 nuvNormal;
varying vec3 nuvEye;
void main() {
    vec4 p = Skin(gl_Vertex);
    gl_Position = ToGl(Transform4(p, 0));
    gl_FrontColor = vec4(1.0);
    gl_TexCoord[0] = gl_MultiTexCoord0;
    nuvPos = p.xyz;
    // With w = 0 the normal goes through the bones without their translation.
    nuvNormal = Skin(vec4(gl_Normal, 0.0)).xyz;
    nuvEye = vc[208].xyz - p.xyz;
    nuvFog = Fog(p, 4, vc[209]);
}
)";

const char* const GlslPrograms::kColorPixel = R"(#version 120
uniform vec4 pc[32];
varying float nuvFog;
)" NUV_GLSL_FOGGED R"(
void main() {
    gl_FragColor = Fogged(gl_Color);
}
)";

const char* const GlslPrograms::kTexturePixel = R"(#version 120
uniform vec4 pc[32];
varying float nuvFog;
)" NUV_GLSL_FOGGED R"(
uniform sampler2D s0;
void main() {
    gl_FragColor = Fogged(texture2D(s0, gl_TexCoord[0].xy) * gl_Color);
}
)";

const char* const GlslPrograms::kLightmapPixel = R"(#version 120
uniform vec4 pc[32];
varying float nuvFog;
)" NUV_GLSL_FOGGED R"(
uniform sampler2D s0;
uniform sampler2D s1;
void main() {
    gl_FragColor = Fogged(texture2D(s0, gl_TexCoord[0].xy) * gl_Color * texture2D(s1, gl_TexCoord[1].xy));
}
)";


const char* const GlslPrograms::kWaterPixel = R"(#version 120
uniform vec4 pc[32];
varying float nuvFog;
)" NUV_GLSL_FOGGED NUV_GLSL_WATER R"(
uniform sampler2D s0;
uniform sampler2D s1;
void main() {
    gl_FragColor = Fogged(Water(s0, s1));
}
)";

const char* const GlslPrograms::kIcePixel = R"(#version 120
uniform vec4 pc[32];
varying float nuvFog;
)" NUV_GLSL_FOGGED NUV_GLSL_WATER R"(
uniform sampler2D s0;
uniform sampler2D s1;
uniform sampler2D s2;
void main() {
    vec4 base = texture2D(s0, gl_TexCoord[0].xy);
    gl_FragColor = Fogged(mix(base, Water(s1, s2), base.a));
}
)";

const char* const GlslPrograms::kSnowPixel = R"(#version 120
uniform vec4 pc[32];
varying float nuvFog;
)" NUV_GLSL_FOGGED R"(
uniform sampler2D s0;
uniform sampler3D s1;
varying vec3 nuvNoise;
varying vec3 nuvView;
void main() {
    vec4 n = texture3D(s1, nuvNoise) * 0.1;
    vec3 f = fract(n.w * 10.0 + nuvNoise + nuvView * 0.2);
    float s = dot(f * (1.0 - f) + n.w * 0.05, vec3(1.0));
    vec3 glitter = (clamp(clamp(1.0 - 7.0 * s, 0.0, 1.0) * pc[1].x, 0.0, 1.0) * pc[0]).rgb;
    gl_FragColor = Fogged(texture2D(s0, gl_TexCoord[0].xy) * gl_Color + vec4(glitter, 0.0));
}
)";


const char* const GlslPrograms::kPointLightPixel = R"(#version 120
uniform vec4 pc[32];
varying float nuvFog;
)" NUV_GLSL_FOGGED R"(
uniform sampler2D s0;
varying vec3 nuvPos;
varying vec3 nuvNormal;
varying vec3 nuvEye;
vec4 Lit(vec3 l, float attenuation) {
    vec3 h = normalize(normalize(nuvEye) + l);
    vec3 n = normalize(nuvNormal);
    float diffuse = max(dot(n, l), 0.0);
    float specular = diffuse > 0.0 ? pow(max(dot(n, h), 0.0), pc[3].x) : 0.0;
    vec4 t = texture2D(s0, gl_TexCoord[0].xy);
    return t * (pc[0] * pc[4] + pc[1] * pc[5] * diffuse * attenuation) + pc[2] * pc[6] * specular * attenuation;
}
void main() {
    vec3 toLight = pc[7].xyz - nuvPos;
    float d = length(toLight);
    vec3 l = toLight / max(d, 1e-6);
    float attenuation = 1.0 / max(pc[8].x + pc[8].y * d + pc[8].z * d * d, 1e-6);
    gl_FragColor = Fogged(Lit(l, attenuation));
}
)";

const char* const GlslPrograms::kDirectionalLightPixel = R"(#version 120
uniform vec4 pc[32];
varying float nuvFog;
)" NUV_GLSL_FOGGED R"(
uniform sampler2D s0;
varying vec3 nuvPos;
varying vec3 nuvNormal;
varying vec3 nuvEye;
vec4 Lit(vec3 l, float attenuation) {
    vec3 h = normalize(normalize(nuvEye) + l);
    vec3 n = normalize(nuvNormal);
    float diffuse = max(dot(n, l), 0.0);
    float specular = diffuse > 0.0 ? pow(max(dot(n, h), 0.0), pc[3].x) : 0.0;
    vec4 t = texture2D(s0, gl_TexCoord[0].xy);
    return t * (pc[0] * pc[4] + pc[1] * pc[5] * diffuse * attenuation) + pc[2] * pc[6] * specular * attenuation;
}
void main() {
    gl_FragColor = Fogged(Lit(normalize(pc[7].xyz), 1.0));
}
)";


// Shadow receivers. The coordinates are projective (divided in the lookup); the map was drawn
// into a target, so its rows already run top first like the bias matrix expects.
const char* const GlslPrograms::kShadowVertex = R"(#version 120
uniform vec4 vc[256];
varying vec4 nuvShadow;
)" NUV_GLSL_TRANSFORM R"(
void main() {
    vec4 p = gl_Vertex;
    gl_Position = ToGl(Transform4(p, 0));
    nuvShadow = Transform4(p, 4);
    gl_FrontColor = vc[8];
}
)";

const char* const GlslPrograms::kShadowSwayVertex = R"(#version 120
uniform vec4 vc[256];
varying vec4 nuvShadow;
)" NUV_GLSL_TRANSFORM R"(
float PolySin(float x) {
    x = x - 6.2831853 * floor(x / 6.2831853 + 0.5);
    float x2 = x * x;
    return x * (1.0 + x2 * (-1.6666667e-1 + x2 * (8.3333333e-3 + x2 * (-1.9841270e-4 + x2 * 2.7557319e-6))));
}
// The same displacement as the sway program, so the darkened pixels are the drawn ones.
vec4 Sway(vec4 p) {
    vec4 s = vc[9];
    float dx = s.x * PolySin(0.5077 * p.x + s.y * s.z - 0.421 * p.z);
    float dz = s.x * PolySin(1.31415 * s.y * s.z + 0.3 * p.y - 0.6 * p.z);
    return vec4(p.x + dx * p.y, p.y, p.z + dz * p.y, p.w);
}
void main() {
    vec4 p = gl_Vertex;
    gl_Position = ToGl(Transform4(Sway(p), 0));
    nuvShadow = Transform4(p, 4);
    gl_FrontColor = vc[8];
}
)";

const char* const GlslPrograms::kShadowSkinnedVertex = R"(#version 120
uniform vec4 vc[256];
attribute vec4 nuvBlendWeights;
attribute vec4 nuvBlendIndices;
varying vec4 nuvShadow;
)" NUV_GLSL_TRANSFORM R"(
vec4 Skin(vec4 p) {
    vec4 r = vec4(0.0);
    for (int j = 0; j < 4; ++j) {
        float w = nuvBlendWeights[j];
        int b = int(nuvBlendIndices[j]);
        if ((j == 0 || w > 0.0) && b >= 0 && b < 50) r += w * Transform4(p, 8 + 4 * b);
    }
    return vec4(r.xyz, 1.0);
}
void main() {
    vec4 p = Skin(gl_Vertex);
    gl_Position = ToGl(Transform4(p, 0));
    nuvShadow = Transform4(p, 208);
    gl_FrontColor = vc[212];
}
)";

// Compare mode is on for the map: a lookup is 1 where lit and 0 where shadowed.
const char* const GlslPrograms::kShadowPixel = R"(#version 120
uniform sampler2DShadow s0;
varying vec4 nuvShadow;
void main() {
    float lit = shadow2DProj(s0, nuvShadow).r;
    gl_FragColor = gl_Color * (1.0 - lit);
}
)";

const char* const GlslPrograms::kShadowFilteredPixel = R"(#version 120
uniform vec4 pc[32];
uniform sampler2DShadow s0;
varying vec4 nuvShadow;
float Lit(vec2 offset) {
    return shadow2DProj(s0, nuvShadow + vec4(offset * nuvShadow.w, 0.0, 0.0)).r;
}
void main() {
    vec2 d = pc[0].xy;
    float sum = Lit(vec2(0.0)) + Lit(d) + Lit(-d) + Lit(vec2(d.x, -d.y)) + Lit(vec2(-d.x, d.y));
    gl_FragColor = gl_Color * (1.0 - 0.2 * sum);
}
)";

// The quad keeps its clip position. GL samples texel centres at pixel centres by itself, so
// the half-texel shift of c0 is not added to the coordinates; c0 still spaces the samples.
const char* const GlslPrograms::kScreenQuadVertex = R"(#version 120
uniform vec4 vc[256];
varying vec2 nuvUv;
varying vec2 nuvStep;
void main() {
    vec4 p = gl_Vertex;
    float flip = gl_ProjectionMatrix[1][1] < 0.0 ? -1.0 : 1.0;
    gl_Position = vec4(p.x, p.y * flip, 0.0, 1.0);
    nuvUv = vec2((p.x + 1.0) * 0.5, (1.0 - p.y) * 0.5);
    nuvStep = vc[0].xy;
}
)";

const char* const GlslPrograms::kDownsamplePixel = R"(#version 120
uniform sampler2D s0;
varying vec2 nuvUv;
varying vec2 nuvStep;
void main() {
    vec2 dx = vec2(nuvStep.x, 0.0);
    vec2 dy = vec2(0.0, nuvStep.y);
    vec4 sum = texture2D(s0, nuvUv) + texture2D(s0, nuvUv + dx) + texture2D(s0, nuvUv - dx) +
               texture2D(s0, nuvUv + dy) + texture2D(s0, nuvUv - dy);
    gl_FragColor = sum * 0.2;
}
)";

// Weights 2/17, 4/17, 5/17, 4/17, 2/17 along the step.
const char* const GlslPrograms::kBlurPixel = R"(#version 120
uniform sampler2D s0;
varying vec2 nuvUv;
varying vec2 nuvStep;
void main() {
    gl_FragColor = texture2D(s0, nuvUv - 2.0 * nuvStep) * 0.117647 + texture2D(s0, nuvUv - nuvStep) * 0.235294 +
                   texture2D(s0, nuvUv) * 0.294118 + texture2D(s0, nuvUv + nuvStep) * 0.235294 +
                   texture2D(s0, nuvUv + 2.0 * nuvStep) * 0.117647;
}
)";

const char* const GlslPrograms::kCompositePixel = R"(#version 120
uniform vec4 pc[32];
uniform sampler2D s0;
uniform sampler2D s1;
varying vec2 nuvUv;
void main() {
    gl_FragColor = texture2D(s0, nuvUv) + texture2D(s1, nuvUv) * pc[0].x;
}
)";

const char* GlslPrograms::Text(int program) {
    // In the order of ShaderPrograms::Program.
    static const char* const* const kTexts[] = {
        &kPlainVertex, &kSwayVertex, &kSkinnedVertex, &kWaterVertex, &kIceVertex, &kSnowVertex,
        &kLitPlainVertex, &kLitSwayVertex, &kLitSkinnedVertex,
        &kColorPixel, &kTexturePixel, &kLightmapPixel, &kWaterPixel, &kIcePixel, &kSnowPixel,
        &kPointLightPixel, &kDirectionalLightPixel,
        &kShadowVertex, &kShadowSwayVertex, &kShadowSkinnedVertex, &kShadowPixel, &kShadowFilteredPixel,
        &kScreenQuadVertex, &kDownsamplePixel, &kBlurPixel, &kCompositePixel,
    };
    static_assert(sizeof(kTexts) / sizeof(kTexts[0]) == ShaderPrograms::kProgramCount,
                  "one GLSL text per program");
    return program >= 0 && program < ShaderPrograms::kProgramCount ? *kTexts[program] : nullptr;
}

} // namespace nuv
