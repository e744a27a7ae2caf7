#pragma once

#include "app/ScreensaverApp.h"
#include "render/SceneOptions.h"

namespace nuv {

class ColorEffect;
class SceneNode;
class ScreensaverController;

// The winter-scene screensaver: the four scene options, loading and caching "Main.STR", and the
// scene's update and drawing each frame with the fade between camera shots.
class SceneScreensaverApp : public ScreensaverApp {
public:
    // Name of the snow particle node that the Snow option removes.
    static constexpr const char* kSnowNodeName = SceneOptions::kSnowNodeName;
    // Simulated seconds every particle system runs before the first frame, in steps of kPreRunStep.
    static constexpr float kPreRunSeconds = 30.0f;
    static constexpr float kPreRunStep = 0.01f;

    SceneScreensaverApp();
    ~SceneScreensaverApp() override;

    SceneNode* GetSceneRoot() const { return root_.Get(); }
    ScreensaverController* GetScreensaverController() const { return controller_; }
    // Fade opacity of this frame: 0 without a controller or before its first shot.
    float GetFadeAlpha() const;

protected:
    int OnInputEventExtra(const InputEvent& event) override;
    int ApplyOptionDefaults() override;
    int LogOptions() override;
    int ParseOption(const String& key, const String& value) override;
    int ReadOptions(const String& registryKey) override;
    int WriteOptions(const String& registryKey) override;
    int OptionsDialogProc(void* dialog, unsigned message, uintptr_t wParam, intptr_t lParam) override;
    int OptionsToDialog() override;
    int AfterEngineInit() override;
    int BeforeEngineRelease() override;
    int UpdateScene(double dt) override;
    int RenderScene() override;
    int CreateFadeEffect() override;
    int ReleaseFadeEffect() override;
    int CreateSceneData() override;
    int ReleaseSceneData() override;
    int CacheSceneData() override;

private:
    void ApplySoundSettings();

    Pointer<SceneNode> root_;
    ScreensaverController* controller_ = nullptr;
    Pointer<ColorEffect> fadeEffect_;
};

} // namespace nuv
