#pragma once

#include "core/Matrix4.h"
#include "media/image/Image.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace nuv {

// What the OpenGL renderer's files share: the GL side of the engine's conventions.
class GlSupport {
public:
    // Programs read these attributes by name; the fixed-function pipeline has no use for them.
    static constexpr GLuint kPointSizeAttribute = 5;
    static constexpr GLuint kBlendWeightsAttribute = 6;
    static constexpr GLuint kBlendIndicesAttribute = 7;

    // Clip depth runs 0..1 in the engine's projections and -1..1 in GL: z' = 2z - w.
    static inline const Matrix4 kDepthToGl{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 0, 0, 0, -1, 1};
    // Targets are drawn upside down: a texture's first row is its top, as in uploaded pictures,
    // while GL's first row is the bottom. The flip also turns the winding around.
    static inline const Matrix4 kFlipY{1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    static const char* TrueFalse(bool value) { return value ? "true" : "false"; }

    // Mesa's rasterisers that run on the processor, by the renderer string they report.
    static bool IsSoftwareRasterizer(const char* renderer) {
        if (!renderer) return false;
        for (const char* name : {"llvmpipe", "softpipe", "Software Rasterizer", "SWR"})
            if (std::strstr(renderer, name)) return true;
        return false;
    }

    static bool IsIdentity(const Matrix4& m) {
        return std::memcmp(m.Data(), Matrix4::Identity().Data(), sizeof(float) * 16) == 0;
    }

    // Image rows run bottom first; a texture's first row is its top (v = 0), so rows are flipped.
    // One-channel pictures keep one byte per pixel, the others three or four.
    static std::vector<uint8_t> FlippedRows(const uint8_t* pixels, int width, int height, int bytesPerPixel) {
        const size_t row = size_t(width) * size_t(bytesPerPixel);
        std::vector<uint8_t> out(row * size_t(height));
        for (int r = 0; r < height; ++r)
            std::memcpy(out.data() + size_t(height - 1 - r) * row, pixels + size_t(r) * row, row);
        return out;
    }

    // Sampled formats by image kind: colour, colour with alpha, alpha only.
    static bool SampledFormat(int format, GLenum& internal, GLenum& external) {
        switch (format) {
        case Image::kRgb: internal = GL_RGB8; external = GL_RGB; return true;
        case Image::kRgba: internal = GL_RGBA8; external = GL_RGBA; return true;
        case Image::kOneChannel: internal = GL_ALPHA8; external = GL_ALPHA; return true;
        default: return false;
        }
    }

    static int FullChain(int width, int height, int depth = 1) {
        int levels = 1;
        for (int size = std::max({width, height, depth}); size > 1; size >>= 1) ++levels;
        return levels;
    }
};

} // namespace nuv
