#pragma once

#include "app/CommandLine.h"
#include "app/DefaultSettings.h"
#include "app/FrameRateCounter.h"
#include "app/FrameTimer.h"
#include "app/InputExitRule.h"
#include "app/InputHandler.h"
#include "app/PreviewWindow.h"
#include "app/ScreensaverMode.h"
#include "app/Settings.h"
#include "app/UiStrings.h"
#include "core/Pointer.h"
#include "core/String.h"
#include "platform/ForeignWindow.h"

#include <cstdint>
#include <string>

namespace nuv {

class Camera;
class GeometryNodeEffect;
class Renderer;
class Texture;
class TextureEffect;
class Triangles;

// The generic screensaver: modes, settings, windows, engine start and stop, the frame loop and
// the overlays. The product's scene comes in through the hooks, which a concrete class implements.
class ScreensaverApp : public InputHandler {
public:
    explicit ScreensaverApp(const String& name);
    ~ScreensaverApp() override;

    // The command line the mode is read from, set before Create: a whole line, program name
    // first, as the system gives it, or the process's arguments already read.
    void SetCommandLine(const std::string& commandLine) { commandLine_.ParseLine(commandLine.c_str()); }
    void SetCommandLine(const CommandLine& commandLine) { commandLine_ = commandLine; }

    // The start-up sequence; 0, or 1 after logging the failed step.
    int Create();
    // The mode's main activity; 0 after a normal end.
    int Run();
    // The shutdown sequence; tolerates everything a failed Create left unmade.
    int Destroy();

    int InitEngine();
    int ReleaseEngine();
    int CreateWindows();
    int DestroyWindows();

    int CreateOverlayData();
    int DrawLoadingScreen();
    int DrawOverlays();
    int DrawText(const String& text, float x, float y, float w, float h);
    int ReleaseOverlayData();

    // Ends the run on a key, a button, a window close or (by the settings) mouse movement.
    int OnInputEvent(const InputEvent& event) override;

    ScreensaverMode GetMode() const { return mode_; }
    // Drawing into a daemon's window: the display is left alone and input does not end the run.
    bool IsHack() const { return hack_; }
    bool IsRunning() const { return running_; }
    void SetRunning(bool running) { running_ = running; }
    const Settings& GetSettings() const { return settings_; }
    Settings& GetSettings() { return settings_; }
    const FrameRateCounter& GetFrameRateCounter() const { return frameRate_; }
    // The process's exit status: 0, or 1 when the run could not take place for a reason the
    // user must fix (no display for a full-screen or preview run).
    int GetExitStatus() const { return exitStatus_; }

    // The overlay camera's projection: the unit square onto the whole screen.
    static const float kOverlayProjection[16];

protected:
    // The mode of a run whose windows and renderer were made by other means than Create.
    void SetMode(ScreensaverMode mode) { mode_ = mode; }

    // Hooks, in the order the base knows them; 0 for success.
    virtual int OnInputEventExtra(const InputEvent& event) = 0;
    virtual int ApplyOptionDefaults() = 0;
    virtual int LogOptions() = 0;
    virtual int ParseOption(const String& key, const String& value) = 0;
    virtual int ReadOptions(const String& registryKey) = 0;
    virtual int WriteOptions(const String& registryKey) = 0;
    virtual int OptionsDialogProc(void* dialog, unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual int OptionsToDialog() = 0;
    virtual int AfterEngineInit() = 0;
    virtual int BeforeEngineRelease() = 0;
    virtual int UpdateScene(double dt) = 0;
    virtual int RenderScene() = 0;
    virtual int CreateFadeEffect() = 0;
    virtual int ReleaseFadeEffect() = 0;
    virtual int CreateSceneData() = 0;
    virtual int ReleaseSceneData() = 0;
    virtual int CacheSceneData() = 0;

    // A pause that a termination signal cuts short, so that ending never waits for it.
    static void Pause(int milliseconds);

    // The overlay camera made current with the overlay projection; the previous camera is kept.
    void BeginOverlay();
    void EndOverlay();
    // Draws the overlay quad through its current effect.
    void DrawQuad();

    Triangles* GetOverlayQuad() const { return quad_.Get(); }
    TextureEffect* GetOverlayEffect() const { return textureEffect_.Get(); }

    Settings defaults_;
    Settings settings_;
    DefaultSettings defaultsText_;
    UiStrings strings_;
    String registryPath_ = "Software\\Quorvel Studio\\Test Screensaver";
    String webSiteUrl_;

private:
    int RunFrameLoop();
    void WriteProfile();
    int RunPreview();
    int CreateHackWindow();
    bool HackWindowLives();
    int LoadOverlayTexture(const char* fileName, bool allowCompression, Pointer<Texture>* out);
    void DrawCorner(Texture* texture, bool right, bool top);

    CommandLine commandLine_;
    ScreensaverMode mode_ = kModeConfigure;
    int64_t parentWindow_ = 0;
    bool hack_ = false;
    ForeignWindow hackWindow_;
    bool running_ = false;
    int exitStatus_ = 0;
    bool engineStarted_ = false;
    bool rendererCreated_ = false;
    bool cursorHidden_ = false;
    PreviewWindow preview_;
    FrameTimer frameTimer_;
    int profiledFrames_ = 0;  // frames measured for --profile
    FrameRateCounter frameRate_;
    InputExitRule exitRule_;

    Pointer<Triangles> quad_;
    Pointer<TextureEffect> textureEffect_;
    Pointer<Camera> overlayCamera_;
    Pointer<Camera> keptCamera_;
    Pointer<Texture> loader_;
    Pointer<Texture> corners_[4];
    // '0'..'9', 'a', 'p', 'm', '.', ':'.
    Pointer<Texture> characters_[15];
};

} // namespace nuv
