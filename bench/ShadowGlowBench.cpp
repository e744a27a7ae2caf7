// What the shadow map and the glow cost at 800 x 600: the same scene (a floor and 400 small
// plates above it) drawn plain, with a ShadowmapEffect over it, and with a glow around 40 of the
// plates, and plain again with an effect of its own on every plate (the programs are the same
// texts, so the device should not care); the kinds of frame taken in turn so that they share the machine's state. Prints
// milliseconds per frame and the ratios to the plain frame; run it by hand, it is not a test.
// Usage: bench_shadow_glow [frames of each kind]
#include "core/Engine.h"
#include "core/IntBuffer.h"
#include "core/Quaternion.h"
#include "core/Vector3Buffer.h"
#include "media/ModuleManager.h"
#include "platform/SystemWindow.h"
#include "render/ColorEffect.h"
#include "render/CustomGlowPostRenderEffect.h"
#include "render/RenderShadowmapEffectController.h"
#include "render/Renderer.h"
#include "render/ShadowmapEffect.h"
#include "scene/Camera.h"
#include "scene/Light.h"
#include "scene/SceneNode.h"
#include "scene/Triangles.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace nuv;
using Clock = std::chrono::steady_clock;

namespace {

const WindowCalls kWindowCalls{&CreateSystemWindow, &DestroySystemWindow};

Pointer<ColorEffect> Paint(const Color& color) {
    Pointer<ColorEffect> effect(new ColorEffect);
    effect->SetColor(color);
    effect->cullEnabled = 0;
    return effect;
}

// The plates share their effects (and so their programs), as a scene's materials would.
Pointer<Triangles> Plate(float x0, float x1, float z0, float z1, float y, ColorEffect* effect) {
    Pointer<Triangles> mesh(new Triangles);
    Pointer<Vector3Buffer> vertices(new Vector3Buffer(4));
    Vector3* v = vertices->GetElements();
    v[0] = {x0, y, z0}, v[1] = {x0, y, z1}, v[2] = {x1, y, z1}, v[3] = {x1, y, z0};
    Pointer<IntBuffer> indices(new IntBuffer(6));
    const int32_t order[6] = {0, 1, 2, 0, 2, 3};
    std::memcpy(indices->GetElements(), order, sizeof order);
    mesh->SetVertices(vertices.Get());
    mesh->SetIndices(indices.Get());
    mesh->ComputeModelBound();
    mesh->SetEffect(effect);
    return mesh;
}

struct Scene {
    Pointer<SceneNode> root{new SceneNode};
    std::vector<Pointer<Triangles>> meshes;
    Pointer<ColorEffect> ground = Paint(Color(0.8f, 0.8f, 0.8f, 1));
    Pointer<ColorEffect> bright = Paint(Color(1, 1, 0.6f, 1));
    Pointer<ColorEffect> dull = Paint(Color(0.3f, 0.4f, 0.6f, 1));
};

// The camera looks down onto the floor from above its near edge.
Scene MakeScene(int kind, Light* light) {
    Scene scene;
    scene.meshes.push_back(Plate(-10, 10, 0, 20, -1, scene.ground.Get()));
    for (int i = 0; i < 400; ++i) {
        const float x = -9.5f + float(i % 20), z = 0.5f + float(i / 20);
        const bool bright = i % 10 == 0;
        Pointer<ColorEffect> own = kind == 3 ? Paint(Color(0.3f, 0.4f, 0.6f, 1)) : nullptr;
        ColorEffect* effect = own ? own.Get() : bright ? scene.bright.Get() : scene.dull.Get();
        scene.meshes.push_back(Plate(x, x + 0.4f, z, z + 0.4f, 0.5f * float(i % 3), effect));
    }
    for (auto& mesh : scene.meshes) scene.root->AttachChild(mesh.Get());
    if (kind == 1) {
        Pointer<ShadowmapEffect> shadow(new ShadowmapEffect);
        shadow->SetShadowLight(light);
        shadow->SetDepthBias(2000);
        for (auto& mesh : scene.meshes) shadow->AddNode(mesh.Get());
        shadow->AddController(Pointer<RenderShadowmapEffectController>(new RenderShadowmapEffectController).Get());
        scene.root->AddEffect(shadow.Get());
    } else if (kind == 2) {
        Pointer<CustomGlowPostRenderEffect> glow(new CustomGlowPostRenderEffect);
        for (size_t i = 1; i < scene.meshes.size(); i += 10) glow->AddNode(scene.meshes[i].Get());
        scene.root->AddEffect(glow.Get());
    }
    return scene;
}

} // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 60;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("LP_NUM_THREADS", "2", 0);
    if (InitializeEngine() != 0) return 1;
    Renderer::SetWindowCalls(&kWindowCalls);
    if (ModuleManager::CreateRenderer("OpenGL") != 0) return 1;
    Renderer* renderer = ModuleManager::GetRenderer();
    if (renderer->Open(renderer->GetModeCount() - 1, String("Bench"), nullptr, 0, 0, 800, 600) != 0) return 1;
    SDL_GL_SetSwapInterval(0);

    Pointer<Light> light(new Light);
    light->SetLightType(Light::kPoint);
    light->GetLocalTransform().SetTranslation(Vector3(3, 30, 10));
    light->UpdateTree(0, false);
    Pointer<Camera> camera(new Camera);
    camera->GetLocalTransform().SetTranslation(Vector3(0, 6, -6));
    // Pitched down by 30 degrees about x.
    camera->GetLocalTransform().SetRotation(Quaternion(0.258819f, 0, 0, 0.9659258f));
    camera->UpdateTree(0, false);
    renderer->SetCamera(camera.Get());

    constexpr int kKinds = 4;
    const char* names[kKinds] = {"plain", "shadow map", "glow", "own effects"};
    Scene scenes[kKinds] = {MakeScene(0, light.Get()), MakeScene(1, light.Get()), MakeScene(2, light.Get()),
                            MakeScene(3, light.Get())};
    double total[kKinds] = {0, 0, 0, 0};
    for (int f = -3; f < frames; ++f)
        for (int kind = 0; kind < kKinds; ++kind) {
            const Clock::time_point start = Clock::now();
            scenes[kind].root->UpdateTree(0.016, false);
            renderer->BeginFrame();
            renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, Color(0, 0, 0, 1), 1, 0);
            scenes[kind].root->CullAndRender(*renderer);
            renderer->FlushDeferred();
            glFinish();
            renderer->EndFrame();
            if (f >= 0) total[kind] += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
    for (int kind = 0; kind < kKinds; ++kind)
        std::printf("%-11s %7.2f ms per frame, %.2f x the plain frame\n", names[kind], total[kind] / frames,
                    total[kind] / total[0]);

    for (Scene& scene : scenes) scene.root.Reset();
    renderer->SetCamera(nullptr);
    renderer->Close();
    ModuleManager::DestroyRenderer();
    Renderer::SetWindowCalls(nullptr);
    ShutdownEngine();
    return 0;
}
