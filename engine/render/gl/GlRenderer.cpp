#include "render/gl/GlRenderer.h"

#include "core/ColorBuffer.h"
#include "core/FloatBuffer.h"
#include "core/IntBuffer.h"
#include "core/Log.h"
#include "core/ResourceLink.h"
#include "core/Vector3Buffer.h"
#include "core/Vector4Buffer.h"
#include "media/image/Image.h"
#include "media/image/VolumeImage.h"
#include "platform/SystemWindow.h"
#include "render/CubeTexture.h"
#include "render/Pass.h"
#include "render/PixelShader.h"
#include "render/Texture.h"
#include "render/VertexShader.h"
#include "render/VolumeTexture.h"
#include "render/gl/GlStateMapping.h"
#include "scene/GeometryNode.h"
#include "scene/Light.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace nuv {

namespace {

const char* TrueFalse(bool value) {
    return value ? "true" : "false";
}

// Clip depth runs 0..1 in the engine's projections and -1..1 in GL: z' = 2z - w.
const Matrix4 kDepthToGl(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 0, 0, 0, -1, 1);
// Targets are drawn upside down: a texture's first row is its top, as in uploaded pictures, while
// GL's first row is the bottom. The flip also turns the winding around.
const Matrix4 kFlipY(1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);

bool IsIdentity(const Matrix4& m) {
    return std::memcmp(m.Data(), Matrix4::Identity().Data(), sizeof(float) * 16) == 0;
}

// Image rows run bottom first; a texture's first row is its top (v = 0), so rows are flipped.
// One-channel pictures keep one byte per pixel, the others three or four.
std::vector<uint8_t> FlippedRows(const uint8_t* pixels, int width, int height, int bytesPerPixel) {
    const size_t row = size_t(width) * size_t(bytesPerPixel);
    std::vector<uint8_t> out(row * size_t(height));
    for (int r = 0; r < height; ++r)
        std::memcpy(out.data() + size_t(height - 1 - r) * row, pixels + size_t(r) * row, row);
    return out;
}

// Sampled formats by image kind: colour, colour with alpha, alpha only.
bool SampledFormat(int format, GLenum& internal, GLenum& external) {
    switch (format) {
    case Image::kRgb: internal = GL_RGB8; external = GL_RGB; return true;
    case Image::kRgba: internal = GL_RGBA8; external = GL_RGBA; return true;
    case Image::kOneChannel: internal = GL_ALPHA8; external = GL_ALPHA; return true;
    default: return false;
    }
}

int FullChain(int width, int height, int depth = 1) {
    int levels = 1;
    for (int size = std::max({width, height, depth}); size > 1; size >>= 1) ++levels;
    return levels;
}

} // namespace

void GlRenderer::ShowMessageBox(const char* text) {
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "", text, nullptr);
}

GlRenderer::GlRenderer() {
    for (int i = 0; i < 256; ++i) gammaRamp_[i] = uint16_t(i * 257);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        LogError("SDL: %s", SDL_GetError());
        return;
    }
    BuildModes();
}

