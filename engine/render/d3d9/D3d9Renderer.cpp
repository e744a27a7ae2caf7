#include "render/d3d9/D3d9Renderer.h"

#include "core/ColorBuffer.h"
#include "core/FloatBuffer.h"
#include "core/IntBuffer.h"
#include "core/Log.h"
#include "core/Vector3Buffer.h"
#include "core/Vector4Buffer.h"
#include "media/image/Image.h"
#include "media/image/VolumeImage.h"
#include "render/CubeTexture.h"
#include "render/Pass.h"
#include "render/PixelShader.h"
#include "render/Shader.h"
#include "render/Texture.h"
#include "render/VertexShader.h"
#include "render/VolumeTexture.h"
#include "render/d3d9/D3d9StateMapping.h"
#include "scene/GeometryNode.h"
#include "scene/Light.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace nuv {

namespace {

std::string gAssemblerLibrary = D3dxLibrary::kDefaultName;

const char* TrueFalse(bool value) {
    return value ? "true" : "false";
}

template <class T>
void SafeRelease(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

struct FormatBits {
    D3DFORMAT format;
    int color, red, green, blue, alpha;
};
const FormatBits kBackFormats[] = {
    {D3DFMT_A8R8G8B8, 32, 8, 8, 8, 8},    {D3DFMT_X8R8G8B8, 32, 8, 8, 8, 0}, {D3DFMT_A2R10G10B10, 32, 10, 10, 10, 2},
    {D3DFMT_R5G6B5, 16, 5, 6, 5, 0},      {D3DFMT_A1R5G5B5, 16, 5, 5, 5, 1}, {D3DFMT_X1R5G5B5, 16, 5, 5, 5, 0},
};
const D3DFORMAT kAdapterFormats[] = {D3DFMT_X8R8G8B8, D3DFMT_X1R5G5B5, D3DFMT_R5G6B5, D3DFMT_A2R10G10B10};
struct DepthBits {
    D3DFORMAT format;
    int depth, stencil;
};
const DepthBits kDepthFormats[] = {{D3DFMT_D24S8, 24, 8}, {D3DFMT_D24X4S4, 24, 4}, {D3DFMT_D15S1, 15, 1},
                                   {D3DFMT_D24X8, 24, 0}, {D3DFMT_D32, 32, 0},    {D3DFMT_D16, 16, 0}};

// Back-buffer and adapter formats of a mode's bits; D3DFMT_UNKNOWN when none fits.
void FormatsOf(const DisplayMode& mode, D3DFORMAT& back, D3DFORMAT& adapter) {
    back = adapter = D3DFMT_UNKNOWN;
    if (mode.colorBits == 16) {
        back = mode.alphaBits == 1 ? D3DFMT_A1R5G5B5 : mode.greenBits == 5 ? D3DFMT_X1R5G5B5 : D3DFMT_R5G6B5;
        adapter = mode.alphaBits == 1 ? D3DFMT_X1R5G5B5 : back;
    } else if (mode.colorBits == 32) {
        back = mode.alphaBits == 2 ? D3DFMT_A2R10G10B10 : mode.alphaBits == 8 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
        adapter = mode.alphaBits == 8 ? D3DFMT_X8R8G8B8 : back;
    }
}

D3DFORMAT DepthFormatOf(const DisplayMode& mode) {
    for (const DepthBits& d : kDepthFormats)
        if (d.depth == mode.depthBits && d.stencil == mode.stencilBits) return d.format;
    return D3DFMT_D24S8;
}

// Sampled formats by image kind: colour, colour with alpha, alpha only.
D3DFORMAT SampledFormat(int format) {
    switch (format) {
    case Image::kRgb: return D3DFMT_X8R8G8B8;
    case Image::kRgba: return D3DFMT_A8R8G8B8;
    case Image::kOneChannel: return D3DFMT_A8;
    default: return D3DFMT_UNKNOWN;
    }
}

int FullChain(int width, int height, int depth = 1) {
    int levels = 1;
    for (int size = std::max({width, height, depth}); size > 1; size >>= 1) ++levels;
    return levels;
}

// One level of texels in device order: rows top first (image rows run bottom first), colours
// as B, G, R, A (255 for pictures without alpha), alpha-only bytes as they are.
struct Texels {
    int width = 0;
    int height = 0;
    int bytes = 4;
    std::vector<uint8_t> data;
};

Texels FromImage(const uint8_t* pixels, int width, int height, int format) {
    Texels t;
    t.width = width;
    t.height = height;
    t.bytes = format == Image::kOneChannel ? 1 : 4;
    t.data.resize(size_t(width) * size_t(height) * size_t(t.bytes));
    const int in = Image::GetBytesPerPixel(format);
    for (int r = 0; r < height; ++r) {
        const uint8_t* src = pixels + size_t(r) * size_t(width) * size_t(in);
        uint8_t* dst = t.data.data() + size_t(height - 1 - r) * size_t(width) * size_t(t.bytes);
        for (int x = 0; x < width; ++x, src += in, dst += t.bytes) {
            if (t.bytes == 1) {
                dst[0] = src[0];
                continue;
            }
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            dst[3] = format == Image::kRgba ? src[3] : 255;
        }
    }
    return t;
}

// The next level down: each texel the mean of the (up to) four above it.
Texels HalfSize(const Texels& t) {
    Texels h;
    h.width = std::max(1, t.width / 2);
    h.height = std::max(1, t.height / 2);
    h.bytes = t.bytes;
    h.data.resize(size_t(h.width) * size_t(h.height) * size_t(h.bytes));
    for (int y = 0; y < h.height; ++y)
        for (int x = 0; x < h.width; ++x)
            for (int c = 0; c < h.bytes; ++c) {
                int sum = 0, n = 0;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx) {
                        const int sx = std::min(x * 2 + dx, t.width - 1), sy = std::min(y * 2 + dy, t.height - 1);
                        sum += t.data[(size_t(sy) * size_t(t.width) + size_t(sx)) * size_t(t.bytes) + size_t(c)];
                        ++n;
                    }
                h.data[(size_t(y) * size_t(h.width) + size_t(x)) * size_t(h.bytes) + size_t(c)] = uint8_t(sum / n);
            }
    return h;
}

bool CopyToRect(const D3DLOCKED_RECT& rect, const Texels& t) {
    if (!rect.pBits) return false;
    const size_t row = size_t(t.width) * size_t(t.bytes);
    for (int y = 0; y < t.height; ++y)
        std::memcpy(static_cast<uint8_t*>(rect.pBits) + size_t(y) * size_t(rect.Pitch), t.data.data() + size_t(y) * row,
                    row);
    return true;
}

bool FillTexture(IDirect3DTexture9* texture, Texels level) {
    const DWORD levels = texture->GetLevelCount();
    for (DWORD l = 0; l < levels; ++l) {
        D3DLOCKED_RECT rect{};
        if (FAILED(texture->LockRect(l, &rect, nullptr, 0))) return false;
        const bool copied = CopyToRect(rect, level);
        texture->UnlockRect(l);
        if (!copied) return false;
        if (l + 1 < levels) level = HalfSize(level);
    }
    return true;
}

// The stencil and depth of the fixed-function light of an engine light.
D3DCOLORVALUE Value(const Color& c) {
    return {c.r, c.g, c.b, c.a};
}

} // namespace

void D3d9Renderer::SetAssemblerLibrary(const char* name) {
    gAssemblerLibrary = name ? name : D3dxLibrary::kDefaultName;
}

void D3d9Renderer::LevelsFromVersions(DWORD vertexVersion, DWORD pixelVersion, int32_t& vertexLevel,
                                      int32_t& pixelLevel) {
    const DWORD vs = vertexVersion & 0xFFFFu, ps = pixelVersion & 0xFFFFu;
    vertexLevel = vs == 0x0101 ? 0 : vs == 0x0200 ? 1 : vs == 0x0300 ? 2 : RendererCaps::kLevelNone;
    pixelLevel = ps >= 0x0101 && ps <= 0x0104 ? 0 : ps == 0x0200 ? 1 : ps == 0x0300 ? 2 : RendererCaps::kLevelNone;
    if (pixelLevel == RendererCaps::kLevelNone) vertexLevel = RendererCaps::kLevelNone;
}

bool D3d9Renderer::PointSpritesFrom(float maxPointSize, bool perVertexSize) {
    return maxPointSize > 8000.0f && perVertexSize;
}

bool D3d9Renderer::UsesLongIndices(DWORD maxVertexIndex) {
    return maxVertexIndex > 65536u;
}

D3d9Renderer::D3d9Renderer() {
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d_) {
        LogError("Невозможно создать экземпляр D3D9.");
        return;
    }
    if (!d3dx_.Open(gAssemblerLibrary.c_str()))
        LogWarning("Библиотека %s недоступна: шейдеры не собираются, работают техники без шейдеров.",
                   gAssemblerLibrary.c_str());
    BuildModes();
}

