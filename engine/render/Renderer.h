#pragma once

#include "core/Color.h"
#include "core/DeviceResourceCache.h"
#include "core/Matrix4.h"
#include "core/Pointer.h"
#include "core/RefCounted.h"
#include "core/String.h"
#include "core/Vector2.h"
#include "core/Vector3.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nuv {

class BaseTexture;
class Camera;
class ColorBuffer;
class CubeTexture;
class FloatBuffer;
class GeometryNode;
class IntBuffer;
class Light;
class Object;
class Pass;
class PixelShader;
class Shader;
class Technique;
class Vector4Buffer;
class Vector3Buffer;
class VertexShader;

// One display mode the device offers; the host lists them in its settings dialog.
struct DisplayMode {
    int32_t width = 0;
    int32_t height = 0;
    uint8_t fullScreen = 0;
    int32_t colorBits = 0;
    int32_t redBits = 0;
    int32_t greenBits = 0;
    int32_t blueBits = 0;
    int32_t alphaBits = 0;
    int32_t depthBits = 0;
    int32_t stencilBits = 0;
    int32_t sampleCount = 1;  // 1 without multisampling
};

// What the device can do; effects pick their techniques and program texts from it.
struct RendererCaps {
    // Vertex levels: 0 vs_1_1, 1 vs_2_0, 2 vs_3_0; pixel levels: 0 ps_1_x, 1 ps_2_0, 2 ps_3_0.
    static constexpr int32_t kLevelNone = 4;
    // The language the program texts are written in.
    static constexpr int32_t kLanguageAssembly = 0;
    static constexpr int32_t kLanguageGlsl = 1;
    static constexpr int kLanguageCount = 2;

    int32_t shadingLanguage = kLanguageAssembly;
    int32_t vertexLevel = kLevelNone;
    int32_t pixelLevel = kLevelNone;
    int32_t textureUnits = 0;
    int32_t maxLights = 0;
    uint8_t volumeTextures = 0;
    uint8_t cubeTextures = 0;
    uint8_t projectedTextures = 0;
    uint8_t pointSprites = 0;
    uint8_t occlusionQueries = 0;
    uint8_t shadowMaps = 0;
    uint8_t halfFloatTextures = 0;
    uint8_t dxt[5] = {0, 0, 0, 0, 0};          // DXT1 .. DXT5
    uint8_t mipmapGeneration[8] = {0, 0, 0, 0, 0, 0, 0, 0};  // per render-target kind

    // Whether the device makes the lower levels of a render target of this image format, as a
    // cube or not (the kinds in the order the log names them: A8, A16B16G16R16, R8G8B8,
    // R8G8B8A8; a lone alpha channel is drawn with all four).
    bool GeneratesMipmaps(bool cube, int imageFormat) const;
};

// The step a render-to-texture controller runs at the start of the frame, before the scene
// is drawn. The renderer keeps the object alive through its count while it is listed.
class PreRenderStep {
public:
    virtual void PostUpdate() = 0;

protected:
    ~PreRenderStep() = default;
};

// The sound library's listener calls; null until the sound system fills the table in.
struct ListenerCalls {
    int (*set3DPosition)(const Vector3* position, const Vector3* velocity, const Vector3* front,
                         const Vector3* top) = nullptr;
    int (*apply3D)() = nullptr;
};

// The host's window calls (the engine window); null until the host fills the table in.
struct WindowCalls {
    int (*create)(void** window, const String& title, void* parentWindow, bool fullScreen, int bits, int x, int y,
                  int width, int height) = nullptr;
    int (*destroy)(void* window) = nullptr;
};

// The drawing device behind the scene: a device-independent base (frame, lists of what is
// drawn later, lights, render-target stack) and the operations a device module supplies.
// The concrete renderer lives in a module, and the renderer keeps that module alive: the
// module's code must outlive every call into it.
class Renderer : public DeviceResourceCache {
public:
    // Primitive types of geometry.
    enum Primitive : int { kPointList = 0, kLineList, kLineStrip, kTriangleList, kTriangleStrip, kPrimitiveCount };
    // Clear flags.
    static constexpr int kClearColor = 1;
    static constexpr int kClearDepth = 2;
    static constexpr int kClearStencil = 4;
    // Texture stages the pass recording resets.
    static constexpr int kResetStages = 7;

