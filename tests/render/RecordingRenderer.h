#pragma once

// A renderer that writes down the device operations the base part and the effects call, in
// order, as words in one string; render targets are pushed and popped on the real stack.
#include "render/Renderer.h"

#include <string>

namespace nuv::test {

class RecordingRenderer : public Renderer {
public:
    RecordingRenderer();

    // For the tests: a mode list and capabilities as a device would report them.
    using Renderer::AddMode;
    using Renderer::SetDeviceCaps;

    int CreateDevice(int modeIndex, const String& title, void* parentWindow, int x, int y, int width,
                     int height) override;
    int DestroyDevice() override;
    void ReleaseBuffer(Buffer& buffer) override;
    void ReleaseTexture(BaseTexture& texture) override;
    void ReleaseShader(Shader& shader) override;
    void ReleasePass(Pass& pass) override;
    void ReleaseResource(Object& object) override;
    void BeginQuery(Object*) override { Note("beginQuery"); }
    void EndQuery(Object*) override { Note("endQuery"); }
    void SetTexture(BaseTexture* texture, int stage) override;
    void SetVertexShader(VertexShader*) override { Note("vs"); }
    void SetVertexConstants(int, const float*, int) override { Note("vc"); }
    void SetPixelShader(PixelShader*) override { Note("ps"); }
    void SetPixelConstants(int, const float*, int) override { Note("pc"); }
    void BindTexCoords(Buffer*, int) override { Note("texcoords"); }
    void BindColors(ColorBuffer*) override { Note("colors"); }
    void BindPositions(Buffer*) override { Note("positions"); }
    void BindPointSizes(FloatBuffer*) override { Note("sizes"); }
    void BindNormals(Vector3Buffer*) override { Note("normals"); }
    void BindBlendWeights(Vector4Buffer*) override { Note("weights"); }
    void BindBlendIndices(Vector4Buffer*) override { Note("bones"); }
    void BindIndices(IntBuffer*) override { Note("indices"); }
    void BeginPass(Pass* pass) override;
    void DrawIndexed() override;
    void DrawBuffers(Buffer*, IntBuffer*, Vector4Buffer*, Vector4Buffer*, Buffer*) override { Note("drawBuffers"); }
    void DrawPrimitives(int) override { Note("drawPrimitives"); }
    void Clear(int flags, const Color& color, float depth, int stencil) override;
    int BeginScene() override;
    void EndScene() override { Note("end"); }
    Matrix4 GetWorldMatrix() override { return world; }
    void SetWorldMatrix(const Matrix4& matrix) override { world = matrix; }
    Matrix4 GetViewMatrix() override { return view; }
    void SetViewMatrix(const Matrix4& matrix) override { view = matrix; }
    Matrix4 GetProjectionMatrix() override { return projection; }
    void SetProjectionMatrix(const Matrix4& matrix) override { projection = matrix; }
    Matrix4 GetTextureMatrix(int) override { return Matrix4(); }
    void SetTextureMatrix(int, const Matrix4&) override { Note("textureMatrix"); }
    void EnableLight(Light* light) override;
    void DisableLight() override;
    void SetCubeRenderTarget(int face, CubeTexture* texture) override;
    void SetRenderTarget(BaseTexture* texture) override;
    void SetShadowmapTarget(BaseTexture* texture, int depthBias, float slopeScaledBias) override;
    int GetViewportWidth() override { return viewportWidth_; }
    int GetViewportHeight() override { return viewportHeight_; }
    void SetViewport(const Vector2& position, const Vector2& size) override;
    void SetGamma(int brightness) override;
    bool ReadFrame(int&, int&, std::vector<uint8_t>&) override { return false; }
    int GetQueryResult(const Object*) const override { return -1; }
    void ShowMessageBox(const char* text) override { Note(std::string("message:") + text); }

    void Note(const std::string& word) { calls += word + " "; }

    std::string calls;
    int beginSceneResult = 0;
    int destroyResult = 0;
    uint16_t gamma[256] = {};
    Matrix4 world, view, projection;
    // The back buffer's size, restored when the last target is popped.
    int backWidth = 800;
    int backHeight = 600;
};

// Registers a module of this name (once) whose CreateRenderer is create, and makes the renderer
// it creates the current one: ModuleManager::CreateRenderer's status.
int UseTestRenderer(const char* module, int (*create)(Renderer**));
// The same with a plain recording renderer, as the module "Recording".
int UseRecordingRenderer();

} // namespace nuv::test