GlRenderer::~GlRenderer() {
    if (GetWindow() && Close() != 0) LogError("Невозможно закрыть окно рендеринга.");
    DestroyDevice();
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void GlRenderer::BuildModes() {
    // Full-screen records: each display's modes, unique by size (refresh rates merged), sorted;
    // then one windowed record. Every record has a 24-bit depth buffer with 8 stencil bits.
    auto record = [](int width, int height, bool fullScreen, int bits) {
        DisplayMode mode;
        mode.width = width;
        mode.height = height;
        mode.fullScreen = fullScreen ? 1 : 0;
        mode.colorBits = bits;
        mode.redBits = mode.greenBits = mode.blueBits = bits == 16 ? 5 : 8;
        if (bits == 16) mode.greenBits = 6;
        mode.alphaBits = 0;
        mode.depthBits = 24;
        mode.stencilBits = 8;
        mode.sampleCount = 1;
        return mode;
    };
    struct Size {
        int width, height, bits;
    };
    std::vector<Size> sizes;
    const int displays = SDL_GetNumVideoDisplays();
    for (int d = 0; d < displays; ++d) {
        for (int i = 0, n = SDL_GetNumDisplayModes(d); i < n; ++i) {
            SDL_DisplayMode mode;
            if (SDL_GetDisplayMode(d, i, &mode) != 0 || mode.w <= 0 || mode.h <= 0) continue;
            const int bits = SDL_BITSPERPIXEL(mode.format) == 16 ? 16 : 32;
            sizes.push_back({mode.w, mode.h, bits});
        }
    }
    SDL_DisplayMode desktop{};
    const bool haveDesktop = displays > 0 && SDL_GetDesktopDisplayMode(0, &desktop) == 0;
    // Drivers that list no modes (SDL's offscreen one) still have the desktop's: it is always a mode.
    if (haveDesktop && desktop.w > 0 && desktop.h > 0)
        sizes.push_back({desktop.w, desktop.h, SDL_BITSPERPIXEL(desktop.format) == 16 ? 16 : 32});
    std::sort(sizes.begin(), sizes.end(), [](const Size& a, const Size& b) {
        return a.width != b.width ? a.width < b.width : a.height != b.height ? a.height < b.height : a.bits < b.bits;
    });
    sizes.erase(std::unique(sizes.begin(), sizes.end(),
                            [](const Size& a, const Size& b) {
                                return a.width == b.width && a.height == b.height && a.bits == b.bits;
                            }),
                sizes.end());
    int defaultMode = -1;
    for (const Size& size : sizes) {
        if (haveDesktop && defaultMode < 0 && size.width == desktop.w && size.height == desktop.h &&
            size.bits == (SDL_BITSPERPIXEL(desktop.format) == 16 ? 16 : 32))
            defaultMode = GetModeCount();
        AddMode(record(size.width, size.height, true, size.bits));
    }
    if (defaultMode < 0) defaultMode = GetModeCount();
    AddMode(record(0, 0, false, 32));
    SetDefaultMode(defaultMode);
}

int GlRenderer::CreateDevice(int modeIndex, const String& /*title*/, void* parentWindow, int /*x*/, int /*y*/,
                             int width, int height) {
    const DisplayMode* mode = GetMode(modeIndex);
    window_ = GetWindow();
    if (!mode || !window_) return 1;
    SDL_Window* window = static_cast<SDL_Window*>(window_);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, 0);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        LogError("SDL: %s", SDL_GetError());
        window_ = nullptr;
        return 1;
    }
    context_ = context;
    SDL_GL_MakeCurrent(window, context);
    // Like the default presentation interval: one frame per refresh.
    SDL_GL_SetSwapInterval(1);
    foreignWindow_ = parentWindow != nullptr;
    SDL_GL_GetDrawableSize(window, &backWidth_, &backHeight_);
    if (backWidth_ <= 0 || backHeight_ <= 0) {
        backWidth_ = mode->fullScreen ? mode->width : width;
        backHeight_ = mode->fullScreen ? mode->height : height;
    }
    viewportWidth_ = backWidth_;
    viewportHeight_ = backHeight_;

    LogInfo("Created HARDWARE VERTEXPROCESSING");
    GLint bits = 0;
    glGetIntegerv(GL_RED_BITS, &bits);
    GLint green = 0, blue = 0, alpha = 0, depth = 0, stencil = 0, samples = 0;
    glGetIntegerv(GL_GREEN_BITS, &green);
    glGetIntegerv(GL_BLUE_BITS, &blue);
    glGetIntegerv(GL_ALPHA_BITS, &alpha);
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    glGetIntegerv(GL_SAMPLES, &samples);
    LogInfo("COLOR BPP %d", mode->colorBits);
    LogInfo("Alpha BPP %d", int(alpha));
    LogInfo("Depth BPP %d", int(depth));
    LogInfo("Stencil BPP %d", int(stencil));
    LogInfo("Samples %d", samples > 1 ? int(samples) : 1);
    LogInfo("Vendor [%s]", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    LogInfo("Driver [%s %s]", reinterpret_cast<const char*>(glGetString(GL_VENDOR)),
            reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    ReadCapabilities(*mode);
    SetDefaultState();
    // Version probes below 3.0 leave an error behind; later checks start from a clean state.
    while (glGetError() != GL_NO_ERROR) {
    }
    return 0;
}

void GlRenderer::ReadCapabilities(const DisplayMode& /*mode*/) {
    RendererCaps caps;
    caps.shadingLanguage = RendererCaps::kLanguageGlsl;
    const int version = epoxy_gl_version();
    GLint units = 0, lights = 0;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
    glGetIntegerv(GL_MAX_LIGHTS, &lights);
    caps.textureUnits = std::min<int32_t>(units, RenderStateBlock::kStageCount);
    caps.maxLights = lights;
    textureUnits_ = caps.textureUnits;
    caps.volumeTextures = version >= 12 ? 1 : 0;
    caps.cubeTextures = version >= 13 ? 1 : 0;
    caps.projectedTextures = 1;
    LogInfo("Simultaneous Textures [%d]", caps.textureUnits);
    LogInfo("Max Active Lights [%d]", caps.maxLights);
    LogInfo("Volume Textures [%s]", TrueFalse(caps.volumeTextures));
    LogInfo("Cube Textures [%s]", TrueFalse(caps.cubeTextures));
    LogInfo("Projected Textures [%s]", TrueFalse(caps.projectedTextures));

    // GLSL 1.20 is the vs_2_0 / ps_2_0 tier.
    const bool glsl = version >= 20;
    caps.vertexLevel = glsl ? 1 : RendererCaps::kLevelNone;
    caps.pixelLevel = glsl ? 1 : RendererCaps::kLevelNone;
    LogInfo("VERTEX SHADER %d", caps.vertexLevel);
    LogInfo("PIXEL SHADER %d", caps.pixelLevel);

    GLfloat pointSizes[2] = {0, 0};
    glGetFloatv(GL_ALIASED_POINT_SIZE_RANGE, pointSizes);
    // Sprites need the point-sprite switch; GL's largest point is far below 8000 pixels, so the
    // size limit of other devices does not decide here.
    caps.pointSprites = version >= 20 || epoxy_has_gl_extension("GL_ARB_point_sprite") ? 1 : 0;
    LogInfo("Point Sprites [%s]", TrueFalse(caps.pointSprites));
    GLint queryBits = 0;
    if (version >= 15) glGetQueryiv(GL_SAMPLES_PASSED, GL_QUERY_COUNTER_BITS, &queryBits);
    caps.occlusionQueries = queryBits > 0 ? 1 : 0;
    LogInfo("Occlusion Query [%s]", TrueFalse(caps.occlusionQueries));
    const bool fbo = version >= 30 || epoxy_has_gl_extension("GL_ARB_framebuffer_object");
    caps.shadowMaps = fbo && (version >= 14 || epoxy_has_gl_extension("GL_ARB_shadow")) ? 1 : 0;
    LogInfo("Hardware Shadowmaps [%s]", TrueFalse(caps.shadowMaps));
    caps.halfFloatTextures = fbo && (version >= 30 || epoxy_has_gl_extension("GL_ARB_texture_float")) ? 1 : 0;
    LogInfo("A16B16G16R16F Textures [%s]", TrueFalse(caps.halfFloatTextures));
    // Mip-maps of render targets are generated after each pop wherever framebuffer objects are.
    for (int i = 0; i < 8; ++i) caps.mipmapGeneration[i] = fbo ? 1 : 0;
    static const char* const kKinds[4] = {"A8", "A16B16G16R16", "R8G8B8", "R8G8B8A8"};
    for (int i = 0; i < 4; ++i)
        LogInfo("%s RenderTarget Textures MipMap Autogen support[%s]", kKinds[i], TrueFalse(caps.mipmapGeneration[i]));
    for (int i = 0; i < 4; ++i)
        LogInfo("%s CubeRenderTarget Textures MipMap Autogen support[%s]", kKinds[i],
                TrueFalse(caps.mipmapGeneration[4 + i]));
    const bool s3tc = epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc");
    for (int i = 0; i < 5; ++i) {
        caps.dxt[i] = s3tc ? 1 : 0;
        LogInfo("DXT%d texture compression support[%s]", i + 1, TrueFalse(caps.dxt[i]));
    }
    SetDeviceCaps(caps);
}

void GlRenderer::SetDefaultState() {
    glDisable(GL_LIGHTING);
    const GLfloat black[4] = {0, 0, 0, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    glFrontFace(GL_CW);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glColor4f(1, 1, 1, 1);
    glViewport(0, 0, backWidth_, backHeight_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
}

int GlRenderer::DestroyDevice() {
    if (!context_) return 0;
    SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), static_cast<SDL_GLContext>(context_));
    // Unwind the target stack first: popping flushes, which may still draw.
    while (GetRenderTargetDepth() > 0) PopTarget();
    ReleaseAll();
    if (gammaProgram_) glDeleteProgram(gammaProgram_);
    if (spriteProgram_) glDeleteProgram(spriteProgram_);
    glDeleteTextures(2, gammaTextures_);
    gammaProgram_ = 0;
    spriteProgram_ = 0;
    spriteProgramFailed_ = false;
    programPointSize_ = false;
    shadowBias_ = false;
    equalDepthOffset_ = false;
    gammaTextures_[0] = gammaTextures_[1] = 0;
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    context_ = nullptr;
    window_ = nullptr;
    return 0;
}

// --- The cache -------------------------------------------------------------------------------

GlRenderer::Resource* GlRenderer::Find(int32_t id) {
    auto it = resources_.find(id);
    return it == resources_.end() ? nullptr : &it->second;
}

GlRenderer::Resource& GlRenderer::Enter(int32_t id, Kind kind, ResourceLink& link) {
    Release(id);
    Resource& resource = resources_[id];
    resource.kind = kind;
    resource.link = &link;
    link.renderer = this;
    return resource;
}

void GlRenderer::Release(int32_t id) {
    auto it = resources_.find(id);
    if (it == resources_.end()) return;
    if (indices_ == &it->second) indices_ = nullptr;
    Resource resource = it->second;
    resources_.erase(it);
    if (context_) {
        switch (resource.kind) {
        case Kind::kVertexBuffer:
        case Kind::kIndexBuffer: glDeleteBuffers(1, &resource.name); break;
        case Kind::kShader: break;  // the compiled text stays for the other shaders with it
        case Kind::kQuery: glDeleteQueries(1, &resource.name); break;
        case Kind::kState: break;
        default:
            glDeleteTextures(1, &resource.name);
            for (GLuint& framebuffer : resource.framebuffers)
                if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
            if (resource.depth) glDeleteRenderbuffers(1, &resource.depth);
            break;
        }
    }
    if (resource.link) {
        resource.link->handle[0] = resource.link->handle[1] = 0;
        resource.link->dirty = 1;
        // Last: the link may hold the last reference on this renderer.
        Pointer<DeviceResourceCache> keep = std::move(resource.link->renderer);
    }
}

void GlRenderer::ReleaseAll() {
    // Keeps this renderer alive while the links let go of it (unless it is already going).
    Pointer<DeviceResourceCache> self(GetReferenceCount() > 0 ? this : nullptr);
    while (!resources_.empty()) Release(resources_.begin()->first);
    for (auto& program : programs_)
        if (context_ && program.second) glDeleteProgram(program.second);
    programs_.clear();
    programUniforms_.clear();
    uploadedProgram_ = 0;
    for (auto& shader : compiledShaders_)
        if (context_ && shader.second) glDeleteShader(shader.second);
    compiledShaders_.clear();
    indices_ = nullptr;
    block_ = nullptr;
    appliedBlock_ = nullptr;
    for (BaseTexture*& texture : boundTextures_) texture = nullptr;
    vertexShader_ = nullptr;
    pixelShader_ = nullptr;
}

void GlRenderer::ReleaseBuffer(Buffer& buffer) {
    Release(buffer.GetId());
}

void GlRenderer::ReleaseTexture(BaseTexture& texture) {
    for (BaseTexture*& bound : boundTextures_)
        if (bound == &texture) bound = nullptr;
    Release(texture.GetId());
}

void GlRenderer::ReleaseShader(Shader& shader) {
    if (vertexShader_ == static_cast<Object*>(&shader)) vertexShader_ = nullptr;
    if (pixelShader_ == static_cast<Object*>(&shader)) pixelShader_ = nullptr;
    Release(shader.GetId());
}

void GlRenderer::ReleasePass(Pass& pass) {
    // Pass state is set anew at every use; nothing is recorded for it.
    if (block_ == pass.GetStateBlock()) block_ = nullptr;
    if (appliedBlock_ == pass.GetStateBlock()) appliedBlock_ = nullptr;
    Release(pass.GetId());
}

void GlRenderer::ReleaseResource(Object& object) {
    if (block_ == static_cast<Object*>(&object)) block_ = nullptr;
    if (appliedBlock_ == static_cast<Object*>(&object)) appliedBlock_ = nullptr;
    Release(object.GetId());
}

// --- Buffers ---------------------------------------------------------------------------------

GlRenderer::Resource* GlRenderer::BufferObject(Buffer* buffer, bool indices) {
    if (!buffer || buffer->GetCount() <= 0 || !buffer->GetData() || !context_) return nullptr;
    const int32_t id = buffer->GetId();
    Resource* resource = Find(id);
    const Kind kind = indices ? Kind::kIndexBuffer : Kind::kVertexBuffer;
    if (resource && resource->kind != kind) {
        Release(id);
        resource = nullptr;
    }
    if (!resource) {
        resource = &Enter(id, kind, buffer->GetResourceLink());
        glGenBuffers(1, &resource->name);
        resource->link->handle[0] = resource->name;
        resource->link->dirty = 1;
    }
    if (!resource->link->dirty) return resource;
    const GLenum target = indices ? GL_ELEMENT_ARRAY_BUFFER : GL_ARRAY_BUFFER;
    glBindBuffer(target, resource->name);
    resource->count = buffer->GetCount();
    resource->components = buffer->GetDataSize() / buffer->GetCount() / int(sizeof(float));
    if (indices) {
        // Short indices wherever they all fit, so nothing is ever cut to its low bits.
        const int32_t* source = static_cast<IntBuffer*>(buffer)->GetElements();
        const int count = buffer->GetCount();
        const bool fits = std::all_of(source, source + count, [](int32_t v) { return v >= 0 && v <= 0xFFFF; });
        if (fits) {
            std::vector<uint16_t> shorts(source, source + count);
            glBufferData(target, GLsizeiptr(count * 2), shorts.data(), GL_STATIC_DRAW);
            resource->indexType = GL_UNSIGNED_SHORT;
        } else {
            glBufferData(target, GLsizeiptr(count * 4), source, GL_STATIC_DRAW);
            resource->indexType = GL_UNSIGNED_INT;
        }
    } else {
        glBufferData(target, buffer->GetDataSize(), buffer->GetData(), GL_STATIC_DRAW);
    }
    resource->link->dirty = 0;
    return resource;
}

void GlRenderer::BindPositions(Buffer* buffer) {
    Resource* resource = BufferObject(buffer, false);
    // A single float per vertex is no position the pipeline can read.
    if (resource && resource->components < 2) resource = nullptr;
    vertexCount_ = resource ? resource->count : 0;
    if (!resource) {
        glDisableClientState(GL_VERTEX_ARRAY);
        return;
    }
    glBindBuffer(GL_ARRAY_BUFFER, resource->name);
    glVertexPointer(std::min(resource->components, 4), GL_FLOAT, resource->components * 4, nullptr);
    glEnableClientState(GL_VERTEX_ARRAY);
}

void GlRenderer::BindTexCoords(Buffer* buffer, int setIndex) {
    if (setIndex < 0 || setIndex >= RenderStateBlock::kStageCount) return;
    if (!buffer && texCoordComponents_[setIndex] == 0) return;
    glClientActiveTexture(GLenum(GL_TEXTURE0 + setIndex));
    Resource* resource = BufferObject(buffer, false);
    texCoordComponents_[setIndex] = resource ? resource->components : 0;
    if (resource && resource->components >= 1 && resource->components <= 4) {
        glBindBuffer(GL_ARRAY_BUFFER, resource->name);
        glTexCoordPointer(resource->components, GL_FLOAT, resource->components * 4, nullptr);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    } else {
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    glClientActiveTexture(GL_TEXTURE0);
}

void GlRenderer::BindColors(ColorBuffer* buffer) {
    // Unlit geometry takes these colours; lit geometry keeps the material's.
    Resource* resource = BufferObject(buffer, false);
    if (!resource) {
        glDisableClientState(GL_COLOR_ARRAY);
        glColor4f(1, 1, 1, 1);
        return;
    }
    glBindBuffer(GL_ARRAY_BUFFER, resource->name);
    glColorPointer(4, GL_FLOAT, 0, nullptr);
    glEnableClientState(GL_COLOR_ARRAY);
}

void GlRenderer::BindNormals(Vector3Buffer* buffer) {
    Resource* resource = BufferObject(buffer, false);
    if (!resource) {
        glDisableClientState(GL_NORMAL_ARRAY);
        return;
    }
    glBindBuffer(GL_ARRAY_BUFFER, resource->name);
    glNormalPointer(GL_FLOAT, 0, nullptr);
    glEnableClientState(GL_NORMAL_ARRAY);
}

// Programs read these by name; the fixed-function pipeline has no use for them.
namespace {
constexpr GLuint kPointSizeAttribute = 5;
constexpr GLuint kBlendWeightsAttribute = 6;
constexpr GLuint kBlendIndicesAttribute = 7;
} // namespace

void GlRenderer::BindPointSizes(FloatBuffer* buffer) {
    Resource* resource = BufferObject(buffer, false);
    pointSizesBound_ = resource != nullptr;
    if (!resource) {
        glDisableVertexAttribArray(kPointSizeAttribute);
        return;
    }
    glBindBuffer(GL_ARRAY_BUFFER, resource->name);
    glVertexAttribPointer(kPointSizeAttribute, 1, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(kPointSizeAttribute);
}

void GlRenderer::BindBlendWeights(Vector4Buffer* buffer) {
    Resource* resource = BufferObject(buffer, false);
    if (!resource) {
        glDisableVertexAttribArray(kBlendWeightsAttribute);
        return;
    }
    glBindBuffer(GL_ARRAY_BUFFER, resource->name);
    glVertexAttribPointer(kBlendWeightsAttribute, 4, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(kBlendWeightsAttribute);
}

void GlRenderer::BindBlendIndices(Vector4Buffer* buffer) {
    Resource* resource = BufferObject(buffer, false);
    if (!resource) {
        glDisableVertexAttribArray(kBlendIndicesAttribute);
        return;
    }
    glBindBuffer(GL_ARRAY_BUFFER, resource->name);
    glVertexAttribPointer(kBlendIndicesAttribute, 4, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(kBlendIndicesAttribute);
}

void GlRenderer::BindIndices(IntBuffer* buffer) {
    indices_ = BufferObject(buffer, true);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices_ ? indices_->name : 0);
}

// --- Textures --------------------------------------------------------------------------------

bool GlRenderer::UploadTexture(Resource& resource, const Image& image, bool allowCompression, int levels) {
    GLenum internal = 0, external = 0;
    if (!image.HasPixels() || !SampledFormat(image.GetFormat(), internal, external)) return false;
    if (image.GetFormat() == Image::kRgb && allowCompression && GetCaps().dxt[0])
        internal = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
    const int w = image.GetWidth(), h = image.GetHeight();
    const int full = FullChain(w, h);
    const int count = levels <= 0 || levels > full ? full : levels;
    glBindTexture(GL_TEXTURE_2D, resource.name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, count - 1);
    // Only the top level comes from the picture; the driver filters the lower ones from it.
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, count > 1 ? GL_TRUE : GL_FALSE);
    const std::vector<uint8_t> rows = FlippedRows(image.GetPixels(), w, h, Image::GetBytesPerPixel(image.GetFormat()));
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(internal), w, h, 0, external, GL_UNSIGNED_BYTE, rows.data());
    resource.width = w;
    resource.height = h;
    resource.mipmapped = count > 1;
    resource.count = count;
    return glGetError() == GL_NO_ERROR;
}

bool GlRenderer::UploadCube(Resource& resource, const Image& image) {
    const auto* faces = dynamic_cast<const VolumeImage*>(&image);
    GLenum internal = 0, external = 0;
    if (!faces || faces->GetDepth() != 6 || !faces->HasPixels() || faces->GetWidth() != faces->GetHeight() ||
        !SampledFormat(faces->GetFormat(), internal, external))
        return false;
    const int edge = faces->GetWidth();
    const int bpp = Image::GetBytesPerPixel(faces->GetFormat());
    glBindTexture(GL_TEXTURE_CUBE_MAP, resource.name);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_GENERATE_MIPMAP, GL_TRUE);
    for (int face = 0; face < 6; ++face) {
        const std::vector<uint8_t> rows =
            FlippedRows(faces->GetPixels() + size_t(faces->GetSliceSize()) * size_t(face), edge, edge, bpp);
        glTexImage2D(GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face), 0, GLint(internal), edge, edge, 0, external,
                     GL_UNSIGNED_BYTE, rows.data());
    }
    resource.width = resource.height = edge;
    resource.mipmapped = true;
    resource.count = FullChain(edge, edge);
    return glGetError() == GL_NO_ERROR;
}