D3d9Renderer::~D3d9Renderer() {
    if (GetWindow() && Close() != 0) LogError("Невозможно закрыть окно рендеринга.");
    DestroyDevice();
    SafeRelease(d3d_);
}

void D3d9Renderer::BuildModes() {
    struct Found {
        UINT width, height;
        int format;  // index into kAdapterFormats
    };
    std::vector<Found> found;
    for (int f = 0; f < 4; ++f) {
        const UINT count = d3d_->GetAdapterModeCount(D3DADAPTER_DEFAULT, kAdapterFormats[f]);
        for (UINT i = 0; i < count; ++i) {
            D3DDISPLAYMODE mode{};
            if (SUCCEEDED(d3d_->EnumAdapterModes(D3DADAPTER_DEFAULT, kAdapterFormats[f], i, &mode)))
                found.push_back({mode.Width, mode.Height, f});
        }
    }
    // Unique by size and format (refresh rates merged), sorted by width, height, format.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.width != b.width ? a.width < b.width : a.height != b.height ? a.height < b.height : a.format < b.format;
    });
    found.erase(std::unique(found.begin(), found.end(),
                            [](const Found& a, const Found& b) {
                                return a.width == b.width && a.height == b.height && a.format == b.format;
                            }),
                found.end());
    D3DDISPLAYMODE desktop{};
    const bool haveDesktop = SUCCEEDED(d3d_->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop));
    int defaultMode = -1;
    static const D3DMULTISAMPLE_TYPE kSamples[] = {
        D3DMULTISAMPLE_NONE,       D3DMULTISAMPLE_2_SAMPLES,  D3DMULTISAMPLE_3_SAMPLES,  D3DMULTISAMPLE_4_SAMPLES,
        D3DMULTISAMPLE_5_SAMPLES,  D3DMULTISAMPLE_6_SAMPLES,  D3DMULTISAMPLE_7_SAMPLES,  D3DMULTISAMPLE_8_SAMPLES,
        D3DMULTISAMPLE_9_SAMPLES,  D3DMULTISAMPLE_10_SAMPLES, D3DMULTISAMPLE_11_SAMPLES, D3DMULTISAMPLE_12_SAMPLES,
        D3DMULTISAMPLE_13_SAMPLES, D3DMULTISAMPLE_14_SAMPLES, D3DMULTISAMPLE_15_SAMPLES, D3DMULTISAMPLE_16_SAMPLES};
    for (int f = 0; f < 4; ++f) {
        const D3DFORMAT adapter = kAdapterFormats[f];
        if (std::none_of(found.begin(), found.end(), [f](const Found& m) { return m.format == f; })) continue;
        for (const FormatBits& back : kBackFormats)
            for (int windowed = 0; windowed < 2; ++windowed) {
                if (FAILED(d3d_->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, adapter, back.format, windowed)))
                    continue;
                for (const DepthBits& depth : kDepthFormats) {
                    if (FAILED(d3d_->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, adapter,
                                                       D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, depth.format)) ||
                        FAILED(d3d_->CheckDepthStencilMatch(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, adapter, back.format,
                                                            depth.format)))
                        continue;
                    for (int s = 0; s < 16; ++s) {
                        if (FAILED(d3d_->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, back.format,
                                                                    windowed, kSamples[s], nullptr)))
                            continue;
                        DisplayMode record;
                        record.colorBits = back.color;
                        record.redBits = back.red;
                        record.greenBits = back.green;
                        record.blueBits = back.blue;
                        record.alphaBits = back.alpha;
                        record.depthBits = depth.depth;
                        record.stencilBits = depth.stencil;
                        record.sampleCount = s + 1;
                        if (windowed) {
                            record.fullScreen = 0;
                            AddMode(record);
                            continue;
                        }
                        record.fullScreen = 1;
                        for (const Found& m : found) {
                            if (m.format != f) continue;
                            record.width = int32_t(m.width);
                            record.height = int32_t(m.height);
                            if (defaultMode < 0 && haveDesktop && m.width == desktop.Width &&
                                m.height == desktop.Height && adapter == desktop.Format)
                                defaultMode = GetModeCount();
                            AddMode(record);
                        }
                    }
                }
            }
    }
    SetDefaultMode(defaultMode);
}

bool D3d9Renderer::FillPresentation(const DisplayMode& mode, int width, int height, void* window) {
    D3DFORMAT back = D3DFMT_UNKNOWN;
    FormatsOf(mode, back, adapterFormat_);
    if (back == D3DFMT_UNKNOWN) return false;
    depthFormat_ = DepthFormatOf(mode);
    presentation_ = D3DPRESENT_PARAMETERS{};
    presentation_.BackBufferWidth = UINT(mode.fullScreen ? mode.width : width);
    presentation_.BackBufferHeight = UINT(mode.fullScreen ? mode.height : height);
    presentation_.BackBufferFormat = back;
    presentation_.BackBufferCount = 1;
    presentation_.MultiSampleType = mode.sampleCount > 1 ? D3DMULTISAMPLE_TYPE(mode.sampleCount) : D3DMULTISAMPLE_NONE;
    presentation_.MultiSampleQuality = 0;
    presentation_.SwapEffect = D3DSWAPEFFECT_DISCARD;
    presentation_.hDeviceWindow = static_cast<HWND>(window);
    presentation_.Windowed = mode.fullScreen ? FALSE : TRUE;
    presentation_.EnableAutoDepthStencil = TRUE;
    presentation_.AutoDepthStencilFormat = depthFormat_;
    presentation_.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    return true;
}

int D3d9Renderer::CreateDevice(int modeIndex, const String& /*title*/, void* /*parentWindow*/, int /*x*/, int /*y*/,
                               int width, int height) {
    const DisplayMode* mode = GetMode(modeIndex);
    HWND window = static_cast<HWND>(GetWindow());
    if (!d3d_ || !mode || !window) return 1;
    if (!mode->fullScreen && (width <= 0 || height <= 0)) {
        RECT client{};
        GetClientRect(window, &client);
        width = client.right - client.left;
        height = client.bottom - client.top;
    }
    if (!FillPresentation(*mode, width, height, window)) return 1;
    // The engine keeps its time in doubles: the device must leave the FPU's precision alone.
    const DWORD flags = D3DCREATE_FPU_PRESERVE;
    facts_ = DeviceFacts{};
    HRESULT hr = d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                    flags | D3DCREATE_HARDWARE_VERTEXPROCESSING, &presentation_, &device_);
    facts_.hardwareVertexProcessing = SUCCEEDED(hr);
    if (FAILED(hr))
        hr = d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                flags | D3DCREATE_SOFTWARE_VERTEXPROCESSING, &presentation_, &device_);
    if (FAILED(hr) || !device_) {
        device_ = nullptr;
        return 1;
    }
    lost_ = false;
    backWidth_ = viewportWidth_ = int(presentation_.BackBufferWidth);
    backHeight_ = viewportHeight_ = int(presentation_.BackBufferHeight);
    LogInfo(facts_.hardwareVertexProcessing ? "Created HARDWARE VERTEXPROCESSING" : "Created SOFTWARE VERTEXPROCESSING");
    LogInfo("COLOR BPP %d", mode->colorBits);
    LogInfo("Alpha BPP %d", mode->alphaBits);
    LogInfo("Depth BPP %d", mode->depthBits);
    LogInfo("Stencil BPP %d", mode->stencilBits);
    LogInfo("Samples %d", mode->sampleCount);
    D3DADAPTER_IDENTIFIER9 identifier{};
    d3d_->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &identifier);
    identifier.Description[sizeof identifier.Description - 1] = '\0';
    identifier.Driver[sizeof identifier.Driver - 1] = '\0';
    LogInfo("Vendor [%s]", identifier.Description);
    LogInfo("Driver [%s]", identifier.Driver);
    ReadCapabilities(*mode);
    SetDefaultState();
    return 0;
}

