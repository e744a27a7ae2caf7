#pragma once

#include "render/RenderStateBlock.h"
#include "render/Renderer.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace nuv {

class Image;
struct ResourceLink;

// The renderer on an OpenGL 2.1 compatibility context from SDL2: fixed-function techniques on
// the fixed-function pipeline, GLSL programs for the program techniques, device objects made
// on first use and kept by engine object ID.
class GlRenderer : public Renderer {
public:
    GlRenderer();
    ~GlRenderer() override;

    int GetQueryResult(const Object* query) const override;
    bool ReadFrame(int& width, int& height, std::vector<uint8_t>& rgba) override;
    bool ReadTarget(BaseTexture* texture, int& width, int& height, std::vector<uint8_t>& rgba) override;
    bool CopyTarget(BaseTexture* source) override;

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
    void SetWorldMatrix(const Matrix4& matrix) override { world_ = matrix; }
    Matrix4 GetViewMatrix() override { return view_; }
    void SetViewMatrix(const Matrix4& matrix) override { view_ = matrix; }
    Matrix4 GetProjectionMatrix() override { return projection_; }
    void SetProjectionMatrix(const Matrix4& matrix) override { projection_ = matrix; }
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

protected:
    void ShowMessageBox(const char* text) override;
    void SwitchProfileRun(int section) override;
    void CollectProfile(std::vector<ProfileEntry>& totals) override;

private:
    enum class Kind { kVertexBuffer, kIndexBuffer, kTexture, kCube, kVolume, kTarget, kCubeTarget, kShadowMap,
                      kShader, kQuery, kState };
    // One device object and the link of the engine object it copies.
    struct Resource {
        Kind kind = Kind::kTexture;
        ResourceLink* link = nullptr;
        GLuint name = 0;
        GLuint framebuffers[6] = {0, 0, 0, 0, 0, 0};
        GLuint depth = 0;
        GLenum indexType = GL_UNSIGNED_INT;
        int components = 0;
        int count = 0;
        int width = 0;
        int height = 0;
        bool mipmapped = false;
        int queryResult = -1;
    };

    void BuildModes();
    void ReadCapabilities(const DisplayMode& mode);
    void SetDefaultState();
    void ReleaseAll();
    void Release(int32_t id);
    Resource* Find(int32_t id);
    Resource& Enter(int32_t id, Kind kind, ResourceLink& link);

    Resource* BufferObject(Buffer* buffer, bool indices);
    Resource* TextureObject(BaseTexture* texture);
    bool UploadTexture(Resource& resource, const Image& image, bool allowCompression, int levels);
    // Replaces every level of the bound compressed 2D texture by its decoded texels.
    void StoreDecoded(int levels);
    bool UploadCube(Resource& resource, const Image& image);
    bool UploadVolume(Resource& resource, const Image& image);
    // ownDepth false: a colour target without a depth surface of its own (see ShareDepth).
    Resource* TargetObject(BaseTexture* texture, Kind kind, int width, int height, int format, bool ownDepth = true);
    void MakeShadowMapTarget(Resource& resource);
    void MakeColorTarget(Resource& resource, const BaseTexture& texture, Kind kind, int format, bool ownDepth);
    // Gives the bound target the depth surface of the target outside it when their sizes match,
    // as a device keeps its depth surface for a colour target that brings none; else no depth.
    void ShareDepth(BaseTexture* outer, const Resource& target);
    void PushTarget(BaseTexture* texture, int face, GLuint framebuffer, int width, int height);
    void PopTarget();

    GLuint ProgramFor();
    GLuint SpriteProgram();
    GLuint CompileShader(Shader& shader, GLenum type);
    // The matrices, the draw-time state overrides and the program of the next draw.
    void PrepareDraw();
    void LoadProjection(bool ownRegisters);
    void LoadTextureMatrices();
    void ApplyDrawOverrides(const RenderStateBlock& block);
    void UseProgram(GLuint program, bool ownRegisters);
    void DrawRange(int primitiveType, int count, bool indexed);
    void UploadConstants(GLuint program);
    void ApplyGammaToFrame();
    GLuint ProfileQuery();
    void ReleaseProfileQueries();

