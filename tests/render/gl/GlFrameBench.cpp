// How much of a frame the engine costs: 1000 geometries of 100 triangles under one shared
// effect, drawn through the scene graph and the OpenGL module (update, cull, pass state, submit)
// and then replayed by a bare GL loop making the same draw calls. Prints milliseconds per frame;
// run it by hand, it is not a test. Usage: bench_render_gl [frames]
#include "core/ColorBuffer.h"
#include "core/Engine.h"
#include "core/IntBuffer.h"
#include "core/Vector3Buffer.h"
#include "media/ModuleManager.h"
#include "platform/SystemWindow.h"
#include "render/ColorEffect.h"
#include "render/GeometryNodeEffect.h"
#include "render/GeometryNodeEffectPass.h"
#include "render/Renderer.h"
#include "render/Technique.h"
#include "scene/Camera.h"
#include "scene/SceneNode.h"
#include "scene/Triangles.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace nuv {

// The usual geometry pass: world, view and projection, then the geometry's own streams.
class BenchPass : public GeometryNodeEffectPass {
    NUV_DECLARE_OBJECT
public:
    explicit BenchPass(GeometryNodeEffect* effect = nullptr) : GeometryNodeEffectPass(effect) {}
    int Apply() override {
        Renderer& r = *ModuleManager::GetRenderer();
        GeometryNode* g = r.GetCurrentGeometry();
        r.SetWorldMatrix(g->GetWorldTransform().ToMatrix());
        r.SetViewMatrix(r.GetCamera()->GetView());
        r.SetProjectionMatrix(r.GetCamera()->GetProjection());
        r.BindPositions(g->GetVertices());
        r.BindColors(g->GetColors());
        r.BindIndices(g->GetIndices());
        return 0;
    }
};
NUV_IMPLEMENT_OBJECT(BenchPass, GeometryNodeEffectPass)

class BenchEffect : public GeometryNodeEffect {
    NUV_DECLARE_OBJECT
public:
    BenchEffect() {
        struct Always : Technique {
            bool IsSupported() override { return true; }
        };
        auto* technique = new Always;
        technique->AddPass(new BenchPass(this));
        AddTechnique(technique);
    }
};
NUV_IMPLEMENT_OBJECT(BenchEffect, GeometryNodeEffect)

} // namespace nuv

using namespace nuv;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kGeometries = 1000;
constexpr int kColumns = 11;  // 11 x 6 vertices: 10 x 5 cells, 100 triangles

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

Pointer<Triangles> Patch(float x, float y, float z, BenchEffect* effect) {
    Pointer<Vector3Buffer> positions(new Vector3Buffer(kColumns * 6));
    Pointer<ColorBuffer> colors(new ColorBuffer(kColumns * 6));
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < kColumns; ++c) {
            positions->GetElements()[r * kColumns + c] = Vector3(c * 0.02f, r * 0.02f, 0);
            colors->GetElements()[r * kColumns + c] = Color(c / 10.0f, r / 5.0f, 0.5f, 1);
        }
    Pointer<IntBuffer> indices(new IntBuffer(300));
    int32_t* i = indices->GetElements();
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 10; ++c) {
            const int32_t a = r * kColumns + c, b = a + kColumns;
            *i++ = a, *i++ = b, *i++ = b + 1, *i++ = a, *i++ = b + 1, *i++ = a + 1;
        }
    Pointer<Triangles> patch(new Triangles);
    patch->SetVertices(positions.Get());
    patch->SetColors(colors.Get());
    patch->SetIndices(indices.Get());
    patch->SetEffect(effect);
    patch->ComputeModelBound();
    patch->GetLocalTransform().SetTranslation(Vector3(x, y, z));
    return patch;
}