void D3d9Renderer::ReadCapabilities(const DisplayMode& /*mode*/) {
    D3DCAPS9 dc{};
    device_->GetDeviceCaps(&dc);
    RendererCaps caps;
    caps.shadingLanguage = RendererCaps::kLanguageAssembly;
    caps.textureUnits = int32_t(std::min<DWORD>(dc.MaxSimultaneousTextures, RenderStateBlock::kStageCount));
    caps.maxLights = int32_t(dc.MaxActiveLights);
    caps.volumeTextures = (dc.TextureCaps & D3DPTEXTURECAPS_VOLUMEMAP) ? 1 : 0;
    caps.cubeTextures = (dc.TextureCaps & D3DPTEXTURECAPS_CUBEMAP) ? 1 : 0;
    caps.projectedTextures = (dc.TextureCaps & D3DPTEXTURECAPS_PROJECTED) ? 1 : 0;
    LogInfo("Simultaneous Textures [%d]", caps.textureUnits);
    LogInfo("Max Active Lights [%d]", caps.maxLights);
    LogInfo("Volume Textures [%s]", TrueFalse(caps.volumeTextures));
    LogInfo("Cube Textures [%s]", TrueFalse(caps.cubeTextures));
    LogInfo("Projected Textures [%s]", TrueFalse(caps.projectedTextures));

    facts_.vertexShaderVersion = dc.VertexShaderVersion;
    facts_.pixelShaderVersion = dc.PixelShaderVersion;
    facts_.maxPointSize = dc.MaxPointSize;
    facts_.pointSizePerVertex = (dc.FVFCaps & D3DFVFCAPS_PSIZE) != 0;
    facts_.maxVertexIndex = dc.MaxVertexIndex;
    LevelsFromVersions(dc.VertexShaderVersion, dc.PixelShaderVersion, caps.vertexLevel, caps.pixelLevel);
    // Without the assembler no program can be made: the fixed-function techniques run.
    if (!d3dx_.IsOpen()) caps.vertexLevel = caps.pixelLevel = RendererCaps::kLevelNone;
    LogInfo("VERTEX SHADER %d", caps.vertexLevel);
    LogInfo("PIXEL SHADER %d", caps.pixelLevel);

    caps.pointSprites = PointSpritesFrom(dc.MaxPointSize, facts_.pointSizePerVertex) ? 1 : 0;
    LogInfo("Point Sprites [%s]", TrueFalse(caps.pointSprites));
    IDirect3DQuery9* query = nullptr;
    caps.occlusionQueries = SUCCEEDED(device_->CreateQuery(D3DQUERYTYPE_OCCLUSION, &query)) && query ? 1 : 0;
    SafeRelease(query);
    LogInfo("Occlusion Query [%s]", TrueFalse(caps.occlusionQueries));
    auto check = [&](DWORD usage, D3DRESOURCETYPE type, D3DFORMAT format) {
        return d3d_->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, adapterFormat_, usage, type, format);
    };
    caps.shadowMaps = SUCCEEDED(check(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_TEXTURE, depthFormat_)) ? 1 : 0;
    LogInfo("Hardware Shadowmaps [%s]", TrueFalse(caps.shadowMaps));
    caps.halfFloatTextures = SUCCEEDED(check(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_A16B16G16R16F)) ? 1 : 0;
    LogInfo("A16B16G16R16F Textures [%s]", TrueFalse(caps.halfFloatTextures));
    static const D3DFORMAT kTargetFormats[4] = {D3DFMT_A8, D3DFMT_A16B16G16R16F, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8};
    if (dc.Caps2 & D3DCAPS2_CANAUTOGENMIPMAP)
        for (int i = 0; i < 8; ++i) {
            // A refused format is no more supported than one without generation.
            const HRESULT hr = check(D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP,
                                     i < 4 ? D3DRTYPE_TEXTURE : D3DRTYPE_CUBETEXTURE, kTargetFormats[i % 4]);
            caps.mipmapGeneration[i] = hr == D3D_OK ? 1 : 0;
        }
    static const char* const kKinds[4] = {"A8", "A16B16G16R16", "R8G8B8", "R8G8B8A8"};
    for (int i = 0; i < 4; ++i)
        LogInfo("%s RenderTarget Textures MipMap Autogen support[%s]", kKinds[i], TrueFalse(caps.mipmapGeneration[i]));
    for (int i = 0; i < 4; ++i)
        LogInfo("%s CubeRenderTarget Textures MipMap Autogen support[%s]", kKinds[i],
                TrueFalse(caps.mipmapGeneration[4 + i]));
    static const D3DFORMAT kDxt[5] = {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5};
    for (int i = 0; i < 5; ++i) {
        // Compressing needs the library's converter.
        caps.dxt[i] = SUCCEEDED(check(0, D3DRTYPE_TEXTURE, kDxt[i])) ? 1 : 0;
        LogInfo("DXT%d texture compression support[%s]", i + 1, TrueFalse(caps.dxt[i]));
    }
    SetDeviceCaps(caps);
}

void D3d9Renderer::SetDefaultState() {
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    device_->SetRenderState(D3DRS_AMBIENT, 0);
    device_->SetRenderState(D3DRS_LOCALVIEWER, TRUE);
    device_->SetRenderState(D3DRS_COLORVERTEX, TRUE);
    // The material stays the source of the lit colours; vertex colours colour unlit geometry.
    device_->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    device_->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    device_->SetRenderState(D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL);
    device_->SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL);
    device_->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(world_.Data()));
    device_->SetTransform(D3DTS_VIEW, reinterpret_cast<const D3DMATRIX*>(view_.Data()));
    device_->SetTransform(D3DTS_PROJECTION, reinterpret_cast<const D3DMATRIX*>(projection_.Data()));
    appliedBlock_ = nullptr;
    ForgetDrawState();
    shadowBias_ = false;
    equalDepthOffset_ = false;
}

int D3d9Renderer::DestroyDevice() {
    if (!device_) return 0;
    while (GetRenderTargetDepth() > 0) PopTarget();
    ReleaseAll();
    SafeRelease(device_);
    return 0;
}

bool D3d9Renderer::ResetDevice() {
    if (!device_) return false;
    ReleaseDefaultPool();
    if (FAILED(device_->Reset(&presentation_))) return false;
    lost_ = false;
    backWidth_ = viewportWidth_ = int(presentation_.BackBufferWidth);
    backHeight_ = viewportHeight_ = int(presentation_.BackBufferHeight);
    SetDefaultState();
    return true;
}

// --- The cache -------------------------------------------------------------------------------

bool D3d9Renderer::InDefaultPool(Kind kind) {
    // Render targets, shadow maps, their depth surfaces, queries and recorded states go with a
    // reset; managed buffers and textures, and shaders, survive it.
    return kind == Kind::kTarget || kind == Kind::kCubeTarget || kind == Kind::kShadowMap || kind == Kind::kQuery ||
           kind == Kind::kState;
}

int D3d9Renderer::GetDefaultPoolCount() const {
    return int(std::count_if(resources_.begin(), resources_.end(),
                             [](const auto& entry) { return InDefaultPool(entry.second.kind); }));
}

D3d9Renderer::Resource* D3d9Renderer::Find(int32_t id) {
    auto it = resources_.find(id);
    return it == resources_.end() ? nullptr : &it->second;
}

D3d9Renderer::Resource& D3d9Renderer::Enter(int32_t id, Kind kind, ResourceLink* link) {
    Release(id);
    Resource& resource = resources_[id];
    resource.kind = kind;
    resource.link = link;
    if (link) link->renderer = this;
    return resource;
}

void D3d9Renderer::Release(int32_t id) {
    auto it = resources_.find(id);
    if (it == resources_.end()) return;
    Resource resource = it->second;
    resources_.erase(it);
    if (indices_ && indices_->object == resource.object) indices_ = nullptr;
    for (Stream& stream : streams_)
        if (stream.buffer && stream.buffer->object == resource.object) stream = Stream{};
    // Programs belong to the text cache, shared by every shader with that text.
    if (resource.kind != Kind::kVertexShader && resource.kind != Kind::kPixelShader) SafeRelease(resource.object);
    SafeRelease(resource.depth);
    if (resource.link) {
        resource.link->handle[0] = resource.link->handle[1] = 0;
        resource.link->dirty = 1;
        // Last: the link may hold the last reference on this renderer.
        Pointer<DeviceResourceCache> keep = std::move(resource.link->renderer);
    }
}

void D3d9Renderer::ReleaseDefaultPool() {
    Pointer<DeviceResourceCache> self(GetReferenceCount() > 0 ? this : nullptr);
    while (GetRenderTargetDepth() > 0) PopTarget();
    std::vector<int32_t> ids;
    for (const auto& entry : resources_)
        if (InDefaultPool(entry.second.kind)) ids.push_back(entry.first);
    for (int32_t id : ids) Release(id);
    block_ = nullptr;
    appliedBlock_ = nullptr;
    for (BaseTexture*& texture : boundTextures_) texture = nullptr;
}

void D3d9Renderer::ReleaseAll() {
    Pointer<DeviceResourceCache> self(GetReferenceCount() > 0 ? this : nullptr);
    while (!resources_.empty()) Release(resources_.begin()->first);
    for (auto& program : programs_) SafeRelease(program.second);
    programs_.clear();
    for (auto& layout : layouts_) SafeRelease(layout.second);
    layouts_.clear();
    indices_ = nullptr;
    for (Stream& stream : streams_) stream = Stream{};
    block_ = nullptr;
    appliedBlock_ = nullptr;
    for (BaseTexture*& texture : boundTextures_) texture = nullptr;
    vertexShader_ = pixelShader_ = nullptr;
}