    void* window_ = nullptr;
    void* context_ = nullptr;
    int backWidth_ = 0;
    int backHeight_ = 0;
    bool foreignWindow_ = false;
    // Mesa's rasterisers on the processor. What a graphics card does for nothing costs them
    // most of a textured pixel's time, so on them:
    // - the filters that blend two mip-map levels read the nearer level only: at this scene's
    //   scale the blend shows nowhere (the content's picture tests see no change);
    // - compressed pictures are stored as the texels their compression gives, uncompressed:
    //   the same picture, without decoding a block at every texel read.
    bool softwareRasterizer_ = false;
    int textureUnits_ = 8;

    std::unordered_map<int32_t, Resource> resources_;
    // Compiled shaders by kind and text, and linked programs by their two shaders: effects of
    // one kind share their program texts, so a scene with hundreds of effect instances still
    // compiles each text once. 0 records a text that did not build. Freed with the context.
    std::unordered_map<std::string, GLuint> compiledShaders_;
    std::unordered_map<uint64_t, GLuint> programs_;
    RenderStateBlock* block_ = nullptr;
    // The block whose state is on the device now; null after anything else touched it.
    RenderStateBlock* appliedBlock_ = nullptr;
    unsigned textureMatrixSet_ = 0;
    bool programInUse_ = false;
    VertexShader* vertexShader_ = nullptr;
    PixelShader* pixelShader_ = nullptr;
    float vertexConstants_[256 * 4] = {};
    float pixelConstants_[32 * 4] = {};
    // The registers set since the last upload, and the highest ever set; uniform arrays are
    // uploaded from their first element's location onwards, element by element.
    struct DirtyRange {
        int low = 0;
        int high = 0;
        int everHigh = 0;
        void Add(int from, int to) {
            low = high > low ? std::min(low, from) : from;
            high = std::max(high, to);
            everHigh = std::max(everHigh, to);
        }
    };
    DirtyRange vertexDirty_;
    DirtyRange pixelDirty_;
    GLuint uploadedProgram_ = 0;
    struct UniformArrays {
        GLint vc = -1;
        GLint pc = -1;
        int vcSize = 0;
        int pcSize = 0;
    };
    std::unordered_map<GLuint, UniformArrays> programUniforms_;
    int primitiveTypeOverride_ = -1;
    Resource* indices_ = nullptr;
    int vertexCount_ = 0;
    int texCoordComponents_[8] = {};
    BaseTexture* boundTextures_[8] = {};

    Matrix4 world_, view_, projection_;
    Matrix4 textureMatrices_[8];

    uint16_t gammaRamp_[256] = {};
    bool gammaOnFrame_ = false;
    GLuint gammaProgram_ = 0;
    // Fixed-function sprites with a point size per vertex: the fixed pipeline has one size for
    // all points, so a vertex program sizes them and fixed-function fragment stages do the rest.
    GLuint spriteProgram_ = 0;
    bool spriteProgramFailed_ = false;
    bool pointSizesBound_ = false;
    bool programPointSize_ = false;
    // Drawing into a shadow map: the polygon offset carries the map's depth bias.
    bool shadowBias_ = false;
    // A pass asking for equal depth draws again over what an effect drew before, through
    // another program; GL does not promise those depths are bit-identical, so "equal" is taken
    // as "in front or level, pulled forward by a few depth units".
    bool equalDepthOffset_ = false;
    GLuint gammaTextures_[2] = {0, 0};
    // Profile: one stretch of a section's drawing, counted by a timer and a sample query (a
    // timer of 0 without timer queries). The queries of gathered stretches are used again.
    struct ProfileRun {
        int section = -1;
        GLuint time = 0;
        GLuint samples = 0;
    };
    std::vector<ProfileRun> profileRuns_;
    std::vector<GLuint> spareProfileQueries_;
    int profileSection_ = -1;
    // The section whose stretch an occlusion query interrupted: GL counts one at a time.
    int pausedProfileSection_ = -1;
    bool timerQueries_ = false;
};

} // namespace nuv