const WindowCalls kWindowCalls{&CreateSystemWindow, &DestroySystemWindow};

} // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 100;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("LP_NUM_THREADS", "2", 0);
    if (InitializeEngine() != 0) return 1;
    Renderer::SetWindowCalls(&kWindowCalls);
    if (ModuleManager::CreateRenderer("OpenGL") != 0) return 1;
    Renderer* renderer = ModuleManager::GetRenderer();
    if (renderer->Open(renderer->GetModeCount() - 1, String("Bench"), nullptr, 0, 0, 800, 600) != 0) return 1;
    SDL_GL_SetSwapInterval(0);  // the frame rate, not the refresh, is measured

    Pointer<SceneNode> root(new SceneNode);
    Pointer<BenchEffect> effect(new BenchEffect);
    std::vector<Pointer<Triangles>> patches;
    for (int n = 0; n < kGeometries; ++n) {
        patches.push_back(Patch(-2.0f + (n % 40) * 0.1f, -1.5f + (n / 40) * 0.12f, 4.0f, effect.Get()));
        root->AttachChild(patches.back().Get());
    }
    Pointer<Camera> camera(new Camera);
    renderer->SetCamera(camera.Get());
    root->UpdateTree(0, false);

    // Engine frames: the engine's own CPU time ends where glFinish starts waiting.
    double engineMs = 0, engineFrameMs = 0;
    for (int f = -5; f < frames; ++f) {
        const Clock::time_point start = Clock::now();
        renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, Color(0, 0, 0, 1), 1, 0);
        renderer->BeginFrame();
        root->UpdateTree(0.016, false);
        root->CullAndRender(*renderer);
        renderer->FlushDeferred();
        const Clock::time_point submitted = Clock::now();
        glFinish();
        renderer->EndFrame();
        if (f >= 0) {
            engineMs += Milliseconds(submitted - start);
            engineFrameMs += Milliseconds(Clock::now() - start);
        }
    }

    // The same patches, each with a colour effect of its own drawn through its programs: every
    // draw sets the register convention's constants.
    std::vector<Pointer<ColorEffect>> colours;
    for (Pointer<Triangles>& patch : patches) {
        colours.push_back(new ColorEffect);
        colours.back()->SetColor(Color(0.2f, 0.6f, 1.0f, 1.0f));
        patch->SetEffect(colours.back().Get());
    }
    double programMs = 0;
    for (int f = -5; f < frames; ++f) {
        const Clock::time_point start = Clock::now();
        renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, Color(0, 0, 0, 1), 1, 0);
        renderer->BeginFrame();
        root->UpdateTree(0.016, false);
        root->CullAndRender(*renderer);
        renderer->FlushDeferred();
        const Clock::time_point submitted = Clock::now();
        glFinish();
        renderer->EndFrame();
        if (f >= 0) programMs += Milliseconds(submitted - start);
    }
    for (Pointer<Triangles>& patch : patches) patch->SetEffect(effect.Get());

    // The same draw calls with nothing of the engine around them.
    std::vector<GLuint> buffers(size_t(kGeometries) * 3);
    glGenBuffers(GLsizei(buffers.size()), buffers.data());
    std::vector<Matrix4> worlds;
    for (int n = 0; n < kGeometries; ++n) {
        Triangles& p = *patches[size_t(n)];
        glBindBuffer(GL_ARRAY_BUFFER, buffers[size_t(n) * 3]);
        glBufferData(GL_ARRAY_BUFFER, p.GetVertices()->GetDataSize(), p.GetVertices()->GetData(), GL_STATIC_DRAW);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[size_t(n) * 3 + 1]);
        glBufferData(GL_ARRAY_BUFFER, p.GetColors()->GetDataSize(), p.GetColors()->GetData(), GL_STATIC_DRAW);
        std::vector<uint16_t> shorts(p.GetIndices()->GetElements(), p.GetIndices()->GetElements() + 300);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[size_t(n) * 3 + 2]);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, 600, shorts.data(), GL_STATIC_DRAW);
        worlds.push_back(p.GetWorldTransform().ToMatrix() * camera->GetView());
    }
    const Matrix4 toGl(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 0, 0, 0, -1, 1);
    const Matrix4 projection = camera->GetProjection() * toGl;
    double bareMs = 0, bareFrameMs = 0;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    for (int f = -5; f < frames; ++f) {
        const Clock::time_point start = Clock::now();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(projection.Data());
        glMatrixMode(GL_MODELVIEW);
        for (int n = 0; n < kGeometries; ++n) {
            glLoadMatrixf(worlds[size_t(n)].Data());
            glBindBuffer(GL_ARRAY_BUFFER, buffers[size_t(n) * 3]);
            glVertexPointer(3, GL_FLOAT, 12, nullptr);
            glBindBuffer(GL_ARRAY_BUFFER, buffers[size_t(n) * 3 + 1]);
            glColorPointer(4, GL_FLOAT, 0, nullptr);
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[size_t(n) * 3 + 2]);
            glDrawElements(GL_TRIANGLES, 300, GL_UNSIGNED_SHORT, nullptr);
        }
        const Clock::time_point submitted = Clock::now();
        glFinish();
        SDL_GL_SwapWindow(static_cast<SDL_Window*>(renderer->GetWindow()));
        if (f >= 0) {
            bareMs += Milliseconds(submitted - start);
            bareFrameMs += Milliseconds(Clock::now() - start);
        }
    }
    glDeleteBuffers(GLsizei(buffers.size()), buffers.data());

    const double engine = engineMs / frames, engineFrame = engineFrameMs / frames;
    const double bare = bareMs / frames, bareFrame = bareFrameMs / frames;
    std::printf("engine: submit %.2f ms of a %.2f ms frame\n", engine, engineFrame);
    std::printf("engine with programs (1000 colour effects): submit %.2f ms\n", programMs / frames);
    std::printf("bare GL: submit %.2f ms of a %.2f ms frame\n", bare, bareFrame);
    std::printf("engine CPU overhead (engine submit - bare submit): %.2f ms = %.1f %% of the engine frame\n",
                engine - bare, 100.0 * (engine - bare) / engineFrame);
    std::printf("whole frames (engine - bare): %.2f ms = %.1f %% of the engine frame\n", engineFrame - bareFrame,
                100.0 * (engineFrame - bareFrame) / engineFrame);

    patches.clear();
    root.Reset();
    renderer->Close();
    ModuleManager::DestroyRenderer();
    Renderer::SetWindowCalls(nullptr);
    ShutdownEngine();
    return 0;
}