void D3d9Renderer::ReleaseBuffer(Buffer& buffer) {
    Release(buffer.GetId());
}

void D3d9Renderer::ReleaseTexture(BaseTexture& texture) {
    for (BaseTexture*& bound : boundTextures_)
        if (bound == &texture) bound = nullptr;
    Release(texture.GetId());
}

void D3d9Renderer::ReleaseShader(Shader& shader) {
    if (Resource* resource = Find(shader.GetId())) {
        if (vertexShader_ == resource->object) vertexShader_ = nullptr;
        if (pixelShader_ == resource->object) pixelShader_ = nullptr;
    }
    Release(shader.GetId());
}

void D3d9Renderer::ReleasePass(Pass& pass) {
    // The recorded state belongs to the pass's block, released with it or when the pass is dirty.
    if (block_ == pass.GetStateBlock()) block_ = nullptr;
    if (appliedBlock_ == pass.GetStateBlock()) appliedBlock_ = nullptr;
    Release(pass.GetId());
}

void D3d9Renderer::ReleaseResource(Object& object) {
    if (block_ == static_cast<Object*>(&object)) block_ = nullptr;
    if (appliedBlock_ == static_cast<Object*>(&object)) appliedBlock_ = nullptr;
    Release(object.GetId());
}

// --- Buffers ---------------------------------------------------------------------------------

D3d9Renderer::Resource* D3d9Renderer::BufferObject(Buffer* buffer, bool indices) {
    if (!buffer || buffer->GetCount() <= 0 || !buffer->GetData() || !device_) return nullptr;
    const int32_t id = buffer->GetId();
    Resource* resource = Find(id);
    const Kind kind = indices ? Kind::kIndexBuffer : Kind::kVertexBuffer;
    const bool colors = !indices && DynamicCast<ColorBuffer>(buffer) != nullptr;
    const int count = buffer->GetCount();
    const bool longIndices = UsesLongIndices(facts_.maxVertexIndex);
    const int components = colors ? 0 : buffer->GetDataSize() / count / int(sizeof(float));
    const UINT bytes = indices ? UINT(count * (longIndices ? 4 : 2)) : UINT(colors ? count * 4 : buffer->GetDataSize());
    if (resource && (resource->kind != kind || resource->count != count || resource->components != components)) {
        Release(id);
        resource = nullptr;
    }
    if (!resource) {
        IUnknown* object = nullptr;
        HRESULT hr = E_FAIL;
        if (indices) {
            IDirect3DIndexBuffer9* ib = nullptr;
            hr = device_->CreateIndexBuffer(bytes, D3DUSAGE_WRITEONLY, longIndices ? D3DFMT_INDEX32 : D3DFMT_INDEX16,
                                            D3DPOOL_MANAGED, &ib, nullptr);
            object = ib;
        } else {
            IDirect3DVertexBuffer9* vb = nullptr;
            hr = device_->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vb, nullptr);
            object = vb;
        }
        if (FAILED(hr) || !object) return nullptr;
        resource = &Enter(id, kind, &buffer->GetResourceLink());
        resource->object = object;
        resource->count = count;
        resource->components = indices ? (longIndices ? 4 : 2) : components;
        resource->link->handle[0] = reinterpret_cast<uintptr_t>(object);
        resource->link->dirty = 1;
    }
    if (!resource->link->dirty) return resource;
    void* target = nullptr;
    const HRESULT locked = indices ? static_cast<IDirect3DIndexBuffer9*>(resource->object)->Lock(0, 0, &target, 0)
                                   : static_cast<IDirect3DVertexBuffer9*>(resource->object)->Lock(0, 0, &target, 0);
    if (FAILED(locked) || !target) return resource;
    if (indices) {
        const int32_t* source = static_cast<IntBuffer*>(buffer)->GetElements();
        if (longIndices) {
            std::memcpy(target, source, size_t(count) * 4);
        } else {
            // Each index keeps its low 16 bits on a device that reads no more.
            auto* shorts = static_cast<uint16_t*>(target);
            for (int i = 0; i < count; ++i) shorts[i] = uint16_t(uint32_t(source[i]) & 0xFFFFu);
        }
        static_cast<IDirect3DIndexBuffer9*>(resource->object)->Unlock();
    } else {
        if (colors) {
            const Color* source = static_cast<ColorBuffer*>(buffer)->GetElements();
            auto* argb = static_cast<D3DCOLOR*>(target);
            for (int i = 0; i < count; ++i) argb[i] = D3d9StateMapping::Argb(source[i]);
        } else {
            std::memcpy(target, buffer->GetData(), size_t(buffer->GetDataSize()));
        }
        static_cast<IDirect3DVertexBuffer9*>(resource->object)->Unlock();
    }
    resource->link->dirty = 0;
    return resource;
}

void D3d9Renderer::Bind(StreamSlot slot, Buffer* buffer, BYTE usage, BYTE usageIndex, bool colors) {
    Resource* resource = BufferObject(buffer, false);
    Stream& stream = streams_[slot];
    stream = Stream{};
    if (!resource) return;
    static const BYTE kFloatTypes[5] = {D3DDECLTYPE_UNUSED, D3DDECLTYPE_FLOAT1, D3DDECLTYPE_FLOAT2,
                                        D3DDECLTYPE_FLOAT3, D3DDECLTYPE_FLOAT4};
    if (colors) {
        if (resource->components != 0) return;
        stream.type = D3DDECLTYPE_D3DCOLOR;
        stream.stride = 4;
    } else {
        if (resource->components < 1 || resource->components > 4) return;
        stream.type = kFloatTypes[resource->components];
        stream.stride = resource->components * 4;
    }
    stream.buffer = resource;
    stream.usage = usage;
    stream.usageIndex = usageIndex;
}

void D3d9Renderer::BindPositions(Buffer* buffer) {
    Bind(kPositionSlot, buffer, D3DDECLUSAGE_POSITION, 0);
    // A single float per vertex is no position the pipeline can read.
    if (streams_[kPositionSlot].buffer && streams_[kPositionSlot].buffer->components < 2)
        streams_[kPositionSlot] = Stream{};
    vertexCount_ = streams_[kPositionSlot].buffer ? streams_[kPositionSlot].buffer->count : 0;
}

void D3d9Renderer::BindTexCoords(Buffer* buffer, int setIndex) {
    if (setIndex < 0 || setIndex >= 8) return;
    Bind(StreamSlot(kTexCoordSlot + setIndex), buffer, D3DDECLUSAGE_TEXCOORD, BYTE(setIndex));
}

void D3d9Renderer::BindColors(ColorBuffer* buffer) {
    Bind(kColorSlot, buffer, D3DDECLUSAGE_COLOR, 0, true);
}

void D3d9Renderer::BindPointSizes(FloatBuffer* buffer) {
    Bind(kSizeSlot, buffer, D3DDECLUSAGE_PSIZE, 0);
}

void D3d9Renderer::BindNormals(Vector3Buffer* buffer) {
    Bind(kNormalSlot, buffer, D3DDECLUSAGE_NORMAL, 0);
}

void D3d9Renderer::BindBlendWeights(Vector4Buffer* buffer) {
    Bind(kWeightSlot, buffer, D3DDECLUSAGE_BLENDWEIGHT, 0);
}

void D3d9Renderer::BindBlendIndices(Vector4Buffer* buffer) {
    Bind(kBoneSlot, buffer, D3DDECLUSAGE_BLENDINDICES, 0);
}

void D3d9Renderer::BindIndices(IntBuffer* buffer) {
    indices_ = BufferObject(buffer, true);
}

// --- Textures --------------------------------------------------------------------------------

IUnknown* D3d9Renderer::UploadTexture(const Image& image, bool compress, int levels, int& created) {
    const D3DFORMAT format = SampledFormat(image.GetFormat());
    if (!image.HasPixels() || format == D3DFMT_UNKNOWN) return nullptr;
    const int w = image.GetWidth(), h = image.GetHeight();
    const int full = FullChain(w, h);
    const UINT count = UINT(levels <= 0 || levels > full ? full : levels);
    const Texels top = FromImage(image.GetPixels(), w, h, image.GetFormat());
    // Compressed blocks are 4 x 4 texels: other sizes, and a failed compression, stay uncompressed.
    const bool dxt = compress && image.GetFormat() == Image::kRgb && GetCaps().dxt[0] && d3dx_.IsOpen() &&
                     w % 4 == 0 && h % 4 == 0;
    IDirect3DTexture9* texture = nullptr;
    if (!dxt) {
        if (FAILED(device_->CreateTexture(UINT(w), UINT(h), count, 0, format, D3DPOOL_MANAGED, &texture, nullptr)))
            return nullptr;
        if (!FillTexture(texture, top)) SafeRelease(texture);
    } else {
        // Filled uncompressed in system memory; the library's converter compresses each level.
        IDirect3DTexture9* system = nullptr;
        if (FAILED(device_->CreateTexture(UINT(w), UINT(h), count, 0, format, D3DPOOL_SYSTEMMEM, &system, nullptr))) {
            LogError("Невозможно создать системную текстуру для обновления изображения текстуры [%s].",
                     image.GetName().GetText());
            return nullptr;
        }
        bool ok = FillTexture(system, top) &&
                  SUCCEEDED(device_->CreateTexture(UINT(w), UINT(h), count, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &texture,
                                                   nullptr));
        for (DWORD l = 0; ok && l < texture->GetLevelCount(); ++l) {
            IDirect3DSurface9* from = nullptr;
            IDirect3DSurface9* to = nullptr;
            system->GetSurfaceLevel(l, &from);
            texture->GetSurfaceLevel(l, &to);
            ok = d3dx_.LoadSurface(to, from);
            SafeRelease(from);
            SafeRelease(to);
        }
        SafeRelease(system);
        if (!ok) {
            SafeRelease(texture);
            return UploadTexture(image, false, levels, created);
        }
    }
    if (texture) created = int(texture->GetLevelCount());
    return texture;
}