bool GlRenderer::UploadVolume(Resource& resource, const Image& image) {
    const auto* volume = dynamic_cast<const VolumeImage*>(&image);
    GLenum internal = 0, external = 0;
    if (!volume || volume->GetDepth() <= 0 || !volume->HasPixels() ||
        !SampledFormat(volume->GetFormat(), internal, external))
        return false;
    const int w = volume->GetWidth(), h = volume->GetHeight(), d = volume->GetDepth();
    const int bpp = Image::GetBytesPerPixel(volume->GetFormat());
    std::vector<uint8_t> slices;
    slices.reserve(size_t(volume->GetDataSize()));
    for (int z = 0; z < d; ++z) {
        const std::vector<uint8_t> rows =
            FlippedRows(volume->GetPixels() + size_t(volume->GetSliceSize()) * size_t(z), w, h, bpp);
        slices.insert(slices.end(), rows.begin(), rows.end());
    }
    glBindTexture(GL_TEXTURE_3D, resource.name);
    glTexParameteri(GL_TEXTURE_3D, GL_GENERATE_MIPMAP, GL_TRUE);
    glTexImage3D(GL_TEXTURE_3D, 0, GLint(internal), w, h, d, 0, external, GL_UNSIGNED_BYTE, slices.data());
    resource.width = w;
    resource.height = h;
    resource.mipmapped = true;
    resource.count = FullChain(w, h, d);
    return glGetError() == GL_NO_ERROR;
}

