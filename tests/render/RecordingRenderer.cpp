#include "RecordingRenderer.h"

#include "core/Buffer.h"
#include "core/Status.h"
#include "media/ModuleManager.h"
#include "media/StaticModule.h"
#include "render/BaseTexture.h"
#include "render/CubeTexture.h"
#include "render/Pass.h"
#include "render/Shader.h"
#include "scene/GeometryNode.h"
#include "scene/Light.h"

namespace nuv::test {

namespace {

std::string NameOf(const Object* object) {
    return object ? std::string(object->GetName().GetText()) : std::string("null");
}

int Zero() {
    return kStatusOk;
}

int CreateRecordingRenderer(Renderer** out) {
    *out = new RecordingRenderer();
    return kStatusOk;
}

} // namespace

RecordingRenderer::RecordingRenderer() {
    viewportWidth_ = backWidth;
    viewportHeight_ = backHeight;
}

int RecordingRenderer::CreateDevice(int modeIndex, const String& title, void*, int x, int y, int width, int height) {
    Note("create:" + std::to_string(modeIndex) + ":" + title.GetText() + ":" + std::to_string(x) + "," +
         std::to_string(y) + "," + std::to_string(width) + "x" + std::to_string(height));
    return 0;
}

int RecordingRenderer::DestroyDevice() {
    Note("destroy");
    return destroyResult;
}

void RecordingRenderer::ReleaseBuffer(Buffer& buffer) {
    Note("releaseBuffer:" + NameOf(&buffer));
}

void RecordingRenderer::ReleaseTexture(BaseTexture& texture) {
    Note("releaseTexture:" + NameOf(&texture));
}

void RecordingRenderer::ReleaseShader(Shader& shader) {
    Note("releaseShader:" + NameOf(&shader));
}

void RecordingRenderer::ReleasePass(Pass& pass) {
    Note("releasePass:" + NameOf(&pass));
}

void RecordingRenderer::ReleaseResource(Object& object) {
    Note("releaseResource:" + NameOf(&object));
}

void RecordingRenderer::SetTexture(BaseTexture* texture, int stage) {
    // As a device does: a texture being rendered into is not read at the same time.
    if (IsRenderTarget(texture)) texture = nullptr;
    Note("tex" + std::to_string(stage) + ":" + NameOf(texture));
}

void RecordingRenderer::BeginPass(Pass* pass) {
    Note("pass:" + NameOf(pass));
}

void RecordingRenderer::DrawIndexed() {
    Note("draw:" + NameOf(GetCurrentGeometry()));
}

void RecordingRenderer::Clear(int flags, const Color& color, float, int) {
    if (flags & kClearColor) SetClearColor(color);
    Note("clear");
}

int RecordingRenderer::BeginScene() {
    Note("begin");
    return beginSceneResult;
}

void RecordingRenderer::EnableLight(Light* light) {
    Note("light" + std::to_string(GetLightCount() - 1) + ":" + NameOf(light));
}

void RecordingRenderer::DisableLight() {
    Note("unlight" + std::to_string(GetLightCount()));
}

void RecordingRenderer::SetCubeRenderTarget(int face, CubeTexture* texture) {
    if (!texture) return;
    PushRenderTarget(texture, face, 1, 2);
    viewportWidth_ = viewportHeight_ = 64;
    Note("cube" + std::to_string(face) + ":" + NameOf(texture));
}

void RecordingRenderer::SetRenderTarget(BaseTexture* texture) {
    if (texture) {
        PushRenderTarget(texture, 0, 1, 2);
        viewportWidth_ = viewportHeight_ = 64;
        Note("target:" + NameOf(texture));
        return;
    }
    RenderTarget popped;
    if (!PopRenderTarget(popped)) return;
    viewportWidth_ = backWidth;
    viewportHeight_ = backHeight;
    Note("pop:" + NameOf(popped.texture.Get()));
}

void RecordingRenderer::SetShadowmapTarget(BaseTexture* texture, int, float) {
    SetRenderTarget(texture);
}

void RecordingRenderer::SetViewport(const Vector2& position, const Vector2& size) {
    (void)position;
    viewportWidth_ = int(size.x);
    viewportHeight_ = int(size.y);
}

void RecordingRenderer::SetGamma(int brightness) {
    GammaRamp(brightness, gamma);
}

int UseTestRenderer(const char* module, int (*create)(Renderer**)) {
    if (!ModuleManager::FindModule(module)) {
        Pointer<StaticModule> made(new StaticModule(module));
        made->AddFunction("Initialize", &Zero);
        made->AddFunction("Shutdown", &Zero);
        made->AddFunction("CreateRenderer", create);
        if (const int status = ModuleManager::RegisterModule(made.Get()); status != kStatusOk) return status;
    }
    return ModuleManager::CreateRenderer(module);
}

int UseRecordingRenderer() {
    return UseTestRenderer("Recording", &CreateRecordingRenderer);
}

} // namespace nuv::test