    struct RenderTarget {
        Pointer<BaseTexture> texture;
        int face = 0;
        uintptr_t savedColor = 0;
        uintptr_t savedDepth = 0;
    };

    Renderer();
    ~Renderer() override;

    // Tables filled in by the sound system and the host; null-safe while empty.
    static void SetListenerCalls(const ListenerCalls* calls);
    static void SetWindowCalls(const WindowCalls* calls);

    // --- Base part ---
    int Open(int modeIndex, const String& title, void* parentWindow, int x, int y, int width, int height);
    int Close();
    // Camera, begin of scene, pre-render steps, sound listener; 1 when the frame cannot be drawn.
    int BeginFrame();
    // The last blended geometry, then the end of the scene.
    void EndFrame();
    void SetCurrentGeometry(GeometryNode* geometry);
    GeometryNode* GetCurrentGeometry() const { return currentGeometry_.Get(); }
    // Makes pass index of technique current and applies it: the pass's answer, Pass::kDraw or
    // Pass::kNoDraw (also without such a pass).
    int ApplyPass(Technique* technique, int index);
    Pass* GetCurrentPass() const { return currentPass_; }
    // Lists a render-to-texture step for the start of the next frame, once.
    template <class T>
    void RegisterPreRender(T* object) {
        AddPreRender(object, object);
    }
    int GetPreRenderCount() const { return int(preRender_.size()); }
    // Draws now through the effect, or keeps blended geometry for FlushDeferred.
    void DrawGeometry(GeometryNode* geometry);
    // Blended geometry back to front, then the late list in insertion order.
    void FlushDeferred();
    int GetDeferredCount() const { return int(deferred_.size()); }
    int GetLateCount() const { return int(late_.size()); }

    Camera* GetCamera() const { return camera_.Get(); }
    void SetCamera(Camera* camera);

    // Lights enabled by the passes: AddLight appends and enables; DisableLights undoes them,
    // last first.
    void AddLight(Light* light);
    void DisableLights();
    int GetLightCount() const { return int(lights_.size()); }
    Light* GetLight(int index) const;

    int GetModeCount() const { return int(modes_.size()); }
    const DisplayMode* GetMode(int index) const;
    // The mode that matches the desktop (the windowed record when none does); -1 without modes.
    int GetDefaultMode() const { return defaultMode_; }
    void* GetWindow() const { return window_; }

    // The device's capabilities, lowered by any limits set below.
    const RendererCaps& GetCaps() const { return caps_; }
    // Makes the renderer report no more than these levels, texture units and shadow maps, so
    // that every fallback can be exercised on any machine.
    void LimitCaps(int vertexLevel, int pixelLevel, int textureUnits, bool shadowMaps);
    // Without point sprites, sprites are drawn as camera-facing quads.
    void LimitPointSprites(bool pointSprites);

    const Color& GetClearColor() const { return clearColor_; }
    bool GetReverseCull() const { return reverseCull_ != 0; }
    void SetReverseCull(bool on) { reverseCull_ = on ? 1 : 0; }
    bool GetEqualDepth() const { return equalDepth_ != 0; }
    void SetEqualDepth(bool on) { equalDepth_ = on ? 1 : 0; }

    int GetRenderTargetDepth() const { return int(targets_.size()); }
    // The texture of the innermost target; null while drawing to the back buffer.
    BaseTexture* GetTopRenderTarget() const { return targets_.empty() ? nullptr : targets_.back().texture.Get(); }
    // True while the texture is a target on the stack; it is then not bound as an input.
    bool IsRenderTarget(const BaseTexture* texture) const;

    // Primitives drawn from count indices (or vertices) of a primitive type.
    static int PrimitiveCount(int primitiveType, int count);
    // Entry i of each channel: brightness * 200 + i * 256, clamped to 0..65535.
    static void GammaRamp(int brightness, uint16_t ramp[256]);