GlRenderer::Resource* GlRenderer::TextureObject(BaseTexture* texture) {
    if (!texture || !context_) return nullptr;
    const int32_t id = texture->GetId();
    Resource* resource = Find(id);
    // Targets and shadow maps hold what was drawn into them; they are never uploaded.
    if (resource && (resource->kind == Kind::kTarget || resource->kind == Kind::kCubeTarget ||
                     resource->kind == Kind::kShadowMap))
        return resource;
    if (resource && !texture->IsDirty()) return resource;

    Kind kind = Kind::kTexture;
    const Image* image = nullptr;
    bool compress = false;
    if (auto* plain = dynamic_cast<Texture*>(texture)) {
        image = plain->GetImage();
        compress = plain->GetAllowCompression();
    } else if (auto* cube = dynamic_cast<CubeTexture*>(texture)) {
        kind = Kind::kCube;
        image = cube->GetImage();
    } else if (auto* volume = dynamic_cast<VolumeTexture*>(texture)) {
        kind = Kind::kVolume;
        image = volume->GetImage();
    }
    if (!image || !image->HasPixels()) return nullptr;
    if (!resource) {
        resource = &Enter(id, kind, texture->GetResourceLink());
        glGenTextures(1, &resource->name);
        resource->link->handle[0] = resource->name;
    }
    glGetError();
    bool uploaded = false;
    switch (kind) {
    case Kind::kCube: uploaded = UploadCube(*resource, *image); break;
    case Kind::kVolume: uploaded = UploadVolume(*resource, *image); break;
    default: uploaded = UploadTexture(*resource, *image, compress, texture->GetMipmapLevels()); break;
    }
    if (!uploaded) {
        LogError("Невозможно обновить изображение текстуры [%s].", texture->GetName().GetText());
        Release(id);
        return nullptr;
    }
    texture->SetMipmapLevels(resource->count);
    resource->link->dirty = 0;
    return resource;
}

void GlRenderer::SetTexture(BaseTexture* texture, int stage) {
    if (stage < 0 || stage >= textureUnits_ || !context_) return;
    if (!texture && !boundTextures_[stage]) return;
    glActiveTexture(GLenum(GL_TEXTURE0 + stage));
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_CUBE_MAP);
    glDisable(GL_TEXTURE_3D);
    boundTextures_[stage] = nullptr;
    // A texture being drawn into is not read at the same time.
    Resource* resource = IsRenderTarget(texture) ? nullptr : TextureObject(texture);
    if (resource) {
        GLenum target = GL_TEXTURE_2D;
        if (resource->kind == Kind::kCube || resource->kind == Kind::kCubeTarget) target = GL_TEXTURE_CUBE_MAP;
        else if (resource->kind == Kind::kVolume) target = GL_TEXTURE_3D;
        glBindTexture(target, resource->name);
        glEnable(target);
        if (block_) GlStateMapping::ApplySampler(block_->stages[stage], target, resource->mipmapped);
        if (resource->kind == Kind::kShadowMap) {
            glTexParameteri(target, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_R_TO_TEXTURE);
            glTexParameteri(target, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
        }
        boundTextures_[stage] = texture;
    }
    glActiveTexture(GL_TEXTURE0);
}

// --- Programs --------------------------------------------------------------------------------

GLuint GlRenderer::CompileShader(Shader& shader, GLenum type) {
    const int32_t id = shader.GetId();
    if (Resource* resource = Find(id)) return resource->name;
    const char* text = shader.GetProgramText();
    if (!text || !context_) return 0;
    const GLint length = shader.GetProgramLength();
    std::string key(1, type == GL_VERTEX_SHADER ? 'v' : 'p');
    key.append(text, size_t(std::max(length, 0)));
    auto known = compiledShaders_.find(key);
    if (known == compiledShaders_.end()) {
        GLuint name = glCreateShader(type);
        glShaderSource(name, 1, &text, &length);
        glCompileShader(name);
        GLint compiled = 0;
        glGetShaderiv(name, GL_COMPILE_STATUS, &compiled);
        if (!compiled) {
            // The user sees the compiler's own words, once per text; the shader stays unbound.
            GLint size = 0;
            glGetShaderiv(name, GL_INFO_LOG_LENGTH, &size);
            std::vector<char> log(size_t(std::max(size, 1)) + 1, '\0');
            glGetShaderInfoLog(name, GLsizei(log.size()), nullptr, log.data());
            glDeleteShader(name);
            name = 0;
            LogError("%s", log.data());
            ShowMessage(log.data());
        }
        known = compiledShaders_.emplace(std::move(key), name).first;
    }
    Resource& resource = Enter(id, Kind::kShader, shader.GetResourceLink());
    resource.name = known->second;
    resource.link->handle[0] = known->second;
    resource.link->dirty = 0;
    return known->second;
}

