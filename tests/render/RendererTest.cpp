// The renderer's device-independent part: the frame, drawing and the later lists, passes,
// lights, the render-target stack, opening and closing, and its small computations.
#include "../core/TestSupport.h"
#include "RecordingRenderer.h"
#include "core/IntBuffer.h"
#include "core/Log.h"
#include "core/Vector3Buffer.h"
#include "render/GeometryNodeEffect.h"
#include "render/Pass.h"
#include "render/Technique.h"
#include "render/Texture.h"
#include "scene/Camera.h"
#include "scene/Light.h"
#include "scene/SceneNode.h"
#include "scene/Triangles.h"

#include <gtest/gtest.h>

#include <string>

namespace nuv {

// A pass that writes down its apply and answers as told.
class RecordedPass : public Pass {
    NUV_DECLARE_OBJECT
public:
    int Apply() override {
        if (recorder) recorder->Note("apply:" + std::string(GetName().GetText()));
        return result;
    }
    test::RecordingRenderer* recorder = nullptr;
    int result = 0;
};
NUV_IMPLEMENT_OBJECT(RecordedPass, Pass)

// An effect of one technique with one pass.
class OnePassEffect : public GeometryNodeEffect {
    NUV_DECLARE_OBJECT
public:
    OnePassEffect() {
        struct Always : Technique {
            bool IsSupported() override { return true; }
        };
        auto* technique = new Always;
        pass = new RecordedPass;
        pass->SetName("p");
        technique->AddPass(pass.Get());
        AddTechnique(technique);
    }
    Pointer<RecordedPass> pass;
};
NUV_IMPLEMENT_OBJECT(OnePassEffect, GeometryNodeEffect)

// Stands in for the window plane of the scene's special nodes: the renderer knows it by its
// type record's name. Not registered with the class factory.
namespace stand_in {
class WindowPlane : public Triangles {
public:
    static inline const Rtti TYPE{"Nuv.WindowPlane", &Triangles::TYPE};
    const Rtti& GetType() const override { return TYPE; }
};
class FramedWindowPlane : public WindowPlane {
public:
    static inline const Rtti TYPE{"Nuv.FramedWindowPlane", &WindowPlane::TYPE};
    const Rtti& GetType() const override { return TYPE; }
};
} // namespace stand_in
using stand_in::FramedWindowPlane;
using stand_in::WindowPlane;

namespace {

using test::LogRecorder;
using test::RecordingRenderer;

// A triangle at a point, drawn through a one-pass effect; blended when asked.
template <class T = Triangles>
Pointer<T> Shape(RecordingRenderer& renderer, const char* name, const Vector3& at, bool blended) {
    Pointer<T> shape(new T);
    shape->SetName(name);
    Pointer<Vector3Buffer> positions(new Vector3Buffer(3));
    positions->GetElements()[0] = at;
    positions->GetElements()[1] = at + Vector3(0.1f, 0, 0);
    positions->GetElements()[2] = at + Vector3(0, 0.1f, 0);
    Pointer<IntBuffer> indices(new IntBuffer(3));
    for (int i = 0; i < 3; ++i) indices->GetElements()[i] = i;
    shape->SetVertices(positions.Get());
    shape->SetIndices(indices.Get());
    Pointer<OnePassEffect> effect(new OnePassEffect);
    effect->pass->recorder = &renderer;
    effect->SetBlendEnabled(blended);
    shape->SetEffect(effect.Get());
    shape->ComputeModelBound();
    shape->UpdateTree(0, false);
    return shape;
}

struct Step : RefCounted, PreRenderStep {
    explicit Step(std::string* log, const char* name) : log(log), name(name) {}
    void PostUpdate() override {
        *log += name + " ";
        if (again) again->RegisterPreRender(this);
    }
    std::string* log;
    std::string name;
    Renderer* again = nullptr;  // lists itself again from its own step
};

struct Listener {
    static inline Vector3 front, top;
    static inline std::string calls;
    static int Set(const Vector3* position, const Vector3* velocity, const Vector3* f, const Vector3* t) {
        calls += position || velocity ? "moved " : "oriented ";
        front = *f;
        top = *t;
        return 1;
    }
    static int Apply() {
        calls += "applied ";
        return 1;
    }
};

TEST(RendererFrame, BeginFrameMakesACameraRunsTheStepsOnceAndOrientsTheListener) {
    Pointer<RecordingRenderer> renderer(new RecordingRenderer);
    // The sound system has not filled its table in: the frame still begins.
    EXPECT_EQ(renderer->BeginFrame(), 0);
    ASSERT_NE(renderer->GetCamera(), nullptr);

    std::string steps;
    Pointer<Step> a(new Step(&steps, "a")), b(new Step(&steps, "b"));
    renderer->RegisterPreRender(a.Get());
    renderer->RegisterPreRender(b.Get());
    renderer->RegisterPreRender(a.Get());  // listed once
    EXPECT_EQ(renderer->GetPreRenderCount(), 2);
    EXPECT_EQ(a->GetReferenceCount(), 2);

    static const ListenerCalls calls{&Listener::Set, &Listener::Apply};
    Renderer::SetListenerCalls(&calls);
    Camera* camera = renderer->GetCamera();
    camera->GetLocalTransform().SetRotation(Quaternion::FromAxisAngle(Vector3(0, 1, 0), 1.5707964f));
    camera->UpdateTree(0, false);
    renderer->calls.clear();
    EXPECT_EQ(renderer->BeginFrame(), 0);
    Renderer::SetListenerCalls(nullptr);
    EXPECT_EQ(renderer->calls, "begin ");
    EXPECT_EQ(steps, "a b ");
    EXPECT_EQ(renderer->GetPreRenderCount(), 0);
    EXPECT_EQ(a->GetReferenceCount(), 1);
    EXPECT_EQ(Listener::calls, "oriented applied ");
    EXPECT_NEAR(Listener::front.x, camera->GetForward().x, 1e-6f);
    EXPECT_NEAR(Listener::front.z, camera->GetForward().z, 1e-6f);
    EXPECT_NEAR(Listener::top.y, camera->GetUp().y, 1e-6f);
    EXPECT_GT(std::abs(Listener::front.x), 0.99f);  // turned a quarter away from +z

    // A step listed during the steps waits for the next frame.
    a->again = renderer.Get();
    renderer->RegisterPreRender(a.Get());
    steps.clear();
    renderer->BeginFrame();
    EXPECT_EQ(steps, "a ");
    EXPECT_EQ(renderer->GetPreRenderCount(), 1);
    a->again = nullptr;

    // A lost device: the frame is skipped and the steps with it.
    renderer->RegisterPreRender(a.Get());
    renderer->beginSceneResult = 1;
    steps.clear();
    EXPECT_EQ(renderer->BeginFrame(), 1);
    EXPECT_EQ(steps, "");
    EXPECT_EQ(renderer->GetPreRenderCount(), 0);
}

// A camera that no scene update reaches still takes its place at the frame: its world transform
// (and so what the listener hears) follows the local one it was given, and its parent's.
TEST(RendererFrame, BeginFrameUpdatesTheCamerasTree) {
    Pointer<RecordingRenderer> renderer(new RecordingRenderer);
    Pointer<SceneNode> rig(new SceneNode);
    Pointer<Camera> camera(new Camera);
    rig->GetLocalTransform().SetTranslation(Vector3(0, 10, 0));
    rig->UpdateTree(0, true);
    ASSERT_EQ(rig->AttachChild(camera.Get()), 0);
    camera->GetLocalTransform().SetTranslation(Vector3(3, 0, 0));
    camera->GetLocalTransform().SetRotation(Quaternion::FromAxisAngle(Vector3(0, 1, 0), 1.5707964f));
    renderer->SetCamera(camera.Get());
    static const ListenerCalls calls{&Listener::Set, &Listener::Apply};
    Renderer::SetListenerCalls(&calls);
    EXPECT_EQ(renderer->BeginFrame(), 0);
    Renderer::SetListenerCalls(nullptr);
    const Vector3 at = camera->GetWorldTransform().GetTranslation();
    EXPECT_FLOAT_EQ(at.x, 3.0f);
    EXPECT_FLOAT_EQ(at.y, 10.0f);
    EXPECT_GT(std::abs(Listener::front.x), 0.99f) << "the listener faces where the camera turned";
}

TEST(RendererFrame, OpaqueGeometryIsDrawnAtOnceBlendedGeometryBackToFrontThenWindowPlanes) {
    Pointer<RecordingRenderer> renderer(new RecordingRenderer);
    renderer->SetCamera(Pointer<Camera>(new Camera).Get());
    renderer->GetCamera()->UpdateTree(0, false);
    auto opaque = Shape(*renderer, "opaque", Vector3(0, 0, 5), false);
    auto nearer = Shape(*renderer, "near", Vector3(0, 0, 3), true);
    auto farther = Shape(*renderer, "far", Vector3(0, 0, 30), true);
    auto middle = Shape(*renderer, "middle", Vector3(0, 10, 0), true);
    auto tie = Shape(*renderer, "tie", Vector3(0, -10, 0), true);
    auto plane = Shape<WindowPlane>(*renderer, "plane", Vector3(0, 0, 1), true);
    auto framed = Shape<FramedWindowPlane>(*renderer, "framed", Vector3(0, 0, 100), true);
    auto hidden = Shape(*renderer, "hidden", Vector3(0, 0, 5), false);
    hidden->GetEffect()->Disable();

    for (Triangles* shape : std::initializer_list<Triangles*>{plane.Get(), nearer.Get(), opaque.Get(), middle.Get(), framed.Get(), farther.Get(),
                             tie.Get(), hidden.Get()})
        renderer->DrawGeometry(shape);
    EXPECT_EQ(renderer->calls, "pass:p apply:p draw:opaque ");
    EXPECT_EQ(renderer->GetDeferredCount(), 4);
    EXPECT_EQ(renderer->GetLateCount(), 2);

    renderer->calls.clear();
    renderer->EndFrame();
    const std::string& c = renderer->calls;
    EXPECT_EQ(c.rfind("pass:p apply:p draw:far ", 0), 0u);
    // Back to front: far (30), then the two at 10 in either order, then near (3).
    EXPECT_LT(c.find("draw:far"), c.find("draw:middle"));
    EXPECT_LT(c.find("draw:far"), c.find("draw:tie"));
    EXPECT_LT(c.find("draw:middle"), c.find("draw:near"));
    EXPECT_LT(c.find("draw:tie"), c.find("draw:near"));
    // Window planes last, in the order they came, however far they are.
    EXPECT_LT(c.find("draw:near"), c.find("draw:plane"));
    EXPECT_LT(c.find("draw:plane"), c.find("draw:framed"));
    EXPECT_EQ(c.substr(c.size() - 4), "end ");
    EXPECT_EQ(renderer->GetDeferredCount(), 0);
    EXPECT_EQ(renderer->GetLateCount(), 0);
    EXPECT_EQ(renderer->GetCurrentGeometry(), nullptr);
    // The lists held their geometry: nothing else does now for this one.
    EXPECT_EQ(nearer->GetReferenceCount(), 1);
}

TEST(RendererFrame, ApplyPassBeginsThePassAndReturnsItsAnswer) {
    Pointer<RecordingRenderer> renderer(new RecordingRenderer);
    Pointer<OnePassEffect> effect(new OnePassEffect);
    effect->pass->recorder = renderer.Get();
    Technique* technique = effect->CurrentTechnique();
    ASSERT_NE(technique, nullptr);
    EXPECT_EQ(renderer->ApplyPass(technique, 0), 0);
    EXPECT_EQ(renderer->GetCurrentPass(), effect->pass.Get());
    effect->pass->result = 1;
    EXPECT_EQ(renderer->ApplyPass(technique, 0), 1);
    EXPECT_EQ(renderer->calls, "pass:p apply:p pass:p apply:p ");
    // No such pass, or no technique at all: skipped, nothing begun.
    renderer->calls.clear();
    EXPECT_NE(renderer->ApplyPass(technique, 1), 0);
    EXPECT_NE(renderer->ApplyPass(technique, -1), 0);
    EXPECT_NE(renderer->ApplyPass(nullptr, 0), 0);
    EXPECT_EQ(renderer->calls, "");
}

TEST(RendererFrame, LightsAreEnabledInOrderAndDisabledLastFirst) {
    Pointer<RecordingRenderer> renderer(new RecordingRenderer);
    Pointer<Light> sun(new Light), lamp(new Light);
    sun->SetName("sun");
    lamp->SetName("lamp");
    renderer->AddLight(sun.Get());
    renderer->AddLight(lamp.Get());
    EXPECT_EQ(renderer->GetLight(1), lamp.Get());
    EXPECT_EQ(renderer->GetLight(2), nullptr);
    renderer->DisableLights();
    EXPECT_EQ(renderer->calls, "light0:sun light1:lamp unlight1 unlight0 ");
    EXPECT_EQ(renderer->GetLightCount(), 0);
}

TEST(RendererTargets, ATargetIsNotReadWhileOnTheStackAndAPopDrawsWhatWasDeferred) {
    Pointer<RecordingRenderer> renderer(new RecordingRenderer);
    Pointer<Texture> reflection(new Texture), other(new Texture);
    reflection->SetName("reflection");
    other->SetName("other");

    renderer->SetRenderTarget(nullptr);  // nothing to pop
    EXPECT_EQ(renderer->calls, "");
    EXPECT_EQ(renderer->GetViewportWidth(), 800);

    renderer->SetRenderTarget(reflection.Get());
    EXPECT_EQ(renderer->GetViewportWidth(), 64);
    EXPECT_TRUE(renderer->IsRenderTarget(reflection.Get()));
    renderer->SetTexture(reflection.Get(), 0);
    renderer->SetTexture(other.Get(), 1);
    auto glass = Shape(*renderer, "glass", Vector3(0, 0, 4), true);
    renderer->DrawGeometry(glass.Get());
    renderer->calls.clear();
    renderer->SetRenderTarget(nullptr);
    EXPECT_EQ(renderer->calls, "pass:p apply:p draw:glass pop:reflection ");
    EXPECT_FALSE(renderer->IsRenderTarget(reflection.Get()));
    EXPECT_EQ(renderer->GetViewportWidth(), 800);
    EXPECT_EQ(renderer->GetRenderTargetDepth(), 0);
    EXPECT_EQ(reflection->GetReferenceCount(), 1);
    renderer->calls.clear();
    renderer->SetTexture(reflection.Get(), 0);
    EXPECT_EQ(renderer->calls, "tex0:reflection ");
}

// A pass that renders into a texture of its own while it is applied, as reflections do.
class TargetPass : public Pass {
    NUV_DECLARE_OBJECT
public:
    int Apply() override {
        if (!renderer) return 0;
        renderer->SetRenderTarget(target.Get());
        renderer->SetRenderTarget(nullptr);
        return 0;
    }
    Renderer* renderer = nullptr;
    Pointer<Texture> target;
};

TEST(RendererTargets, APopWhileTheDeferredListIsDrawnDrawsNothingTwice) {
    Pointer<RecordingRenderer> renderer(new RecordingRenderer);
    auto first = Shape(*renderer, "first", Vector3(0, 0, 9), true);
    auto second = Shape(*renderer, "second", Vector3(0, 0, 2), true);
    Pointer<TargetPass> pass(new TargetPass);
    pass->SetName("t");
    pass->renderer = renderer.Get();
    pass->target = new Texture;
    pass->target->SetName("mirror");
    auto* effect = static_cast<OnePassEffect*>(first->GetEffect());
    effect->CurrentTechnique()->AddPass(pass.Get());
    renderer->DrawGeometry(first.Get());
    renderer->DrawGeometry(second.Get());
    renderer->FlushDeferred();
    EXPECT_EQ(renderer->calls,
              "pass:p apply:p draw:first pass:t target:mirror pop:mirror draw:first pass:p apply:p draw:second ");
}

NUV_IMPLEMENT_OBJECT(TargetPass, Pass)

TEST(RendererTargets, NestedTargetsPopInReverseOrder) {
    Pointer<RecordingRenderer> renderer(new RecordingRenderer);
    Pointer<Texture> outer(new Texture), inner(new Texture);
    outer->SetName("outer");
    inner->SetName("inner");
    renderer->SetRenderTarget(outer.Get());
    renderer->SetShadowmapTarget(inner.Get(), 8, 1.0f);
    renderer->SetRenderTarget(nullptr);
    EXPECT_TRUE(renderer->IsRenderTarget(outer.Get()));
    EXPECT_FALSE(renderer->IsRenderTarget(inner.Get()));
    renderer->SetRenderTarget(nullptr);
    renderer->SetRenderTarget(nullptr);
    EXPECT_EQ(renderer->calls, "target:outer target:inner pop:inner pop:outer ");
}

struct Windows {
    static inline int created = 0;
    static inline int createResult = 0;
    static inline int destroyResult = 0;
    static inline std::string last;
    static int Create(void** window, const String& title, void*, bool fullScreen, int bits, int x, int y, int w,
                      int h) {
        last = std::string(title.GetText()) + (fullScreen ? " full " : " windowed ") + std::to_string(bits) + " " +
               std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(w) + "x" + std::to_string(h);
        if (createResult != 0) return createResult;
        *window = &created;
        ++created;
        return 0;
    }
    static int Destroy(void*) { return destroyResult; }
};

TEST(RendererWindow, OpenCreatesTheWindowFromTheModeAndCloseUndoesIt) {
    LogRecorder log;
    Pointer<RecordingRenderer> renderer(new RecordingRenderer);
    DisplayMode full;
    full.width = 1024;
    full.height = 768;
    full.fullScreen = 1;
    full.colorBits = 32;
    DisplayMode windowed = full;
    windowed.fullScreen = 0;
    renderer->AddMode(full);
    renderer->AddMode(windowed);

    // The host has not given its window calls yet.
    EXPECT_EQ(renderer->Open(0, "Snow", nullptr, 5, 6, 640, 480), 1);
    EXPECT_TRUE(log.Contains(kLogError, "Создание окна неудачно."));
    static const WindowCalls calls{&Windows::Create, &Windows::Destroy};
    Renderer::SetWindowCalls(&calls);
    EXPECT_EQ(renderer->Open(2, "Snow", nullptr, 5, 6, 640, 480), 3);
    EXPECT_EQ(renderer->Open(-1, "Snow", nullptr, 5, 6, 640, 480), 3);

    EXPECT_EQ(renderer->Open(0, "Snow", nullptr, 5, 6, 640, 480), 0);
    EXPECT_EQ(Windows::last, "Snow full 32 0,0 1024x768");
    EXPECT_EQ(renderer->calls, "create:0:Snow:0,0,1024x768 ");
    // Opening again closes first.
    renderer->calls.clear();
    EXPECT_EQ(renderer->Open(1, "Snow", nullptr, 5, 6, 640, 480), 0);
    EXPECT_EQ(Windows::last, "Snow windowed 32 5,6 640x480");
    EXPECT_EQ(renderer->calls, "destroy create:1:Snow:5,6,640x480 ");

    Windows::destroyResult = 1;
    EXPECT_EQ(renderer->Close(), 1);
    EXPECT_TRUE(log.Contains(kLogError, "Закрытие окна неудачно."));
    Windows::destroyResult = 0;
    EXPECT_EQ(renderer->Close(), 0);
    EXPECT_EQ(renderer->GetWindow(), nullptr);
    EXPECT_EQ(renderer->Close(), 3);
    renderer->destroyResult = 1;
    EXPECT_EQ(renderer->Close(), 1);
    Windows::createResult = 1;
    EXPECT_EQ(renderer->Open(0, "Snow", nullptr, 0, 0, 640, 480), 1);
    Renderer::SetWindowCalls(nullptr);
}

TEST(RendererValues, GammaRampAndPrimitiveCounts) {
    uint16_t ramp[256];
    Renderer::GammaRamp(0, ramp);
    EXPECT_EQ(ramp[0], 0);
    EXPECT_EQ(ramp[1], 256);
    EXPECT_EQ(ramp[255], 65280);
    Renderer::GammaRamp(328, ramp);
    for (uint16_t entry : ramp) EXPECT_EQ(entry, 65535);
    Renderer::GammaRamp(327, ramp);
    EXPECT_EQ(ramp[0], 65400);
    EXPECT_EQ(ramp[1], 65535);
    Renderer::GammaRamp(-400, ramp);
    EXPECT_EQ(ramp[0], 0);
    EXPECT_EQ(ramp[255], 0);

    EXPECT_EQ(Renderer::PrimitiveCount(Renderer::kPointList, 7), 7);
    EXPECT_EQ(Renderer::PrimitiveCount(Renderer::kLineList, 7), 3);
    EXPECT_EQ(Renderer::PrimitiveCount(Renderer::kLineStrip, 7), 6);
    EXPECT_EQ(Renderer::PrimitiveCount(Renderer::kTriangleList, 7), 2);
    EXPECT_EQ(Renderer::PrimitiveCount(Renderer::kTriangleStrip, 7), 5);
    EXPECT_EQ(Renderer::PrimitiveCount(Renderer::kTriangleStrip, 1), 0);
    EXPECT_EQ(Renderer::PrimitiveCount(9, 7), 0);
}

TEST(RendererValues, CapabilityLimitsLowerWhatTheDeviceReports) {
    Pointer<RecordingRenderer> renderer(new RecordingRenderer);
    RendererCaps caps;
    caps.vertexLevel = 1;
    caps.pixelLevel = 1;
    caps.textureUnits = 8;
    caps.shadowMaps = 1;
    renderer->SetDeviceCaps(caps);
    EXPECT_EQ(renderer->GetCaps().vertexLevel, 1);
    renderer->LimitCaps(0, 2, 4, false);
    EXPECT_EQ(renderer->GetCaps().vertexLevel, 0);
    EXPECT_EQ(renderer->GetCaps().pixelLevel, 1);
    EXPECT_EQ(renderer->GetCaps().textureUnits, 4);
    EXPECT_EQ(renderer->GetCaps().shadowMaps, 0);
    // Without pixel programs there are no vertex programs either.
    renderer->LimitCaps(2, RendererCaps::kLevelNone, 8, true);
    EXPECT_EQ(renderer->GetCaps().pixelLevel, RendererCaps::kLevelNone);
    EXPECT_EQ(renderer->GetCaps().vertexLevel, RendererCaps::kLevelNone);
    EXPECT_EQ(renderer->GetCaps().shadowMaps, 1);
    // The limits stay when the device reports again (a reset device).
    renderer->SetDeviceCaps(caps);
    EXPECT_EQ(renderer->GetCaps().vertexLevel, RendererCaps::kLevelNone);
}

} // namespace
} // namespace nuv