    // --- Device operations ---
    virtual int CreateDevice(int modeIndex, const String& title, void* parentWindow, int x, int y, int width,
                             int height) = 0;
    virtual int DestroyDevice() = 0;
    // ReleaseBuffer comes from DeviceResourceCache.
    virtual void ReleaseTexture(BaseTexture& texture) = 0;
    virtual void ReleaseShader(Shader& shader) = 0;
    virtual void ReleasePass(Pass& pass) = 0;
    virtual void ReleaseResource(Object& object) = 0;
    virtual void BeginQuery(Object* query) = 0;
    virtual void EndQuery(Object* query) = 0;
    virtual void SetTexture(BaseTexture* texture, int stage) = 0;
    virtual void SetVertexShader(VertexShader* shader) = 0;
    virtual void SetVertexConstants(int firstRegister, const float* values, int registerCount) = 0;
    virtual void SetPixelShader(PixelShader* shader) = 0;
    virtual void SetPixelConstants(int firstRegister, const float* values, int registerCount) = 0;
    virtual void BindTexCoords(Buffer* buffer, int setIndex) = 0;
    virtual void BindColors(ColorBuffer* buffer) = 0;
    virtual void BindPositions(Buffer* buffer) = 0;
    virtual void BindPointSizes(FloatBuffer* buffer) = 0;
    virtual void BindNormals(Vector3Buffer* buffer) = 0;
    virtual void BindBlendWeights(Vector4Buffer* buffer) = 0;
    virtual void BindBlendIndices(Vector4Buffer* buffer) = 0;
    virtual void BindIndices(IntBuffer* buffer) = 0;
    virtual void BeginPass(Pass* pass) = 0;
    virtual void DrawIndexed() = 0;
    virtual void DrawBuffers(Buffer* positions, IntBuffer* indices, Vector4Buffer* stream2, Vector4Buffer* stream3,
                             Buffer* texCoords) = 0;
    virtual void DrawPrimitives(int primitiveCount) = 0;
    virtual void Clear(int flags, const Color& color, float depth, int stencil) = 0;
    virtual int BeginScene() = 0;
    virtual void EndScene() = 0;
    virtual Matrix4 GetWorldMatrix() = 0;
    virtual void SetWorldMatrix(const Matrix4& matrix) = 0;
    virtual Matrix4 GetViewMatrix() = 0;
    virtual void SetViewMatrix(const Matrix4& matrix) = 0;
    virtual Matrix4 GetProjectionMatrix() = 0;
    virtual void SetProjectionMatrix(const Matrix4& matrix) = 0;
    virtual Matrix4 GetTextureMatrix(int stage) = 0;
    virtual void SetTextureMatrix(int stage, const Matrix4& matrix) = 0;
    virtual void EnableLight(Light* light) = 0;
    virtual void DisableLight() = 0;
    virtual void SetCubeRenderTarget(int face, CubeTexture* texture) = 0;
    virtual void SetRenderTarget(BaseTexture* texture) = 0;
    virtual void SetShadowmapTarget(BaseTexture* texture, int depthBias, float slopeScaledBias) = 0;
    virtual int GetViewportWidth() = 0;
    virtual int GetViewportHeight() = 0;
    virtual void SetViewport(const Vector2& position, const Vector2& size) = 0;
    virtual void SetGamma(int brightness) = 0;

    // --- What hosts, tools and tests ask of any device ---
    // Reads the colour of the current target as RGBA rows, bottom row first (the gamma ramp
    // applied where the device applies it to the frame); false without a device.
    virtual bool ReadFrame(int& width, int& height, std::vector<uint8_t>& rgba) = 0;
    // The visible samples the last EndQuery counted for query; -1 when it never ran.
    virtual int GetQueryResult(const Object* query) const = 0;
    // Where reading a render target back costs next to nothing (a device that draws with the
    // CPU has it in memory already): its colour as RGBA rows, top row first. False, and nothing
    // read, on any other device, so callers keep to their device-side way.
    virtual bool ReadTarget(BaseTexture* /*texture*/, int& /*width*/, int& /*height*/, std::vector<uint8_t>& /*rgba*/) {
        return false;
    }
    // Copies a render target texel for pixel over the current viewport of the current target;
    // false, and nothing drawn, where the device has no such copy or the sizes differ.
    virtual bool CopyTarget(BaseTexture* /*source*/) { return false; }
    // How a program's build errors reach the user; null restores the device's message box.
    using MessageFunction = void (*)(const char* text);
    static void SetMessageFunction(MessageFunction function);