// The program of the bound vertex and pixel shader pair, linked on first use; 0 for the
// fixed-function pipeline or when either part does not build.
GLuint GlRenderer::ProgramFor() {
    if (!vertexShader_ && !pixelShader_) return 0;
    const GLuint vs = vertexShader_ ? CompileShader(*vertexShader_, GL_VERTEX_SHADER) : 0;
    const GLuint ps = pixelShader_ ? CompileShader(*pixelShader_, GL_FRAGMENT_SHADER) : 0;
    if ((vertexShader_ && !vs) || (pixelShader_ && !ps)) return 0;
    const uint64_t key = (uint64_t(vs) << 32) | uint64_t(ps);
    if (auto it = programs_.find(key); it != programs_.end()) return it->second;
    const GLuint program = glCreateProgram();
    if (vs) glAttachShader(program, vs);
    if (ps) glAttachShader(program, ps);
    glBindAttribLocation(program, kPointSizeAttribute, "nuvPointSize");
    glBindAttribLocation(program, kBlendWeightsAttribute, "nuvBlendWeights");
    glBindAttribLocation(program, kBlendIndicesAttribute, "nuvBlendIndices");
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        GLint size = 0;
        glGetProgramiv(program, GL_INFO_LOG_LENGTH, &size);
        std::vector<char> log(size_t(std::max(size, 1)) + 1, '\0');
        glGetProgramInfoLog(program, GLsizei(log.size()), nullptr, log.data());
        LogError("%s", log.data());
        ShowMessage(log.data());
        glDeleteProgram(program);
        programs_[key] = 0;
        return 0;
    }
    // The register arrays' places, looked up once.
    // The register arrays' places and sizes (the compiler keeps only what a program reads),
    // looked up once.
    UniformArrays arrays;
    arrays.vc = glGetUniformLocation(program, "vc");
    arrays.pc = glGetUniformLocation(program, "pc");
    GLint active = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &active);
    for (GLint u = 0; u < active; ++u) {
        char uniform[16] = {};
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, GLuint(u), sizeof uniform, nullptr, &size, &type, uniform);
        if (std::strncmp(uniform, "vc", 2) == 0 && (uniform[2] == '\0' || uniform[2] == '[')) arrays.vcSize = size;
        if (std::strncmp(uniform, "pc", 2) == 0 && (uniform[2] == '\0' || uniform[2] == '[')) arrays.pcSize = size;
    }
    programUniforms_[program] = arrays;
    // Sampler sN reads texture unit N.
    glUseProgram(program);
    for (int i = 0; i < RenderStateBlock::kStageCount; ++i) {
        const char name[3] = {'s', char('0' + i), '\0'};
        const GLint location = glGetUniformLocation(program, name);
        if (location >= 0) glUniform1i(location, i);
    }
    programs_[key] = program;
    return program;
}

GLuint GlRenderer::SpriteProgram() {
    if (spriteProgram_ || spriteProgramFailed_) return spriteProgram_;
    // The size of a sprite is its own size times the viewport height over its distance from the
    // eye, as the fixed pipeline scales its one size. With no fragment shader attached the
    // fixed-function texture stages and fog still colour the sprite.
    static const char* const kSource =
        "#version 120\n"
        "attribute float nuvPointSize;\n"
        "uniform float viewportHeight;\n"
        "void main() {\n"
        "    vec4 eye = gl_ModelViewMatrix * gl_Vertex;\n"
        "    gl_Position = gl_ProjectionMatrix * eye;\n"
        "    gl_FrontColor = gl_Color;\n"
        "    gl_BackColor = gl_Color;\n"
        "    gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;\n"
        "    gl_FogFragCoord = abs(eye.z);\n"
        "    gl_PointSize = max(nuvPointSize, 0.0) * viewportHeight / max(length(eye.xyz), 1e-6);\n"
        "}\n";
    const GLuint shader = glCreateShader(GL_VERTEX_SHADER);
    glShaderSource(shader, 1, &kSource, nullptr);
    glCompileShader(shader);
    GLuint program = glCreateProgram();
    glAttachShader(program, shader);
    glBindAttribLocation(program, kPointSizeAttribute, "nuvPointSize");
    glLinkProgram(program);
    glDeleteShader(shader);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        // The sprites keep the fixed pipeline's single size.
        glDeleteProgram(program);
        program = 0;
        spriteProgramFailed_ = true;
        LogWarning("Размеры точек по вершинам недоступны.");
    }
    spriteProgram_ = program;
    return program;
}

void GlRenderer::SetVertexShader(VertexShader* shader) {
    vertexShader_ = shader && shader->GetProgramText() ? shader : nullptr;
}

void GlRenderer::SetPixelShader(PixelShader* shader) {
    pixelShader_ = shader && shader->GetProgramText() ? shader : nullptr;
}

void GlRenderer::SetVertexConstants(int firstRegister, const float* values, int registerCount) {
    if (!values || firstRegister < 0 || registerCount <= 0 || firstRegister >= 256) return;
    registerCount = std::min(registerCount, 256 - firstRegister);
    std::memcpy(vertexConstants_ + firstRegister * 4, values, size_t(registerCount) * 16);
    vertexDirty_.Add(firstRegister, firstRegister + registerCount);
}

void GlRenderer::SetPixelConstants(int firstRegister, const float* values, int registerCount) {
    if (!values || firstRegister < 0 || registerCount <= 0 || firstRegister >= 32) return;
    registerCount = std::min(registerCount, 32 - firstRegister);
    std::memcpy(pixelConstants_ + firstRegister * 4, values, size_t(registerCount) * 16);
    pixelDirty_.Add(firstRegister, firstRegister + registerCount);
}

// --- Passes and drawing ------------------------------------------------------------------------

void GlRenderer::BeginPass(Pass* pass) {
    if (!pass || !context_) return;
    // Every state of the block is set at each use, so a dirty pass needs nothing recorded anew.
    // The state of the block last set stays on the device until something else changes it:
    // another block, a refreshed pass, a clear, or the gamma pass.
    const bool changed = pass->IsDirty() || pass->GetStateBlock() != appliedBlock_;
    pass->GetResourceLink().dirty = 0;
    block_ = pass->GetStateBlock();
    // Linked, so that a block that goes tells this renderer and its address is never taken
    // for a later block's.
    if (block_ && !Find(block_->GetId())) Enter(block_->GetId(), Kind::kState, block_->GetResourceLink());
    const RendererCaps& caps = GetCaps();
    const bool weak = caps.vertexLevel == RendererCaps::kLevelNone || caps.pixelLevel == RendererCaps::kLevelNone;
    if (block_ && changed) GlStateMapping::ApplyBlock(*block_, weak, textureUnits_);
    appliedBlock_ = block_;
    for (int stage = 0; stage < RenderStateBlock::kStageCount; ++stage) {
        SetTexture(nullptr, stage);
        BindTexCoords(nullptr, stage);
    }
    vertexShader_ = nullptr;
    pixelShader_ = nullptr;
    BindColors(nullptr);
    BindNormals(nullptr);
    BindPointSizes(nullptr);
    BindBlendWeights(nullptr);
    BindBlendIndices(nullptr);
    BindIndices(nullptr);
}

