#pragma once

#include "render/RenderStateBlock.h"
#include "render/Renderer.h"
#include "render/d3d9/D3dxLibrary.h"

#include <d3d9.h>

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace nuv {

class Image;
struct ResourceLink;

// The renderer on a Direct3D 9 device: fixed-function techniques on the fixed pipeline, assembly
// programs (assembled by D3DX when its DLL is there) for the program techniques, device objects
// made on first use and kept by engine object ID. A lost device is reset: the default-pool
// objects are released and made again on their next use.
class D3d9Renderer : public Renderer {
public:
    D3d9Renderer();
    ~D3d9Renderer() override;

    // The DLL the assembler comes from; another name (one that does not exist, in tests) makes
    // renderers made later run without programs.
    static void SetAssemblerLibrary(const char* name);

    // The device's answers that decide the capability lines and levels.
    struct DeviceFacts {
        bool hardwareVertexProcessing = true;
        DWORD vertexShaderVersion = 0;
        DWORD pixelShaderVersion = 0;
        float maxPointSize = 0;
        bool pointSizePerVertex = false;
        DWORD maxVertexIndex = 0;
    };
    // Levels as the device's shader versions give them (4 = none; no pixel level, no vertex level).
    static void LevelsFromVersions(DWORD vertexVersion, DWORD pixelVersion, int32_t& vertexLevel, int32_t& pixelLevel);
    static bool PointSpritesFrom(float maxPointSize, bool perVertexSize);
    // 32-bit indices only where the device reads indices above 65536.
    static bool UsesLongIndices(DWORD maxVertexIndex);
    const DeviceFacts& GetDeviceFacts() const { return facts_; }
    bool HasAssembler() const { return d3dx_.IsOpen(); }
    // What a lost device goes through (TestCooperativeLevel says when): the default-pool objects
    // are released, the device reset with the same presentation parameters. False when Reset fails.
    bool ResetDevice();
    // Device objects in the cache now, and those of them in the default pool.
    int GetCachedCount() const { return int(resources_.size()); }
    int GetDefaultPoolCount() const;

    int CreateDevice(int modeIndex, const String& title, void* parentWindow, int x, int y, int width,
                     int height) override;
    int DestroyDevice() override;
    void ReleaseBuffer(Buffer& buffer) override;
    void ReleaseTexture(BaseTexture& texture) override;
    void ReleaseShader(Shader& shader) override;
    void ReleasePass(Pass& pass) override;
    void ReleaseResource(Object& object) override;
    void BeginQuery(Object* query) override;
    void EndQuery(Object* query) override;
    void SetTexture(BaseTexture* texture, int stage) override;
    void SetVertexShader(VertexShader* shader) override;
    void SetVertexConstants(int firstRegister, const float* values, int registerCount) override;
    void SetPixelShader(PixelShader* shader) override;
    void SetPixelConstants(int firstRegister, const float* values, int registerCount) override;
    void BindTexCoords(Buffer* buffer, int setIndex) override;
    void BindColors(ColorBuffer* buffer) override;
    void BindPositions(Buffer* buffer) override;
    void BindPointSizes(FloatBuffer* buffer) override;
    void BindNormals(Vector3Buffer* buffer) override;
    void BindBlendWeights(Vector4Buffer* buffer) override;
    void BindBlendIndices(Vector4Buffer* buffer) override;
    void BindIndices(IntBuffer* buffer) override;
    void BeginPass(Pass* pass) override;
    void DrawIndexed() override;
    void DrawBuffers(Buffer* positions, IntBuffer* indices, Vector4Buffer* stream2, Vector4Buffer* stream3,
                     Buffer* texCoords) override;
    void DrawPrimitives(int primitiveCount) override;
    void Clear(int flags, const Color& color, float depth, int stencil) override;
    int BeginScene() override;
    void EndScene() override;
    Matrix4 GetWorldMatrix() override { return world_; }
    void SetWorldMatrix(const Matrix4& matrix) override;
    Matrix4 GetViewMatrix() override { return view_; }
    void SetViewMatrix(const Matrix4& matrix) override;
    Matrix4 GetProjectionMatrix() override { return projection_; }
    void SetProjectionMatrix(const Matrix4& matrix) override;
    Matrix4 GetTextureMatrix(int stage) override;
    void SetTextureMatrix(int stage, const Matrix4& matrix) override;
    void EnableLight(Light* light) override;
    void DisableLight() override;
    void SetCubeRenderTarget(int face, CubeTexture* texture) override;
    void SetRenderTarget(BaseTexture* texture) override;
    void SetShadowmapTarget(BaseTexture* texture, int depthBias, float slopeScaledBias) override;
    int GetViewportWidth() override { return viewportWidth_; }
    int GetViewportHeight() override { return viewportHeight_; }
    void SetViewport(const Vector2& position, const Vector2& size) override;
    void SetGamma(int brightness) override;
    bool ReadFrame(int& width, int& height, std::vector<uint8_t>& rgba) override;
    int GetQueryResult(const Object* query) const override;

protected:
    void ShowMessageBox(const char* text) override;
    void SwitchProfileRun(int section) override;
    void CollectProfile(std::vector<ProfileEntry>& totals) override;

private:
    enum class Kind { kVertexBuffer, kIndexBuffer, kTexture, kCube, kVolume, kTarget, kCubeTarget, kShadowMap,
                      kVertexShader, kPixelShader, kQuery, kState };
    struct Resource {
        Kind kind = Kind::kTexture;
        ResourceLink* link = nullptr;
        IUnknown* object = nullptr;
        IDirect3DSurface9* depth = nullptr;
        // Vertex buffers: floats per vertex (0 for 32-bit colours); index buffers: 2 or 4 bytes.
        int components = 0;
        int count = 0;
        int width = 0;
        int height = 0;
        int queryResult = -1;
        // A buffer rewritten after its first upload lives in the default pool.
        bool dynamic = false;
    };
    // One bound stream: its buffer and how the layout reads it.
    struct Stream {
        Resource* buffer = nullptr;
        BYTE type = 0;
        BYTE usage = 0;
        BYTE usageIndex = 0;
        int stride = 0;
    };
    enum StreamSlot { kPositionSlot = 0, kNormalSlot, kColorSlot, kSizeSlot, kWeightSlot, kBoneSlot, kTexCoordSlot,
                      kSlotCount = kTexCoordSlot + 8 };

    void BuildModes();
    bool FillPresentation(const DisplayMode& mode, int width, int height, void* window);
    void ReadCapabilities(const DisplayMode& mode);
    void SetDefaultState();
    void ReleaseAll();
    void ReleaseDefaultPool();
    void Release(int32_t id);
    Resource* Find(int32_t id);
    Resource& Enter(int32_t id, Kind kind, ResourceLink* link);
    static bool InDefaultPool(const Resource& resource);

    Resource* BufferObject(Buffer* buffer, bool indices);
    void Bind(StreamSlot slot, Buffer* buffer, BYTE usage, BYTE usageIndex, bool colors = false);
    Resource* TextureObject(BaseTexture* texture);
    IUnknown* UploadTexture(const Image& image, bool compress, int levels, int& created);
    IUnknown* UploadCube(const Image& image, int& created);
    IUnknown* UploadVolume(const Image& image, int& created);
    Resource* TargetObject(BaseTexture* texture, Kind kind, int width, int height, int format, bool ownDepth);
    // The device objects of a new target; false (and nothing left) when the device refuses one.
    struct TargetObjects {
        IUnknown* object = nullptr;
        IDirect3DSurface9* depth = nullptr;
        int levels = 1;
    };
    bool MakeShadowMapObjects(int width, int height, TargetObjects& made);
    bool MakeColorObjects(const BaseTexture& texture, Kind kind, int width, int height, int format, bool ownDepth,
                          TargetObjects& made);
    void PushTarget(BaseTexture* texture, int face, IDirect3DSurface9* color, IDirect3DSurface9* depth, int width,
                    int height);
    void PopTarget();
    IUnknown* ShaderObject(Shader* shader, bool vertex);

    void ApplyState();
    bool PrepareDraw();
    void DrawRange(int primitiveType, int count, bool indexed);

    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    D3DPRESENT_PARAMETERS presentation_{};
    D3DFORMAT adapterFormat_ = D3DFMT_X8R8G8B8;
    D3DFORMAT depthFormat_ = D3DFMT_D24S8;
    DeviceFacts facts_;
    D3dxLibrary d3dx_;
    bool lost_ = false;
    int backWidth_ = 0;
    int backHeight_ = 0;

    std::unordered_map<int32_t, Resource> resources_;
    // Assembled programs by text: effects of one kind share their texts. Freed with the device.
    std::unordered_map<std::string, IUnknown*> programs_;
    std::map<std::string, IDirect3DVertexDeclaration9*> layouts_;

    RenderStateBlock* block_ = nullptr;
    RenderStateBlock* appliedBlock_ = nullptr;
    Stream streams_[kSlotCount];
    Resource* indices_ = nullptr;
    int vertexCount_ = 0;
    BaseTexture* boundTextures_[8] = {};
    IUnknown* vertexShader_ = nullptr;
    IUnknown* pixelShader_ = nullptr;
    bool shadersSet_ = false;
    // What the draw-time overrides last set, so that they are set again only when they change;
    // forgotten whenever a recorded state is replayed.
    static constexpr DWORD kUnknownState = 0xFFFFFFFFu;
    void ForgetDrawState();
    DWORD stageOps_[8] = {};
    DWORD transformFlags_[8] = {kUnknownState, kUnknownState, kUnknownState, kUnknownState,
                                kUnknownState, kUnknownState, kUnknownState, kUnknownState};
    DWORD cullMode_ = kUnknownState;
    DWORD depthFunction_ = kUnknownState;
    bool shadowBias_ = false;
    bool equalDepthOffset_ = false;

    Matrix4 world_, view_, projection_;
    Matrix4 textureMatrices_[8];

    // Profile: one stretch of a section's drawing, counted by an occlusion query and timed by a
    // time stamp at each end (none where the device has no time stamps). The queries of
    // gathered stretches are used again; all go with the device or before a reset.
    struct ProfileRun {
        int section = -1;
        IDirect3DQuery9* samples = nullptr;
        IDirect3DQuery9* begin = nullptr;
        IDirect3DQuery9* end = nullptr;
    };
    IDirect3DQuery9* ProfileQuery(D3DQUERYTYPE type);
    void SpareProfileQuery(IDirect3DQuery9* query, D3DQUERYTYPE type);
    void ReleaseProfileQueries();
    std::vector<ProfileRun> profileRuns_;
    std::vector<IDirect3DQuery9*> spareOcclusionQueries_;
    std::vector<IDirect3DQuery9*> spareTimestampQueries_;
    int profileSection_ = -1;
    // The section whose stretch an occlusion query interrupted: one counts at a time.
    int pausedProfileSection_ = -1;
};

} // namespace nuv