IUnknown* D3d9Renderer::UploadCube(const Image& image, int& created) {
    const auto* faces = dynamic_cast<const VolumeImage*>(&image);
    const D3DFORMAT format = faces ? SampledFormat(faces->GetFormat()) : D3DFMT_UNKNOWN;
    if (!faces || faces->GetDepth() != 6 || !faces->HasPixels() || faces->GetWidth() != faces->GetHeight() ||
        format == D3DFMT_UNKNOWN)
        return nullptr;
    const int edge = faces->GetWidth();
    IDirect3DCubeTexture9* cube = nullptr;
    if (FAILED(device_->CreateCubeTexture(UINT(edge), 0, 0, format, D3DPOOL_MANAGED, &cube, nullptr))) return nullptr;
    for (int face = 0; face < 6 && cube; ++face) {
        Texels level = FromImage(faces->GetPixels() + size_t(faces->GetSliceSize()) * size_t(face), edge, edge,
                                 faces->GetFormat());
        for (DWORD l = 0; l < cube->GetLevelCount(); ++l) {
            D3DLOCKED_RECT rect{};
            if (FAILED(cube->LockRect(D3DCUBEMAP_FACES(face), l, &rect, nullptr, 0))) {
                SafeRelease(cube);
                break;
            }
            CopyToRect(rect, level);
            cube->UnlockRect(D3DCUBEMAP_FACES(face), l);
            if (l + 1 < cube->GetLevelCount()) level = HalfSize(level);
        }
    }
    if (cube) created = int(cube->GetLevelCount());
    return cube;
}

IUnknown* D3d9Renderer::UploadVolume(const Image& image, int& created) {
    const auto* volume = dynamic_cast<const VolumeImage*>(&image);
    const D3DFORMAT format = volume ? SampledFormat(volume->GetFormat()) : D3DFMT_UNKNOWN;
    if (!volume || volume->GetDepth() <= 0 || !volume->HasPixels() || format == D3DFMT_UNKNOWN) return nullptr;
    const int w = volume->GetWidth(), h = volume->GetHeight(), d = volume->GetDepth();
    // One level: the noise volumes are read at their own size.
    IDirect3DVolumeTexture9* texture = nullptr;
    if (FAILED(device_->CreateVolumeTexture(UINT(w), UINT(h), UINT(d), 1, 0, format, D3DPOOL_MANAGED, &texture,
                                            nullptr)))
        return nullptr;
    D3DLOCKED_BOX box{};
    if (FAILED(texture->LockBox(0, &box, nullptr, 0))) {
        SafeRelease(texture);
        return nullptr;
    }
    for (int z = 0; z < d; ++z) {
        const Texels slice =
            FromImage(volume->GetPixels() + size_t(volume->GetSliceSize()) * size_t(z), w, h, volume->GetFormat());
        D3DLOCKED_RECT rect{box.RowPitch, static_cast<uint8_t*>(box.pBits) + size_t(z) * size_t(box.SlicePitch)};
        CopyToRect(rect, slice);
    }
    texture->UnlockBox(0);
    created = 1;
    return texture;
}

D3d9Renderer::Resource* D3d9Renderer::TextureObject(BaseTexture* texture) {
    if (!texture || !device_) return nullptr;
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
    int levels = 0;
    IUnknown* object = nullptr;
    switch (kind) {
    case Kind::kCube: object = UploadCube(*image, levels); break;
    case Kind::kVolume: object = UploadVolume(*image, levels); break;
    default: object = UploadTexture(*image, compress, texture->GetMipmapLevels(), levels); break;
    }
    if (!object) {
        LogError("Невозможно обновить изображение текстуры [%s].", texture->GetName().GetText());
        Release(id);
        return nullptr;
    }
    resource = &Enter(id, kind, &texture->GetResourceLink());
    resource->object = object;
    resource->width = image->GetWidth();
    resource->height = image->GetHeight();
    resource->count = levels;
    resource->link->handle[0] = reinterpret_cast<uintptr_t>(object);
    resource->link->dirty = 0;
    texture->SetMipmapLevels(levels);
    return resource;
}

void D3d9Renderer::SetTexture(BaseTexture* texture, int stage) {
    if (stage < 0 || stage >= 8 || !device_) return;
    // A texture being drawn into is not read at the same time.
    Resource* resource = IsRenderTarget(texture) ? nullptr : TextureObject(texture);
    if (stage >= GetCaps().textureUnits) resource = nullptr;
    device_->SetTexture(DWORD(stage), resource ? static_cast<IDirect3DBaseTexture9*>(resource->object) : nullptr);
    boundTextures_[stage] = resource ? texture : nullptr;
}

// --- Programs --------------------------------------------------------------------------------

IUnknown* D3d9Renderer::ShaderObject(Shader* shader, bool vertex) {
    if (!shader || !shader->GetProgramText() || !device_) return nullptr;
    const int32_t id = shader->GetId();
    const Kind kind = vertex ? Kind::kVertexShader : Kind::kPixelShader;
    if (Resource* resource = Find(id); resource && resource->kind == kind && !shader->GetResourceLink().dirty)
        return resource->object;
    std::string key(1, vertex ? 'v' : 'p');
    key.append(shader->GetProgramText(), size_t(std::max(shader->GetProgramLength(), 0)));
    auto known = programs_.find(key);
    if (known == programs_.end()) {
        IUnknown* program = nullptr;
        std::vector<DWORD> code;
        std::string error;
        if (!d3dx_.Assemble(shader->GetProgramText(), shader->GetProgramLength(), code, error)) {
            // The user sees the assembler's own words, once per text; the shader stays unbound.
            LogError("%s", error.c_str());
            ShowMessage(error.c_str());
        } else if (vertex) {
            IDirect3DVertexShader9* vs = nullptr;
            if (SUCCEEDED(device_->CreateVertexShader(code.data(), &vs))) program = vs;
        } else {
            IDirect3DPixelShader9* ps = nullptr;
            if (SUCCEEDED(device_->CreatePixelShader(code.data(), &ps))) program = ps;
        }
        known = programs_.emplace(std::move(key), program).first;
    }
    Resource& resource = Enter(id, kind, &shader->GetResourceLink());
    resource.object = known->second;
    resource.link->handle[0] = reinterpret_cast<uintptr_t>(known->second);
    resource.link->dirty = 0;
    return known->second;
}

void D3d9Renderer::SetVertexShader(VertexShader* shader) {
    vertexShader_ = ShaderObject(shader, true);
}

void D3d9Renderer::SetPixelShader(PixelShader* shader) {
    pixelShader_ = ShaderObject(shader, false);
}

void D3d9Renderer::SetVertexConstants(int firstRegister, const float* values, int registerCount) {
    if (!device_ || !values || firstRegister < 0 || registerCount <= 0 || firstRegister >= 256) return;
    registerCount = std::min(registerCount, 256 - firstRegister);
    device_->SetVertexShaderConstantF(UINT(firstRegister), values, UINT(registerCount));
}

void D3d9Renderer::SetPixelConstants(int firstRegister, const float* values, int registerCount) {
    if (!device_ || !values || firstRegister < 0 || registerCount <= 0 || firstRegister >= 32) return;
    registerCount = std::min(registerCount, 32 - firstRegister);
    device_->SetPixelShaderConstantF(UINT(firstRegister), values, UINT(registerCount));
}

// --- Passes and drawing ------------------------------------------------------------------------