void GlRenderer::PrepareDraw() {
    GLuint program = ProgramFor();
    const bool ownRegisters = program != 0;
    const bool spriteSizes = !program && pointSizesBound_ && block_ && block_->pointSpritesEnabled;
    if (spriteSizes) program = SpriteProgram();
    glMatrixMode(GL_PROJECTION);
    const bool inTarget = GetRenderTargetDepth() > 0;
    // Programs transform with their own registers and read from the sign of the projection's
    // second diagonal entry whether they draw into a target; that sign must not depend on what
    // the fixed-function projection happens to be.
    const Matrix4& base = ownRegisters ? Matrix4::Identity() : projection_;
    const Matrix4 projection = inTarget ? base * kDepthToGl * kFlipY : base * kDepthToGl;
    glLoadMatrixf(projection.Data());
    glFrontFace(inTarget ? GL_CCW : GL_CW);
    glMatrixMode(GL_TEXTURE);
    for (int stage = 0; stage < textureUnits_; ++stage) {
        const RenderStateBlock::TextureStage* s = block_ ? &block_->stages[stage] : nullptr;
        const Matrix4& m = textureMatrices_[stage];
        const bool projected = s && s->texCoordGeneration == 5;
        const unsigned bit = 1u << stage;
        if (IsIdentity(m)) {
            if (textureMatrixSet_ & bit) {
                glActiveTexture(GLenum(GL_TEXTURE0 + stage));
                glLoadIdentity();
                textureMatrixSet_ &= ~bit;
            }
            continue;
        }
        textureMatrixSet_ |= bit;
        glActiveTexture(GLenum(GL_TEXTURE0 + stage));
        // Two given coordinates enter as (u, v, 1), so a 2D offset lives in the third row.
        Matrix4 t = m;
        if (texCoordComponents_[stage] == 2 && (!s || s->texCoordGeneration == 0)) {
            const Matrix4 lift(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0);
            t = lift * m;
        }
        // Three coordinates come out; projected ones are divided by the third.
        for (int r = 0; r < 4; ++r) t.m[r][3] = projected ? t.m[r][2] : (r == 3 ? 1.0f : 0.0f);
        glLoadMatrixf(t.Data());
    }
    glActiveTexture(GL_TEXTURE0);
    glMatrixMode(GL_MODELVIEW);
    const Matrix4 modelView = world_ * view_;
    glLoadMatrixf(modelView.Data());

    // Draw-time overrides after the pass state.
    if (block_) {
        const bool reverse = block_->cullEnabled && GetReverseCull();
        glCullFace((block_->cullOrder == 0) != reverse ? GL_FRONT : GL_BACK);
        const bool nearlyEqual =
            !GetEqualDepth() && !shadowBias_ && block_->depthComparison == RenderStateBlock::kEqual;
        if (nearlyEqual != equalDepthOffset_) {
            if (nearlyEqual) {
                glEnable(GL_POLYGON_OFFSET_FILL);
                glPolygonOffset(-1.0f, -4.0f);
            } else {
                glPolygonOffset(0, 0);
                glDisable(GL_POLYGON_OFFSET_FILL);
            }
            equalDepthOffset_ = nearlyEqual;
        }
        glDepthFunc(GetEqualDepth() ? GL_EQUAL
                    : nearlyEqual   ? GL_LEQUAL
                                    : GlStateMapping::Comparison(block_->depthComparison));
    }

    if (program || programInUse_) glUseProgram(program);
    programInUse_ = program != 0;
    const bool pointSize = program != 0 && program == spriteProgram_;
    if (pointSize != programPointSize_) {
        if (pointSize) glEnable(GL_VERTEX_PROGRAM_POINT_SIZE);
        else glDisable(GL_VERTEX_PROGRAM_POINT_SIZE);
        programPointSize_ = pointSize;
    }
    if (pointSize) glUniform1f(glGetUniformLocation(program, "viewportHeight"), GLfloat(viewportHeight_));
    if (ownRegisters) UploadConstants(program);
}

void GlRenderer::UploadConstants(GLuint program) {
    // A program keeps its uniforms: the registers set since its last draw are all it needs, while
    // a program met after another takes every register set so far.
    const auto found = programUniforms_.find(program);
    if (found == programUniforms_.end()) return;
    if (program != uploadedProgram_) {
        vertexDirty_ = {0, vertexDirty_.everHigh, vertexDirty_.everHigh};
        pixelDirty_ = {0, pixelDirty_.everHigh, pixelDirty_.everHigh};
        uploadedProgram_ = program;
    }
    const UniformArrays& a = found->second;
    auto upload = [](GLint location, int size, const DirtyRange& dirty, const float* values) {
        const int high = std::min(dirty.high, size);
        if (location >= 0 && high > dirty.low)
            glUniform4fv(location + dirty.low, high - dirty.low, values + dirty.low * 4);
    };
    upload(a.vc, a.vcSize, vertexDirty_, vertexConstants_);
    upload(a.pc, a.pcSize, pixelDirty_, pixelConstants_);
    vertexDirty_.low = vertexDirty_.high = 0;
    pixelDirty_.low = pixelDirty_.high = 0;
}

void GlRenderer::DrawRange(int primitiveType, int count, bool indexed) {
    if (count <= 0) return;
    PrepareDraw();
    const GLenum mode = GlStateMapping::Primitive(primitiveType);
    if (indexed) glDrawElements(mode, count, indices_->indexType, nullptr);
    else glDrawArrays(mode, 0, count);
}

void GlRenderer::DrawIndexed() {
    GeometryNode* geometry = GetCurrentGeometry();
    if (!geometry || !context_) return;
    // Indices beyond the vertices would have the device read outside its buffers.
    if (!geometry->HasConsistentBuffers()) return;
    const int type = geometry->GetPrimitiveType();
    if (indices_) {
        const int primitives = PrimitiveCount(type, indices_->count);
        const int used = type == kTriangleList ? primitives * 3 : type == kLineList ? primitives * 2 : indices_->count;
        DrawRange(type, primitives > 0 ? used : 0, true);
    } else {
        DrawRange(type, vertexCount_, false);
    }
}

void GlRenderer::DrawBuffers(Buffer* positions, IntBuffer* indices, Vector4Buffer* stream2, Vector4Buffer* stream3,
                             Buffer* texCoords) {
    if (!context_ || !positions || !indices) return;
    const int vertices = positions->GetCount();
    const int32_t* list = indices->GetElements();
    for (int i = 0; i < indices->GetCount(); ++i)
        if (list[i] < 0 || list[i] >= vertices) return;
    BindPositions(positions);
    BindTexCoords(texCoords, 0);
    BindTexCoords(stream2, 1);
    BindTexCoords(stream3, 2);
    BindIndices(indices);
    if (!indices_) return;
    GeometryNode* geometry = GetCurrentGeometry();
    const int type = geometry ? geometry->GetPrimitiveType() : kTriangleList;
    const int primitives = PrimitiveCount(type, indices_->count);
    const int used = type == kTriangleList ? primitives * 3 : type == kLineList ? primitives * 2 : indices_->count;
    DrawRange(type, primitives > 0 ? used : 0, true);
}

void GlRenderer::DrawPrimitives(int primitiveCount) {
    GeometryNode* geometry = GetCurrentGeometry();
    if (!geometry || !context_ || primitiveCount <= 0) return;
    const int type = geometry->GetPrimitiveType();
    int vertices = primitiveCount;
    switch (type) {
    case kLineList: vertices = primitiveCount * 2; break;
    case kLineStrip: vertices = primitiveCount + 1; break;
    case kTriangleList: vertices = primitiveCount * 3; break;
    case kTriangleStrip: vertices = primitiveCount + 2; break;
    default: break;
    }
    // Never past the bound positions.
    DrawRange(type, std::min(vertices, vertexCount_), false);
}

void GlRenderer::Clear(int flags, const Color& color, float depth, int stencil) {
    if (!context_) return;
    GLbitfield mask = 0;
    if (flags & kClearColor) {
        glClearColor(color.r, color.g, color.b, color.a);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        mask |= GL_COLOR_BUFFER_BIT;
        SetClearColor(color);
    }
    if (flags & kClearDepth) {
        glClearDepth(depth);
        glDepthMask(GL_TRUE);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (flags & kClearStencil) {
        glClearStencil(stencil);
        glStencilMask(~0u);
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    if (mask) glClear(mask);
    // The masks opened for the clear belong to no block: the next pass sets its own again.
    appliedBlock_ = nullptr;
}

int GlRenderer::BeginScene() {
    if (!context_) return 1;
    SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), static_cast<SDL_GLContext>(context_));
    if (foreignWindow_ && GetRenderTargetDepth() == 0) {
        // Nothing reports the size of a window given by id: it is asked each frame.
        int w = 0, h = 0;
        GetSystemWindowSize(window_, &w, &h);
        if (w > 0 && h > 0 && (w != backWidth_ || h != backHeight_)) {
            backWidth_ = viewportWidth_ = w;
            backHeight_ = viewportHeight_ = h;
            glViewport(0, 0, w, h);
        }
    }
    // A GL context is never lost: the frame can always be drawn.
    glDisable(GL_LIGHTING);
    return 0;
}

void GlRenderer::EndScene() {
    if (!context_) return;
    if (gammaOnFrame_ && GetRenderTargetDepth() == 0) ApplyGammaToFrame();
    SDL_GL_SwapWindow(static_cast<SDL_Window*>(window_));
}

Matrix4 GlRenderer::GetTextureMatrix(int stage) {
    return stage >= 0 && stage < 8 ? textureMatrices_[stage] : Matrix4();
}

void GlRenderer::SetTextureMatrix(int stage, const Matrix4& matrix) {
    if (stage >= 0 && stage < 8) textureMatrices_[stage] = matrix;
}

// --- Lights ----------------------------------------------------------------------------------

