#pragma once

namespace nuv {

// Every program the effects use, by name, with its texts per shading language and level. One
// register layout per program serves every language: the texts of one program read the same
// constants and samplers.
class ShaderPrograms {
public:
    enum Program : int {
        // Vertex programs of the geometry effects.
        kPlainVertex = 0,
        kSwayVertex,
        kSkinnedVertex,
        kWaterVertex,
        kIceVertex,
        kSnowVertex,
        kLitPlainVertex,
        kLitSwayVertex,
        kLitSkinnedVertex,
        // Pixel programs of the geometry effects.
        kColorPixel,
        kTexturePixel,
        kLightmapPixel,
        kWaterPixel,
        kIcePixel,
        kSnowPixel,
        kPointLightPixel,
        kDirectionalLightPixel,
        // Shadow receivers.
        kShadowVertex,
        kShadowSwayVertex,
        kShadowSkinnedVertex,
        kShadowPixel,
        kShadowFilteredPixel,
        // The glow's screen quad.
        kScreenQuadVertex,
        kDownsamplePixel,
        kBlurPixel,
        kCompositePixel,
        kProgramCount
    };

    // Levels 0 (vs_1_1 / ps_1_x), 1 (2.0) and 2 (3.0); "none" has no texts.
    static constexpr int kLevelCount = 3;

    static bool IsVertex(Program program);
    // The program's text in a language at a level (the vertex or the pixel level, by the
    // program's kind); null when the program has no text there.
    static const char* Text(Program program, int language, int level);
};

} // namespace nuv
