#include "core/Status.h"
#include "render/d3d9/D3d9Renderer.h"
#include "render/d3d9/D3d9Support.h"

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

// A colour as the device takes it for lights.
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
    if (GetWindow() && Close() != kStatusOk) LogError("Невозможно закрыть окно рендеринга.");
    DestroyDevice();
    D3d9Support::SafeRelease(d3d_);
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
    if (!d3d_ || !mode || !window) return kStatusFailed;
    if (!mode->fullScreen && (width <= 0 || height <= 0)) {
        RECT client{};
        GetClientRect(window, &client);
        width = client.right - client.left;
        height = client.bottom - client.top;
    }
    if (!FillPresentation(*mode, width, height, window)) return kStatusFailed;
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
        return kStatusFailed;
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
    return kStatusOk;
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
    D3d9Support::SafeRelease(query);
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
    if (!device_) return kStatusOk;
    while (GetRenderTargetDepth() > 0) PopTarget();
    ReleaseProfileQueries();
    ReleaseAll();
    D3d9Support::SafeRelease(device_);
    return kStatusOk;
}

bool D3d9Renderer::ResetDevice() {
    if (!device_) return false;
    // The stretches measured before the loss have no answers to give.
    ReleaseProfileQueries();
    ReleaseDefaultPool();
    if (FAILED(device_->Reset(&presentation_))) return false;
    lost_ = false;
    backWidth_ = viewportWidth_ = int(presentation_.BackBufferWidth);
    backHeight_ = viewportHeight_ = int(presentation_.BackBufferHeight);
    SetDefaultState();
    return true;
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

} // namespace nuv
