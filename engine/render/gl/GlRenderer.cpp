#include "core/Status.h"
#include "render/gl/GlRenderer.h"
#include "render/gl/GlSupport.h"

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
    if (GetWindow() && Close() != kStatusOk) LogError("Невозможно закрыть окно рендеринга.");
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
    if (!mode || !window_) return kStatusFailed;
    SDL_Window* window = static_cast<SDL_Window*>(window_);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, 0);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        LogError("SDL: %s", SDL_GetError());
        window_ = nullptr;
        return kStatusFailed;
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
    const char* rendererName = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    LogInfo("Vendor [%s]", rendererName);
    softwareRasterizer_ = GlSupport::IsSoftwareRasterizer(rendererName);
    LogInfo("Driver [%s %s]", reinterpret_cast<const char*>(glGetString(GL_VENDOR)),
            reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    ReadCapabilities(*mode);
    SetDefaultState();
    // Version probes below 3.0 leave an error behind; later checks start from a clean state.
    while (glGetError() != GL_NO_ERROR) {
    }
    return kStatusOk;
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
    LogInfo("Volume Textures [%s]", GlSupport::TrueFalse(caps.volumeTextures));
    LogInfo("Cube Textures [%s]", GlSupport::TrueFalse(caps.cubeTextures));
    LogInfo("Projected Textures [%s]", GlSupport::TrueFalse(caps.projectedTextures));

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
    LogInfo("Point Sprites [%s]", GlSupport::TrueFalse(caps.pointSprites));
    GLint queryBits = 0;
    if (version >= 15) glGetQueryiv(GL_SAMPLES_PASSED, GL_QUERY_COUNTER_BITS, &queryBits);
    caps.occlusionQueries = queryBits > 0 ? 1 : 0;
    LogInfo("Occlusion Query [%s]", GlSupport::TrueFalse(caps.occlusionQueries));
    timerQueries_ = version >= 33 || epoxy_has_gl_extension("GL_ARB_timer_query");
    const bool fbo = version >= 30 || epoxy_has_gl_extension("GL_ARB_framebuffer_object");
    caps.shadowMaps = fbo && (version >= 14 || epoxy_has_gl_extension("GL_ARB_shadow")) ? 1 : 0;
    LogInfo("Hardware Shadowmaps [%s]", GlSupport::TrueFalse(caps.shadowMaps));
    caps.halfFloatTextures = fbo && (version >= 30 || epoxy_has_gl_extension("GL_ARB_texture_float")) ? 1 : 0;
    LogInfo("A16B16G16R16F Textures [%s]", GlSupport::TrueFalse(caps.halfFloatTextures));
    // Mip-maps of render targets are generated after each pop wherever framebuffer objects are,
    // except on a software rasteriser: there the chain is drawn level by level on the CPU every
    // time the target is left (the ice's reflection, read at about its own size, spent a
    // fifteenth of each frame on lower levels it hardly samples).
    for (int i = 0; i < 8; ++i) caps.mipmapGeneration[i] = fbo && !softwareRasterizer_ ? 1 : 0;
    static const char* const kKinds[4] = {"A8", "A16B16G16R16", "R8G8B8", "R8G8B8A8"};
    for (int i = 0; i < 4; ++i)
        LogInfo("%s RenderTarget Textures MipMap Autogen support[%s]", kKinds[i], GlSupport::TrueFalse(caps.mipmapGeneration[i]));
    for (int i = 0; i < 4; ++i)
        LogInfo("%s CubeRenderTarget Textures MipMap Autogen support[%s]", kKinds[i],
                GlSupport::TrueFalse(caps.mipmapGeneration[4 + i]));
    const bool s3tc = epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc");
    for (int i = 0; i < 5; ++i) {
        caps.dxt[i] = s3tc ? 1 : 0;
        LogInfo("DXT%d texture compression support[%s]", i + 1, GlSupport::TrueFalse(caps.dxt[i]));
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
    if (!context_) return kStatusOk;
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
    return kStatusOk;
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

} // namespace nuv