void GlRenderer::EnableLight(Light* light) {
    const int index = GetLightCount() - 1;
    if (!context_ || index < 0 || index >= GetCaps().maxLights) return;
    const GLenum name = GLenum(GL_LIGHT0 + index);
    if (!light) {
        glDisable(name);
        return;
    }
    // Positions and directions are in world space: they are given under the view alone.
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view_.Data());
    auto color = [&](GLenum what, const Color& c) {
        const GLfloat v[4] = {c.r, c.g, c.b, c.a};
        glLightfv(name, what, v);
    };
    color(GL_AMBIENT, light->GetAmbient());
    color(GL_DIFFUSE, light->GetDiffuse());
    color(GL_SPECULAR, light->GetSpecular());
    const Vector3 direction = light->GetDirection();
    const Vector3 position = light->GetPosition();
    const int type = light->GetLightType();
    if (type == Light::kPoint || type == Light::kSpot) {
        const GLfloat at[4] = {position.x, position.y, position.z, 1};
        glLightfv(name, GL_POSITION, at);
        const Vector3 a = light->GetDeviceAttenuation();
        glLightf(name, GL_CONSTANT_ATTENUATION, a.x);
        glLightf(name, GL_LINEAR_ATTENUATION, a.y);
        glLightf(name, GL_QUADRATIC_ATTENUATION, a.z);
    } else {
        // GL points at the light; the engine gives where the light goes.
        const GLfloat towards[4] = {-direction.x, -direction.y, -direction.z, 0};
        glLightfv(name, GL_POSITION, towards);
        glLightf(name, GL_CONSTANT_ATTENUATION, 1);
        glLightf(name, GL_LINEAR_ATTENUATION, 0);
        glLightf(name, GL_QUADRATIC_ATTENUATION, 0);
    }
    if (type == Light::kSpot) {
        const GLfloat dir[3] = {direction.x, direction.y, direction.z};
        glLightfv(name, GL_SPOT_DIRECTION, dir);
        const float cutoff = light->GetOuterConeAngle() * 0.5f * 57.29578f;
        glLightf(name, GL_SPOT_CUTOFF, std::clamp(cutoff, 0.0f, 90.0f));
        glLightf(name, GL_SPOT_EXPONENT, std::clamp(light->GetFalloff(), 0.0f, 128.0f));
    } else {
        glLightf(name, GL_SPOT_CUTOFF, 180.0f);
    }
    glEnable(name);
    if (index == 0) glEnable(GL_LIGHTING);
}

void GlRenderer::DisableLight() {
    const int index = GetLightCount();
    if (!context_ || index < 0 || index >= GetCaps().maxLights) return;
    glDisable(GLenum(GL_LIGHT0 + index));
    if (index == 0) glDisable(GL_LIGHTING);
}

// --- Render targets --------------------------------------------------------------------------

GlRenderer::Resource* GlRenderer::TargetObject(BaseTexture* texture, Kind kind, int width, int height, int format,
                                               bool ownDepth) {
    if (!texture || !context_ || width <= 0 || height <= 0) return nullptr;
    const int32_t id = texture->GetId();
    Resource* found = Find(id);
    if (found && found->kind == kind && found->width == width && found->height == height &&
        (found->depth != 0) == ownDepth)
        return found;
    // A texture met before as an input (or at another size) is made again as a target.
    Resource& resource = Enter(id, kind, texture->GetResourceLink());
    resource.width = width;
    resource.height = height;
    resource.count = 1;
    glGetError();
    glGenTextures(1, &resource.name);
    resource.link->handle[0] = resource.name;
    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);

    if (kind == Kind::kShadowMap) {
        glBindTexture(GL_TEXTURE_2D, resource.name);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, width, height, 0, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT,
                     nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glGenFramebuffers(1, &resource.framebuffers[0]);
        glBindFramebuffer(GL_FRAMEBUFFER, resource.framebuffers[0]);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, resource.name, 0);
        glDrawBuffer(GL_NONE);
        glReadBuffer(GL_NONE);
    } else {
        // Colour formats by image kind; a lone alpha channel is not drawable, so it gets all four.
        GLenum internal = GL_RGBA8;
        if (format == Image::kRgb) internal = GL_RGB8;
        else if (format == Image::kWide) internal = GL_RGBA16F;
        const bool cube = kind == Kind::kCubeTarget;
        const GLenum target = cube ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
        glBindTexture(target, resource.name);
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        const int faces = cube ? 6 : 1;
        for (int face = 0; face < faces; ++face)
            glTexImage2D(cube ? GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face) : GL_TEXTURE_2D, 0, GLint(internal), width,
                         height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        // The lower levels follow level 0 each time the target is left (see PopTarget). A
        // texture that asks for one level gets none: the glow's full-screen targets are read at
        // level 0 only, and making their chains every frame costs milliseconds.
        if (texture->GetMipmapLevels() != 1) {
            glGenerateMipmap(target);
            resource.mipmapped = true;
            resource.count = FullChain(width, height);
        }
        if (ownDepth) {
            glGenRenderbuffers(1, &resource.depth);
            glBindRenderbuffer(GL_RENDERBUFFER, resource.depth);
            glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
        }
        glGenFramebuffers(faces, resource.framebuffers);
        for (int face = 0; face < faces; ++face) {
            glBindFramebuffer(GL_FRAMEBUFFER, resource.framebuffers[face]);
            glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                                   cube ? GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face) : GL_TEXTURE_2D, resource.name, 0);
            if (!ownDepth) continue;
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, resource.depth);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, resource.depth);
        }
    }
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previous));
    if (status != GL_FRAMEBUFFER_COMPLETE || glGetError() != GL_NO_ERROR) {
        LogError("Невозможно создать цель рендеринга [%s].", texture->GetName().GetText());
        // Every call after the refused one failed too; none of it is left for the next reader.
        for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
        }
        Release(id);
        return nullptr;
    }
    resource.link->dirty = 0;
    return &resource;
}

void GlRenderer::PushTarget(BaseTexture* texture, int face, GLuint framebuffer, int width, int height) {
    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    // The size of the target left behind comes back with it.
    const uintptr_t size = (uintptr_t(uint32_t(viewportWidth_)) << 16) | uintptr_t(uint32_t(viewportHeight_) & 0xFFFF);
    PushRenderTarget(texture, face, uintptr_t(previous), size);
    appliedBlock_ = nullptr;  // point sprites are sized by the viewport
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    viewportWidth_ = width;
    viewportHeight_ = height;
    glViewport(0, 0, width, height);
}

void GlRenderer::PopTarget() {
    RenderTarget popped;
    if (!PopRenderTarget(popped)) return;
    appliedBlock_ = nullptr;
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(popped.savedColor));
    // The back buffer, or the outer target when targets were nested.
    viewportWidth_ = int((popped.savedDepth >> 16) & 0xFFFF);
    viewportHeight_ = int(popped.savedDepth & 0xFFFF);
    if (GetRenderTargetDepth() == 0) {
        viewportWidth_ = backWidth_;
        viewportHeight_ = backHeight_;
    }
    glViewport(0, 0, viewportWidth_, viewportHeight_);
    // What was drawn reaches the lower levels, as automatic mip-map generation does.
    if (Resource* left = popped.texture ? Find(popped.texture->GetId()) : nullptr;
        left && left->mipmapped && (left->kind == Kind::kTarget || left->kind == Kind::kCubeTarget)) {
        const GLenum target = left->kind == Kind::kCubeTarget ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
        glBindTexture(target, left->name);
        glGenerateMipmap(target);
    }
}

void GlRenderer::SetRenderTarget(BaseTexture* texture) {
    if (!context_) return;
    if (!texture) {
        PopTarget();
        return;
    }
    const Image* image = nullptr;
    auto* plain = dynamic_cast<Texture*>(texture);
    if (plain) image = plain->GetImage();
    if (!image) return;
    // A texture whose first flag byte is 0 brings no depth surface: it draws with the one of
    // the target it is pushed over (the glow source against the captured scene's depth).
    const bool ownDepth = plain->GetFlags() != 0;
    BaseTexture* outer = GetTopRenderTarget();
    Resource* resource =
        TargetObject(texture, Kind::kTarget, image->GetWidth(), image->GetHeight(), image->GetFormat(), ownDepth);
    if (!resource) return;
    PushTarget(texture, 0, resource->framebuffers[0], resource->width, resource->height);
    if (!ownDepth) ShareDepth(outer, *resource);
}