void D3d9Renderer::BeginPass(Pass* pass) {
    if (!pass || !device_) return;
    const bool dirty = pass->IsDirty();
    pass->GetResourceLink().dirty = 0;
    block_ = pass->GetStateBlock();
    if (block_) {
        Resource* recorded = Find(block_->GetId());
        if (recorded && dirty) {
            Release(block_->GetId());
            recorded = nullptr;
        }
        if (!recorded) {
            // The block's whole state is recorded once and replayed at every later use.
            const RendererCaps& caps = GetCaps();
            const bool weak =
                caps.vertexLevel == RendererCaps::kLevelNone || caps.pixelLevel == RendererCaps::kLevelNone;
            IDirect3DStateBlock9* state = nullptr;
            if (SUCCEEDED(device_->BeginStateBlock())) {
                D3d9StateMapping::ApplyBlock(*device_, *block_, weak);
                device_->EndStateBlock(&state);
            }
            recorded = &Enter(block_->GetId(), Kind::kState, &block_->GetResourceLink());
            recorded->object = state;
            recorded->link->handle[0] = reinterpret_cast<uintptr_t>(state);
            recorded->link->dirty = 0;
            appliedBlock_ = nullptr;
        }
        if (appliedBlock_ != block_ && recorded->object) {
            static_cast<IDirect3DStateBlock9*>(recorded->object)->Apply();
            ForgetDrawState();
        }
        appliedBlock_ = block_;
    }
    for (int stage = 0; stage < 8; ++stage) {
        if (boundTextures_[stage]) device_->SetTexture(DWORD(stage), nullptr);
        boundTextures_[stage] = nullptr;
    }
    for (Stream& stream : streams_) stream = Stream{};
    vertexCount_ = 0;
    indices_ = nullptr;
    vertexShader_ = pixelShader_ = nullptr;
}

void D3d9Renderer::ForgetDrawState() {
    for (DWORD& op : stageOps_) op = 0;
    for (DWORD& flags : transformFlags_) flags = kUnknownState;
    cullMode_ = depthFunction_ = kUnknownState;
}

bool D3d9Renderer::PrepareDraw() {
    if (!streams_[kPositionSlot].buffer) return false;
    // The layout: one element per bound stream, each on a stream of its own.
    D3DVERTEXELEMENT9 elements[kSlotCount + 1];
    std::string key;
    int count = 0;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const Stream& s = streams_[slot];
        if (!s.buffer) continue;
        elements[count] = {WORD(count), 0, s.type, D3DDECLMETHOD_DEFAULT, s.usage, s.usageIndex};
        device_->SetStreamSource(UINT(count), static_cast<IDirect3DVertexBuffer9*>(s.buffer->object), 0,
                                 UINT(s.stride));
        key += char(s.type);
        key += char(s.usage);
        key += char(s.usageIndex);
        ++count;
    }
    elements[count] = D3DDECL_END();
    auto layout = layouts_.find(key);
    if (layout == layouts_.end()) {
        IDirect3DVertexDeclaration9* declaration = nullptr;
        device_->CreateVertexDeclaration(elements, &declaration);
        layout = layouts_.emplace(key, declaration).first;
    }
    if (!layout->second) return false;
    device_->SetVertexDeclaration(layout->second);
    device_->SetVertexShader(static_cast<IDirect3DVertexShader9*>(vertexShader_));
    device_->SetPixelShader(static_cast<IDirect3DPixelShader9*>(pixelShader_));
    device_->SetIndices(indices_ ? static_cast<IDirect3DIndexBuffer9*>(indices_->object) : nullptr);

    // Stages without a texture end the fixed-function cascade, as on a pipeline that skips them.
    int firstEmpty = 8;
    for (int stage = 0; stage < 8; ++stage)
        if (!boundTextures_[stage]) {
            firstEmpty = stage;
            break;
        }
    for (int stage = 0; stage < 8 && block_; ++stage) {
        const DWORD want = stage == firstEmpty ? 1 : 0;
        if (want == stageOps_[stage] || stage > firstEmpty) continue;
        if (want) {
            device_->SetTextureStageState(DWORD(stage), D3DTSS_COLOROP, D3DTOP_DISABLE);
            device_->SetTextureStageState(DWORD(stage), D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        } else {
            D3d9StateMapping::ApplyStage(*device_, stage, block_->stages[stage]);
            transformFlags_[stage] = kUnknownState;
        }
        stageOps_[stage] = want;
    }
    // Texture coordinate transforms: the stage's matrix, generation and projection.
    for (int stage = 0; stage < 8; ++stage) {
        const int32_t generation = block_ ? block_->stages[stage].texCoordGeneration : 0;
        const bool identity = std::memcmp(textureMatrices_[stage].Data(), Matrix4::Identity().Data(), 64) == 0;
        DWORD flags = identity ? D3DTTFF_DISABLE : D3DTTFF_COUNT3;
        if (generation >= RenderStateBlock::kTexGenReflection && generation <= RenderStateBlock::kTexGenSphere)
            flags = D3DTTFF_COUNT3;
        if (generation == RenderStateBlock::kTexGenProjected) flags = D3DTTFF_COUNT3 | D3DTTFF_PROJECTED;
        if (flags != transformFlags_[stage])
            device_->SetTextureStageState(DWORD(stage), D3DTSS_TEXTURETRANSFORMFLAGS, flags);
        transformFlags_[stage] = flags;
    }
    // Draw-time overrides after the recorded state.
    if (block_) {
        const DWORD cull = D3d9StateMapping::Cull(block_->cullEnabled != 0, block_->cullOrder, GetReverseCull());
        if (cull != cullMode_) device_->SetRenderState(D3DRS_CULLMODE, cull);
        cullMode_ = cull;
        // A pass asking for equal depth draws again over what an effect drew before, through
        // another program (or the fixed pipeline); their depths need not be bit-identical, so
        // "equal" is taken as "in front or level, pulled forward by a few depth units".
        const bool nearlyEqual =
            !GetEqualDepth() && !shadowBias_ && block_->depthComparison == RenderStateBlock::kEqual;
        if (nearlyEqual != equalDepthOffset_) {
            device_->SetRenderState(D3DRS_DEPTHBIAS, D3d9StateMapping::FloatBits(nearlyEqual ? -4.0f / 16777216.0f : 0));
            device_->SetRenderState(D3DRS_SLOPESCALEDEPTHBIAS, D3d9StateMapping::FloatBits(nearlyEqual ? -1.0f : 0));
            equalDepthOffset_ = nearlyEqual;
        }
        const DWORD depth = GetEqualDepth() ? D3DCMP_EQUAL
                            : nearlyEqual   ? D3DCMP_LESSEQUAL
                                            : D3d9StateMapping::Comparison(block_->depthComparison);
        if (depth != depthFunction_) device_->SetRenderState(D3DRS_ZFUNC, depth);
        depthFunction_ = depth;
    }
    return true;
}

void D3d9Renderer::DrawRange(int primitiveType, int count, bool indexed) {
    if (count <= 0 || !device_ || lost_) return;
    if (!PrepareDraw()) return;
    const int primitives = PrimitiveCount(primitiveType, count);
    if (primitives <= 0) return;
    const D3DPRIMITIVETYPE type = D3d9StateMapping::Primitive(primitiveType);
    if (indexed)
        device_->DrawIndexedPrimitive(type, 0, 0, UINT(vertexCount_), 0, UINT(primitives));
    else
        device_->DrawPrimitive(type, 0, UINT(primitives));
}

void D3d9Renderer::DrawIndexed() {
    GeometryNode* geometry = GetCurrentGeometry();
    if (!geometry || !device_) return;
    // Indices beyond the vertices would have the device read outside its buffers.
    if (!geometry->HasConsistentBuffers()) return;
    const int type = geometry->GetPrimitiveType();
    if (indices_)
        DrawRange(type, indices_->count, true);
    else
        DrawRange(type, vertexCount_, false);
}

void D3d9Renderer::DrawBuffers(Buffer* positions, IntBuffer* indices, Vector4Buffer* stream2, Vector4Buffer* stream3,
                               Buffer* texCoords) {
    if (!device_ || !positions || !indices) return;
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
    DrawRange(geometry ? geometry->GetPrimitiveType() : kTriangleList, indices_->count, true);
}