    // --- Profile: where a frame's drawing goes ---
    // A named section of the frames drawn while profiling, told apart by the render target it
    // drew into: only its own drawing counts (a section opened inside it counts apart).
    struct ProfileEntry {
        std::string name;    // "section" or "section [target texture]"
        int64_t runs = 0;    // stretches of drawing summed
        double milliseconds = -1.0;  // GPU time; -1 where the device has no timer
        int64_t samples = -1;        // samples that passed the tests; -1 where it cannot count
    };
    // Off by default; while off, opening and closing a section is one test and nothing more.
    void SetProfiling(bool on);
    bool IsProfiling() const { return profiling_ != 0; }
    void OpenProfileSection(const char* name) {
        if (profiling_) OpenSection(name);
    }
    void CloseProfileSection() {
        if (profiling_) CloseSection();
    }
    // Totals per section since profiling was switched on, in the order the sections first
    // drew; waits for the device to finish the frames.
    std::vector<ProfileEntry> GetProfile();

    // Opens a section for the scope it lives in.
    class ProfileScope {
    public:
        ProfileScope(Renderer& renderer, const char* name) : renderer_(renderer) {
            renderer_.OpenProfileSection(name);
        }
        ~ProfileScope() { renderer_.CloseProfileSection(); }
        ProfileScope(const ProfileScope&) = delete;
        ProfileScope& operator=(const ProfileScope&) = delete;

    private:
        Renderer& renderer_;
    };

protected:
    // For the device: the mode list, the capabilities it found, the colour of the last clear.
    void AddMode(const DisplayMode& mode);
    void SetDefaultMode(int index) { defaultMode_ = index; }
    // A program's build errors: to the function set above, else to the device's message box.
    void ShowMessage(const char* text);
    virtual void ShowMessageBox(const char* text) = 0;
    void SetDeviceCaps(const RendererCaps& caps);
    void SetClearColor(const Color& color) { clearColor_ = color; }
    // The render-target stack: a push saves the device's current surfaces; a pop first draws
    // the blended geometry into the target it leaves, and false means the stack was empty.
    void PushRenderTarget(BaseTexture* texture, int face, uintptr_t savedColor, uintptr_t savedDepth);
    bool PopRenderTarget(RenderTarget& popped);
    // For a device that can measure: ends the stretch being measured and starts one for the
    // section of that index (-1: none). The stretches add up to the sections' totals in
    // CollectProfile, which may wait for the device.
    virtual void SwitchProfileRun(int /*section*/) {}
    virtual void CollectProfile(std::vector<ProfileEntry>& /*totals*/) {}

    int viewportWidth_ = 0;
    int viewportHeight_ = 0;

private:
    struct PreRenderEntry {
        Pointer<RefCounted> owner;
        PreRenderStep* step;
    };
    struct DeferredEntry {
        Pointer<GeometryNode> geometry;
        float distanceSquared;
    };

    void AddPreRender(RefCounted* owner, PreRenderStep* step);
    void ApplyLimits();
    void OpenSection(const char* name);
    void CloseSection();
    // Starts measuring the innermost open section in the current target.
    void ResumeSection();

    std::vector<DisplayMode> modes_;
    int defaultMode_ = -1;
    void* window_ = nullptr;
    Pointer<Camera> camera_;
    Pointer<GeometryNode> currentGeometry_;
    Pass* currentPass_ = nullptr;
    Color clearColor_;
    uint8_t reverseCull_ = 0;
    uint8_t equalDepth_ = 0;
    std::vector<Pointer<Light>> lights_;
    std::vector<PreRenderEntry> preRender_;
    std::vector<DeferredEntry> deferred_;
    std::vector<Pointer<GeometryNode>> late_;
    std::vector<RenderTarget> targets_;
    RendererCaps deviceCaps_;
    RendererCaps caps_;
    // -1 while no limit is set.
    int limitVertexLevel_ = -1;
    int limitPixelLevel_ = -1;
    int limitTextureUnits_ = -1;
    int limitShadowMaps_ = -1;
    int limitPointSprites_ = -1;
    uint8_t profiling_ = 0;
    std::vector<std::string> openSections_;
    std::vector<ProfileEntry> profile_;
};

} // namespace nuv