void GlRenderer::ShareDepth(BaseTexture* outer, const Resource& target) {
    const Resource* from = outer ? Find(outer->GetId()) : nullptr;
    const bool fits = from && from->kind == Kind::kTarget && from->depth != 0 && from->width == target.width &&
                      from->height == target.height;
    const GLuint depth = fits ? from->depth : 0;
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);
}

void GlRenderer::SetCubeRenderTarget(int face, CubeTexture* texture) {
    if (!context_) return;
    if (!texture) {
        PopTarget();
        return;
    }
    const Image* image = texture->GetImage();
    if (!image || face < 0 || face > 5) return;
    Resource* resource =
        TargetObject(texture, Kind::kCubeTarget, image->GetWidth(), image->GetWidth(), image->GetFormat());
    if (resource) PushTarget(texture, face, resource->framebuffers[face], resource->width, resource->height);
}

void GlRenderer::SetShadowmapTarget(BaseTexture* texture, int depthBias, float slopeScaledBias) {
    if (!context_) return;
    if (!texture) {
        PopTarget();
        glPolygonOffset(0, 0);
        glDisable(GL_POLYGON_OFFSET_FILL);
        shadowBias_ = false;
        equalDepthOffset_ = false;
        return;
    }
    // Without a picture the map takes the current viewport's size.
    int width = viewportWidth_, height = viewportHeight_;
    if (auto* plain = dynamic_cast<Texture*>(texture); plain && plain->GetImage()) {
        width = plain->GetImage()->GetWidth();
        height = plain->GetImage()->GetHeight();
    } else if (Resource* known = Find(texture->GetId()); known && known->kind == Kind::kShadowMap) {
        width = known->width;
        height = known->height;
    }
    Resource* resource = TargetObject(texture, Kind::kShadowMap, width, height, 0);
    if (!resource) return;
    PushTarget(texture, 0, resource->framebuffers[0], resource->width, resource->height);
    // One unit of the depth bias is 2^-24 of the depth range, the offset unit of a 24-bit buffer.
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(slopeScaledBias, GLfloat(depthBias));
    shadowBias_ = true;
    equalDepthOffset_ = false;
}

void GlRenderer::SetViewport(const Vector2& position, const Vector2& size) {
    viewportWidth_ = int(size.x);
    viewportHeight_ = int(size.y);
    if (!context_) return;
    // The engine counts rows from the top, GL from the bottom.
    // The engine counts rows from the top, GL from the bottom; targets are already drawn flipped.
    const int y = GetRenderTargetDepth() > 0 ? int(position.y) : backHeight_ - int(position.y) - viewportHeight_;
    glViewport(int(position.x), y, viewportWidth_, viewportHeight_);
    glDepthRange(0, 1);
}

// --- Queries ---------------------------------------------------------------------------------

void GlRenderer::BeginQuery(Object* query) {
    if (!query || !context_ || !GetCaps().occlusionQueries) return;
    Resource* resource = Find(query->GetId());
    if (!resource) {
        resource = &resources_[query->GetId()];
        resource->kind = Kind::kQuery;
        glGenQueries(1, &resource->name);
    }
    glBeginQuery(GL_SAMPLES_PASSED, resource->name);
}

void GlRenderer::EndQuery(Object* query) {
    if (!query || !context_) return;
    Resource* resource = Find(query->GetId());
    if (!resource || resource->kind != Kind::kQuery) return;
    glEndQuery(GL_SAMPLES_PASSED);
    // Waits for the count, as the callers expect it at once.
    GLint samples = 0;
    glGetQueryObjectiv(resource->name, GL_QUERY_RESULT, &samples);
    resource->queryResult = samples;
}

int GlRenderer::GetQueryResult(const Object* query) const {
    if (!query) return -1;
    auto it = resources_.find(query->GetId());
    return it == resources_.end() || it->second.kind != Kind::kQuery ? -1 : it->second.queryResult;
}

bool GlRenderer::ReadFrame(int& width, int& height, std::vector<uint8_t>& rgba) {
    if (!context_) return false;
    width = viewportWidth_;
    height = viewportHeight_;
    rgba.assign(size_t(width) * size_t(height) * 4, 0);
    GLint framebuffer = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
    if (framebuffer == 0) glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    if (framebuffer != 0) {
        // A target holds its picture top row first.
        const size_t row = size_t(width) * 4;
        for (int r = 0; r < height / 2; ++r)
            std::swap_ranges(rgba.begin() + std::ptrdiff_t(size_t(r) * row),
                             rgba.begin() + std::ptrdiff_t(size_t(r + 1) * row),
                             rgba.begin() + std::ptrdiff_t(size_t(height - 1 - r) * row));
    }
    return glGetError() == GL_NO_ERROR;
}

// --- Gamma -----------------------------------------------------------------------------------

void GlRenderer::SetGamma(int brightness) {
    GammaRamp(brightness, gammaRamp_);
    bool identity = true;
    for (int i = 0; i < 256; ++i) identity = identity && gammaRamp_[i] == uint16_t(i * 256);
    // The window system's ramp where it takes effect; otherwise the finished frame is mapped.
    const bool shown = window_ && !foreignWindow_ &&
                       SDL_SetWindowGammaRamp(static_cast<SDL_Window*>(window_), gammaRamp_, gammaRamp_, gammaRamp_) == 0;
    gammaOnFrame_ = !shown && !identity;
    if (gammaOnFrame_ && context_ && gammaTextures_[1]) {
        glBindTexture(GL_TEXTURE_1D, gammaTextures_[1]);
        glTexImage1D(GL_TEXTURE_1D, 0, GL_LUMINANCE16, 256, 0, GL_LUMINANCE, GL_UNSIGNED_SHORT, gammaRamp_);
    }
}

void GlRenderer::ApplyGammaToFrame() {
    if (!gammaProgram_) {
        static const char* const kSource =
            "#version 120\n"
            "uniform sampler2D frame;\n"
            "uniform sampler1D ramp;\n"
            "float Map(float v) { return texture1D(ramp, (v * 255.0 + 0.5) / 256.0).r; }\n"
            "void main() {\n"
            "    vec3 c = texture2D(frame, gl_TexCoord[0].xy).rgb;\n"
            "    gl_FragColor = vec4(Map(c.r), Map(c.g), Map(c.b), 1.0);\n"
            "}\n";
        const GLuint shader = glCreateShader(GL_FRAGMENT_SHADER);
        glShaderSource(shader, 1, &kSource, nullptr);
        glCompileShader(shader);
        gammaProgram_ = glCreateProgram();
        glAttachShader(gammaProgram_, shader);
        glLinkProgram(gammaProgram_);
        glDeleteShader(shader);
        glGenTextures(2, gammaTextures_);
        glBindTexture(GL_TEXTURE_1D, gammaTextures_[1]);
        glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexImage1D(GL_TEXTURE_1D, 0, GL_LUMINANCE16, 256, 0, GL_LUMINANCE, GL_UNSIGNED_SHORT, gammaRamp_);
        glBindTexture(GL_TEXTURE_2D, gammaTextures_[0]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    }
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_1D, gammaTextures_[1]);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, gammaTextures_[0]);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, 0, 0, backWidth_, backHeight_, 0);
    glViewport(0, 0, backWidth_, backHeight_);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_FOG);
    glDisable(GL_LIGHTING);
    glDisable(GL_STENCIL_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glUseProgram(gammaProgram_);
    glUniform1i(glGetUniformLocation(gammaProgram_, "frame"), 0);
    glUniform1i(glGetUniformLocation(gammaProgram_, "ramp"), 1);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glBegin(GL_TRIANGLE_STRIP);
    glTexCoord2f(0, 0); glVertex2f(-1, -1);
    glTexCoord2f(1, 0); glVertex2f(1, -1);
    glTexCoord2f(0, 1); glVertex2f(-1, 1);
    glTexCoord2f(1, 1); glVertex2f(1, 1);
    glEnd();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glUseProgram(0);
    programInUse_ = false;
    glPopAttrib();
}

} // namespace nuv