void D3d9Renderer::DrawPrimitives(int primitiveCount) {
    GeometryNode* geometry = GetCurrentGeometry();
    if (!geometry || !device_ || primitiveCount <= 0) return;
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

void D3d9Renderer::Clear(int flags, const Color& color, float depth, int stencil) {
    if (!device_) return;
    DWORD targets = 0;
    if (flags & kClearColor) {
        targets |= D3DCLEAR_TARGET;
        SetClearColor(color);
    }
    // The depth and stencil only where the current target has a depth surface.
    IDirect3DSurface9* depthSurface = nullptr;
    const bool haveDepth = SUCCEEDED(device_->GetDepthStencilSurface(&depthSurface)) && depthSurface;
    SafeRelease(depthSurface);
    if ((flags & kClearDepth) && haveDepth) targets |= D3DCLEAR_ZBUFFER;
    if ((flags & kClearStencil) && haveDepth) targets |= D3DCLEAR_STENCIL;
    if (targets) device_->Clear(0, nullptr, targets, D3d9StateMapping::Argb(color), depth, DWORD(stencil));
}

int D3d9Renderer::BeginScene() {
    if (!device_) return 1;
    const HRESULT state = device_->TestCooperativeLevel();
    if (state == D3DERR_DEVICELOST) {
        // Nothing can be drawn until the device may be reset.
        if (!lost_) ReleaseDefaultPool();
        lost_ = true;
        return 1;
    }
    if (state == D3DERR_DEVICENOTRESET && !ResetDevice()) {
        lost_ = true;
        return 1;
    }
    if (FAILED(device_->BeginScene())) return 1;
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    return 0;
}

void D3d9Renderer::EndScene() {
    if (!device_) return;
    device_->EndScene();
    if (device_->Present(nullptr, nullptr, nullptr, nullptr) == D3DERR_DEVICELOST) lost_ = true;
}

void D3d9Renderer::SetWorldMatrix(const Matrix4& matrix) {
    world_ = matrix;
    if (device_) device_->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(matrix.Data()));
}

void D3d9Renderer::SetViewMatrix(const Matrix4& matrix) {
    view_ = matrix;
    if (device_) device_->SetTransform(D3DTS_VIEW, reinterpret_cast<const D3DMATRIX*>(matrix.Data()));
}

void D3d9Renderer::SetProjectionMatrix(const Matrix4& matrix) {
    projection_ = matrix;
    if (device_) device_->SetTransform(D3DTS_PROJECTION, reinterpret_cast<const D3DMATRIX*>(matrix.Data()));
}

Matrix4 D3d9Renderer::GetTextureMatrix(int stage) {
    return stage >= 0 && stage < 8 ? textureMatrices_[stage] : Matrix4();
}

void D3d9Renderer::SetTextureMatrix(int stage, const Matrix4& matrix) {
    if (stage < 0 || stage >= 8) return;
    textureMatrices_[stage] = matrix;
    if (device_)
        device_->SetTransform(D3DTRANSFORMSTATETYPE(D3DTS_TEXTURE0 + stage),
                              reinterpret_cast<const D3DMATRIX*>(matrix.Data()));
}

// --- Lights ----------------------------------------------------------------------------------

void D3d9Renderer::EnableLight(Light* light) {
    const int index = GetLightCount() - 1;
    if (!device_ || index < 0 || index >= GetCaps().maxLights) return;
    if (!light) {
        device_->LightEnable(DWORD(index), FALSE);
        return;
    }
    D3DLIGHT9 l{};
    const int type = light->GetLightType();
    l.Type = type == Light::kPoint ? D3DLIGHT_POINT : type == Light::kSpot ? D3DLIGHT_SPOT : D3DLIGHT_DIRECTIONAL;
    l.Diffuse = Value(light->GetDiffuse());
    l.Specular = Value(light->GetSpecular());
    l.Ambient = Value(light->GetAmbient());
    const Vector3 position = light->GetPosition();
    const Vector3 direction = light->GetDirection();
    l.Position = {position.x, position.y, position.z};
    l.Direction = {direction.x, direction.y, direction.z};
    l.Range = std::sqrt(3.402823466e+38f);
    const Vector3 a = type == Light::kDirectional ? Vector3(1, 0, 0) : light->GetDeviceAttenuation();
    l.Attenuation0 = a.x;
    l.Attenuation1 = a.y;
    l.Attenuation2 = a.z;
    l.Falloff = light->GetFalloff();
    l.Theta = light->GetInnerConeAngle();
    l.Phi = light->GetOuterConeAngle();
    device_->SetLight(DWORD(index), &l);
    device_->LightEnable(DWORD(index), TRUE);
    if (index == 0) {
        device_->SetRenderState(D3DRS_LIGHTING, TRUE);
        device_->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    }
}

void D3d9Renderer::DisableLight() {
    const int index = GetLightCount();
    if (!device_ || index < 0 || index >= GetCaps().maxLights) return;
    device_->LightEnable(DWORD(index), FALSE);
    if (index == 0) {
        device_->SetRenderState(D3DRS_LIGHTING, FALSE);
        device_->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    }
}

// --- Render targets --------------------------------------------------------------------------

D3d9Renderer::Resource* D3d9Renderer::TargetObject(BaseTexture* texture, Kind kind, int width, int height, int format,
                                                   bool ownDepth) {
    if (!texture || !device_ || width <= 0 || height <= 0) return nullptr;
    const int32_t id = texture->GetId();
    Resource* found = Find(id);
    if (found && found->kind == kind && found->width == width && found->height == height &&
        (found->depth != nullptr) == ownDepth)
        return found;
    // A texture met before as an input (or at another size) is made again as a target.
    Release(id);
    IUnknown* object = nullptr;
    IDirect3DSurface9* depth = nullptr;
    int levels = 1;
    if (kind == Kind::kShadowMap) {
        IDirect3DTexture9* map = nullptr;
        if (FAILED(device_->CreateTexture(UINT(width), UINT(height), 1, D3DUSAGE_DEPTHSTENCIL, depthFormat_,
                                          D3DPOOL_DEFAULT, &map, nullptr)))
            return nullptr;
        object = map;
        // A device draws only with a colour target: one of the map's size takes the (masked) colour.
        IDirect3DSurface9* color = nullptr;
        if (FAILED(device_->CreateRenderTarget(UINT(width), UINT(height), D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0,
                                               FALSE, &color, nullptr))) {
            SafeRelease(object);
            return nullptr;
        }
        depth = color;
    } else {
        // Formats by image kind; a lone alpha channel is not drawable everywhere, so it gets all four.
        D3DFORMAT target = format == Image::kRgb ? D3DFMT_X8R8G8B8
                           : format == Image::kWide ? D3DFMT_A16B16G16R16F
                                                    : D3DFMT_A8R8G8B8;
        const int capsIndex = (kind == Kind::kCubeTarget ? 4 : 0) +
                              (format == Image::kWide ? 1 : format == Image::kRgb ? 2 : 3);
        const bool autogen = texture->GetMipmapLevels() != 1 && GetCaps().mipmapGeneration[capsIndex];
        for (int attempt = autogen ? 0 : 1; attempt < 2 && !object; ++attempt) {
            const DWORD usage = D3DUSAGE_RENDERTARGET | (attempt == 0 ? D3DUSAGE_AUTOGENMIPMAP : 0);
            const UINT count = attempt == 0 ? 0 : 1;
            if (kind == Kind::kCubeTarget) {
                IDirect3DCubeTexture9* cube = nullptr;
                if (SUCCEEDED(device_->CreateCubeTexture(UINT(width), count, usage, target, D3DPOOL_DEFAULT, &cube,
                                                         nullptr))) {
                    object = cube;
                    levels = int(cube->GetLevelCount());
                }
            } else {
                IDirect3DTexture9* plain = nullptr;
                if (SUCCEEDED(device_->CreateTexture(UINT(width), UINT(height), count, usage, target, D3DPOOL_DEFAULT,
                                                     &plain, nullptr))) {
                    object = plain;
                    levels = int(plain->GetLevelCount());
                }
            }
        }
        if (!object) {
            LogError("Невозможно создать цель рендеринга [%s].", texture->GetName().GetText());
            return nullptr;
        }
        if (ownDepth && FAILED(device_->CreateDepthStencilSurface(UINT(width), UINT(height), depthFormat_,
                                                                 D3DMULTISAMPLE_NONE, 0, TRUE, &depth, nullptr))) {
            SafeRelease(object);
            return nullptr;
        }
    }
    Resource& resource = Enter(id, kind, &texture->GetResourceLink());
    resource.object = object;
    resource.depth = depth;
    resource.width = width;
    resource.height = height;
    resource.count = levels;
    resource.link->handle[0] = reinterpret_cast<uintptr_t>(object);
    resource.link->dirty = 0;
    return &resource;
}

void D3d9Renderer::PushTarget(BaseTexture* texture, int face, IDirect3DSurface9* color, IDirect3DSurface9* depth,
                              int width, int height) {
    IDirect3DSurface9* savedColor = nullptr;
    IDirect3DSurface9* savedDepth = nullptr;
    device_->GetRenderTarget(0, &savedColor);
    device_->GetDepthStencilSurface(&savedDepth);
    PushRenderTarget(texture, face, reinterpret_cast<uintptr_t>(savedColor), reinterpret_cast<uintptr_t>(savedDepth));
    device_->SetRenderTarget(0, color);
    device_->SetDepthStencilSurface(depth);
    viewportWidth_ = width;
    viewportHeight_ = height;
    appliedBlock_ = nullptr;
}

void D3d9Renderer::PopTarget() {
    RenderTarget popped;
    if (!PopRenderTarget(popped)) return;
    auto* color = reinterpret_cast<IDirect3DSurface9*>(popped.savedColor);
    auto* depth = reinterpret_cast<IDirect3DSurface9*>(popped.savedDepth);
    if (device_) {
        device_->SetRenderTarget(0, color);
        device_->SetDepthStencilSurface(depth);
    }
    D3DSURFACE_DESC desc{};
    if (color && SUCCEEDED(color->GetDesc(&desc))) {
        viewportWidth_ = int(desc.Width);
        viewportHeight_ = int(desc.Height);
    }
    SafeRelease(color);
    SafeRelease(depth);
    appliedBlock_ = nullptr;
}

void D3d9Renderer::SetRenderTarget(BaseTexture* texture) {
    if (!device_) return;
    if (!texture) {
        PopTarget();
        return;
    }
    auto* plain = dynamic_cast<Texture*>(texture);
    const Image* image = plain ? plain->GetImage() : nullptr;
    if (!image) return;
    // A texture whose first flag byte is 0 brings no depth surface: it draws with the one of the
    // target it is pushed over when that one is large enough (the glow source against the
    // captured scene's depth), else with none.
    const bool ownDepth = plain->GetFlags() != 0;
    Resource* resource =
        TargetObject(texture, Kind::kTarget, image->GetWidth(), image->GetHeight(), image->GetFormat(), ownDepth);
    if (!resource) return;
    IDirect3DSurface9* surface = nullptr;
    static_cast<IDirect3DTexture9*>(resource->object)->GetSurfaceLevel(0, &surface);
    IDirect3DSurface9* depth = resource->depth;
    IDirect3DSurface9* current = nullptr;
    if (!ownDepth && SUCCEEDED(device_->GetDepthStencilSurface(&current)) && current) {
        D3DSURFACE_DESC desc{};
        current->GetDesc(&desc);
        if (int(desc.Width) >= resource->width && int(desc.Height) >= resource->height) depth = current;
    }
    PushTarget(texture, 0, surface, depth, resource->width, resource->height);
    SafeRelease(current);
    SafeRelease(surface);
}

void D3d9Renderer::SetCubeRenderTarget(int face, CubeTexture* texture) {
    if (!device_) return;
    if (!texture) {
        PopTarget();
        return;
    }
    const Image* image = texture->GetImage();
    if (!image || face < 0 || face > 5) return;
    Resource* resource =
        TargetObject(texture, Kind::kCubeTarget, image->GetWidth(), image->GetWidth(), image->GetFormat(), true);
    if (!resource) return;
    IDirect3DSurface9* surface = nullptr;
    static_cast<IDirect3DCubeTexture9*>(resource->object)->GetCubeMapSurface(D3DCUBEMAP_FACES(face), 0, &surface);
    PushTarget(texture, face, surface, resource->depth, resource->width, resource->height);
    SafeRelease(surface);
}

void D3d9Renderer::SetShadowmapTarget(BaseTexture* texture, int depthBias, float slopeScaledBias) {
    if (!device_) return;
    if (!texture) {
        PopTarget();
        device_->SetRenderState(D3DRS_DEPTHBIAS, 0);
        device_->SetRenderState(D3DRS_SLOPESCALEDEPTHBIAS, 0);
        device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
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
    Resource* resource = TargetObject(texture, Kind::kShadowMap, width, height, 0, true);
    if (!resource) return;
    IDirect3DSurface9* surface = nullptr;
    static_cast<IDirect3DTexture9*>(resource->object)->GetSurfaceLevel(0, &surface);
    PushTarget(texture, 0, resource->depth, surface, resource->width, resource->height);
    SafeRelease(surface);
    device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    device_->SetRenderState(D3DRS_DEPTHBIAS, D3d9StateMapping::FloatBits(float(depthBias) * 5.960465e-8f));
    device_->SetRenderState(D3DRS_SLOPESCALEDEPTHBIAS, D3d9StateMapping::FloatBits(slopeScaledBias));
    shadowBias_ = true;
    equalDepthOffset_ = false;
}

void D3d9Renderer::SetViewport(const Vector2& position, const Vector2& size) {
    viewportWidth_ = int(size.x);
    viewportHeight_ = int(size.y);
    if (!device_) return;
    D3DVIEWPORT9 viewport{DWORD(int(position.x)), DWORD(int(position.y)), DWORD(viewportWidth_),
                          DWORD(viewportHeight_), 0.0f, 1.0f};
    device_->SetViewport(&viewport);
}

// --- Queries, read-back, gamma ---------------------------------------------------------------

void D3d9Renderer::BeginQuery(Object* query) {
    if (!query || !device_ || !GetCaps().occlusionQueries) return;
    Resource* resource = Find(query->GetId());
    if (!resource) {
        IDirect3DQuery9* made = nullptr;
        if (FAILED(device_->CreateQuery(D3DQUERYTYPE_OCCLUSION, &made)) || !made) return;
        resource = &Enter(query->GetId(), Kind::kQuery, nullptr);
        resource->object = made;
    }
    static_cast<IDirect3DQuery9*>(resource->object)->Issue(D3DISSUE_BEGIN);
}

void D3d9Renderer::EndQuery(Object* query) {
    if (!query || !device_) return;
    Resource* resource = Find(query->GetId());
    if (!resource || resource->kind != Kind::kQuery) return;
    auto* q = static_cast<IDirect3DQuery9*>(resource->object);
    q->Issue(D3DISSUE_END);
    // Waits for the count, as the callers expect it at once; a lost device gives none.
    DWORD samples = 0;
    HRESULT hr = S_FALSE;
    while ((hr = q->GetData(&samples, sizeof samples, D3DGETDATA_FLUSH)) == S_FALSE) {
    }
    resource->queryResult = hr == S_OK ? int(samples) : -1;
}

int D3d9Renderer::GetQueryResult(const Object* query) const {
    if (!query) return -1;
    auto it = resources_.find(query->GetId());
    return it == resources_.end() || it->second.kind != Kind::kQuery ? -1 : it->second.queryResult;
}

bool D3d9Renderer::ReadFrame(int& width, int& height, std::vector<uint8_t>& rgba) {
    if (!device_) return false;
    IDirect3DSurface9* target = nullptr;
    if (FAILED(device_->GetRenderTarget(0, &target)) || !target) return false;
    D3DSURFACE_DESC desc{};
    target->GetDesc(&desc);
    bool ok = desc.Format == D3DFMT_X8R8G8B8 || desc.Format == D3DFMT_A8R8G8B8;
    IDirect3DSurface9* resolved = nullptr;
    if (ok && desc.MultiSampleType != D3DMULTISAMPLE_NONE) {
        // A multisampled surface is resolved first: only plain ones can be read.
        ok = SUCCEEDED(device_->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE, 0, FALSE,
                                                   &resolved, nullptr)) &&
             SUCCEEDED(device_->StretchRect(target, nullptr, resolved, nullptr, D3DTEXF_NONE));
    }
    IDirect3DSurface9* copy = nullptr;
    ok = ok && SUCCEEDED(device_->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                              &copy, nullptr)) &&
         SUCCEEDED(device_->GetRenderTargetData(resolved ? resolved : target, copy));
    D3DLOCKED_RECT rect{};
    if (ok && SUCCEEDED(copy->LockRect(&rect, nullptr, D3DLOCK_READONLY))) {
        width = int(desc.Width);
        height = int(desc.Height);
        rgba.assign(size_t(width) * size_t(height) * 4, 0);
        // Rows bottom first, as images keep them.
        for (int y = 0; y < height; ++y) {
            const uint8_t* src = static_cast<const uint8_t*>(rect.pBits) + size_t(y) * size_t(rect.Pitch);
            uint8_t* dst = rgba.data() + size_t(height - 1 - y) * size_t(width) * 4;
            for (int x = 0; x < width; ++x, src += 4, dst += 4) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
                dst[3] = desc.Format == D3DFMT_A8R8G8B8 ? src[3] : 255;
            }
        }
        copy->UnlockRect();
    } else {
        ok = false;
    }
    SafeRelease(copy);
    SafeRelease(resolved);
    SafeRelease(target);
    return ok;
}

void D3d9Renderer::SetGamma(int brightness) {
    uint16_t ramp[256];
    GammaRamp(brightness, ramp);
    D3DGAMMARAMP gamma{};
    for (int i = 0; i < 256; ++i) gamma.red[i] = gamma.green[i] = gamma.blue[i] = ramp[i];
    if (device_) device_->SetGammaRamp(0, D3DSGR_NO_CALIBRATION, &gamma);
}

void D3d9Renderer::ShowMessageBox(const char* text) {
    MessageBoxA(static_cast<HWND>(GetWindow()), text, "", MB_OK | MB_ICONERROR);
}

} // namespace nuv
