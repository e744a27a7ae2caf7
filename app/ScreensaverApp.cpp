#include "app/ScreensaverApp.h"

#include "app/CommandLine.h"
#include "app/ConfigureDialog.h"
#include "app/DisplayModeChoice.h"
#include "app/HostPlatform.h"
#include "app/InputManager.h"
#include "app/OverlayText.h"
#include "app/PreviewWindow.h"
#include "app/SettingsStore.h"
#include "app/TerminationSignal.h"
#include "core/Engine.h"
#include "core/IntBuffer.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Vector2Buffer.h"
#include "core/Vector3Buffer.h"
#include "media/CodecManager.h"
#include "media/File.h"
#include "media/FileManager.h"
#include "media/ModuleManager.h"
#include "media/image/Image.h"
#include "platform/Clock.h"
#include "platform/SystemWindow.h"
#include "render/ProfileTable.h"
#include "render/Renderer.h"
#include "render/Texture.h"
#include "render/TextureEffect.h"
#include "scene/Camera.h"
#include "scene/SphereBoundingVolume.h"
#include "scene/Triangles.h"
#include "sound/SoundManager.h"

#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <new>
#include <thread>

namespace nuv {

namespace {

const WindowCalls kWindowCalls{&CreateSystemWindow, &DestroySystemWindow};

const char* const kCharacterFiles[15] = {
    "digit_0.tga", "digit_1.tga", "digit_2.tga", "digit_3.tga", "digit_4.tga",
    "digit_5.tga", "digit_6.tga", "digit_7.tga", "digit_8.tga", "digit_9.tga",
    "digit_a.tga", "digit_p.tga", "digit_m.tga", "digit_dot.tga", "digit_ddot.tga",
};

int CharacterIndex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    switch (c) {
    case 'a': return 10;
    case 'p': return 11;
    case 'm': return 12;
    case '.': return 13;
    case ':': return 14;
    default: return -1;
    }
}

const char* BoolText(bool value) {
    return value ? "true" : "false";
}

void Wait(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// The id of a window as the daemons write it, for the log.
unsigned long long WindowNumber(uint64_t id) {
    return static_cast<unsigned long long>(id);
}

// The desktop mode among the renderer's modes, or -1 when the renderer cannot tell.
int DesktopModeIndex(Renderer* renderer) {
    return renderer ? renderer->GetDefaultMode() : -1;
}

bool IsFullMode(ScreensaverMode mode) {
    return mode == kModeSaver || mode == kModeTest;
}

} // namespace

const float ScreensaverApp::kOverlayProjection[16] = {
    2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, -1, -1, 0, 1,
};

ScreensaverApp::ScreensaverApp(const String& name) : InputHandler(name) {}

ScreensaverApp::~ScreensaverApp() = default;

void ScreensaverApp::Pause(int milliseconds) {
    constexpr int kSlice = 20;
    for (int waited = 0; waited < milliseconds && !TerminationSignal::IsRequested(); waited += kSlice)
        Wait(milliseconds - waited < kSlice ? milliseconds - waited : kSlice);
}

int ScreensaverApp::Create() {
    if (!commandLine_.GetError().empty()) {
        LogError("Ошибка в командной строке: %s.", commandLine_.GetError().c_str());
        LogError("Невозможно выбрать режим скринсейвера.");
        return kStatusFailed;
    }
    mode_ = commandLine_.GetMode();
    parentWindow_ = commandLine_.GetParentWindow();
    hack_ = commandLine_.IsHack();
    LogInfo("Режим скринсейвера %d.", int(mode_));
    if (hack_) {
        if (commandLine_.GetHackWindow() != 0)
            LogInfo("Режим хака: окно [0x%llx].", WindowNumber(commandLine_.GetHackWindow()));
        else
            LogInfo("Режим хака: корневое окно.");
    }

    if (defaultsText_.LoadResource() != 0) {
        LogError("Невозможно загрузить значения параметров по-умолчанию.");
        return kStatusFailed;
    }
    registryPath_ = defaultsText_.registryPath;
    webSiteUrl_ = defaultsText_.webSiteUrl;
    defaults_ = defaultsText_.settings;
    LogInfo("Значения параметров по-умолчанию загружены.");

    settings_ = defaults_;
    if (ApplyOptionDefaults() != 0) {
        LogError("Невозможно установить значения параметров по-умолчанию.");
        return kStatusFailed;
    }
    LogInfo("Значения параметров по-умолчанию установлены.");

    if (ReadOptions(registryPath_) != 0) {
        LogError("Невозможно прочитать значения параметров из реестра.");
        return kStatusFailed;
    }
    LogInfo("Значения параметров прочитаны из реестра.");
    // The command line's settings hold for this run only: the store is not written again.
    for (const CommandLine::Override& item : commandLine_.GetOverrides())
        LogInfo("Параметр [%s] из командной строки: %d.", Settings::GetValueName(item.index), item.value);
    commandLine_.ApplyOverrides(&settings_);

    LogInfo("ShowFPS: %s", BoolText(settings_.showFps));
    LogInfo("ExitOnMouseMove: %s", BoolText(settings_.exitOnMouseMove));
    LogInfo("ShowTime: %s", BoolText(settings_.showTime));
    LogInfo("UseDesktopSettings: %s", BoolText(settings_.useDesktopSettings));
    LogInfo("Music: %s", BoolText(settings_.music));
    LogInfo("SFX: %s", BoolText(settings_.sfx));
    LogInfo("Hour24: %s", BoolText(settings_.hour24));
    LogInfo("Volume: %d", settings_.volume);
    LogInfo("Width: %d", settings_.width);
    LogInfo("Height: %d", settings_.height);
    LogInfo("ColorDepth: %d", settings_.colorDepth);
    LogInfo("AntiAliasing: %d", settings_.antiAliasing);
    LogInfo("Gamma: %d", settings_.gamma);
    if (LogOptions() != 0) LogError("Невозможно вывести значения параметров.");

    if (strings_.LoadResource() != 0) {
        LogError("Невозможно загрузить значения локальных данных.");
        return kStatusFailed;
    }
    LogInfo("Значения локальных данных загружены.");

    if (InitEngine() != 0) {
        LogError("Невозможно инициализировать скринсейвер.");
        return kStatusFailed;
    }
    LogInfo("Скринсейвер инициализирован.");

    if (CreateWindows() != 0) {
        LogError("Невозможно создать окна скринсейвера.");
        return kStatusFailed;
    }
    LogInfo("Окна скринсейвера созданы.");

    if (!IsFullMode(mode_)) {
        running_ = true;
        return kStatusOk;
    }

    // A hack leaves the display's gamma to the daemon, which fades with it.
    if (Renderer* renderer = ModuleManager::GetRenderer(); renderer && !hack_) renderer->SetGamma(settings_.gamma);
    SoundManager::SetSoundVolume(settings_.music || settings_.sfx ? settings_.volume : 0);

    if (CreateOverlayData() != 0) {
        LogError("Невозможно создать данные визуализации.");
        return kStatusFailed;
    }
    if (DrawLoadingScreen() != 0) {
        LogError("Невозможно вывести загрузочный экран.");
        return kStatusFailed;
    }
    if (CreateSceneData() != 0) {
        LogError("Невозможно создать данные скринсейвера.");
        return kStatusFailed;
    }
    if (CacheSceneData() != 0) {
        LogError("Невозможно закэшировать данные скринсейвера.");
        return kStatusFailed;
    }
    running_ = true;
    return kStatusOk;
}

int ScreensaverApp::InitEngine() {
    if (mode_ != kModePassword) {
        if (InitializeEngine() != 0) {
            LogError("Невозможно инициализировать движок.");
            return kStatusFailed;
        }
        engineStarted_ = true;
        Renderer::SetWindowCalls(&kWindowCalls);
        if (ModuleManager::CreateRenderer(HostPlatform::GetRendererModule()) != 0 || !ModuleManager::GetRenderer()) {
            LogError("Невозможно создать рендерер DirectX.");
            return kStatusFailed;
        }
        rendererCreated_ = true;

        static const char* const kAllCodecs[] = {"BMPImageCodec", "JPGImageCodec", "TGAImageCodec",
                                                 "CUBEImageCodec", "STRSceneCodec", "RAR2FileCodec"};
        static const char* const kDialogCodecs[] = {"BMPImageCodec", "JPGImageCodec", "RAR2FileCodec"};
        const bool full = IsFullMode(mode_);
        const char* const* codecs = full ? kAllCodecs : kDialogCodecs;
        const int codecCount = full ? 6 : 3;
        // A codec that does not load is logged by the registry; the data it would read then fails later.
        for (int i = 0; i < codecCount; ++i) ModuleManager::LoadModule(codecs[i], nullptr);
        for (int i = 0; i < codecCount; ++i) CodecManager::GetCodec(codecs[i], nullptr);

        if (FileManager::AttachResourceArchive(134, "CustomData.rar2", "") != 0) {
            LogError("Невозможно подсоединить директорию CustomData.");
            return kStatusFailed;
        }
        if (full) {
            if (FileManager::AttachResourceArchive(227, "Media.rar2", "") != 0) {
                LogError("Невозможно подсоединить директорию Media.");
                return kStatusFailed;
            }
            if (InputManager::RegisterInputHandler(this) != 0) {
                LogError("Невозможно зарегистрировать обработчик событий.");
                return kStatusFailed;
            }
            HostPlatform::StartInput();
        }
    }
    return AfterEngineInit();
}

int ScreensaverApp::ReleaseEngine() {
    if (BeforeEngineRelease() != 0) return kStatusFailed;
    if (mode_ == kModePassword) return kStatusOk;
    int status = 0;
    if (rendererCreated_) {
        Renderer* renderer = ModuleManager::GetRenderer();
        if (renderer && renderer->GetWindow() && renderer->Close() != 0) status = 1;
        if (ModuleManager::DestroyRenderer() != 0) status = 1;
        if (status != 0) LogError("Невозможно удалить рендерер DirectX.");
        rendererCreated_ = false;
    }
    if (engineStarted_) {
        engineStarted_ = false;
        if (ShutdownEngine() != 0) {
            LogError("Невозможно завершить работу движка.");
            status = 1;
        }
    }
    Renderer::SetWindowCalls(nullptr);
    return status;
}

int ScreensaverApp::CreateWindows() {
    // Windows no one can see are no run.
    if ((mode_ == kModePreview || IsFullMode(mode_)) && HostPlatform::CheckDisplay() != 0) {
        exitStatus_ = 1;
        return kStatusFailed;
    }
    if (mode_ == kModePreview)
        return preview_.Create(parentWindow_, strings_.Get("AppName", "QUORVELSTUDIO 3D SCREENSAVER APPLICATION"));
    if (!IsFullMode(mode_)) return kStatusOk;
    if (hack_) return CreateHackWindow();

    Renderer* renderer = ModuleManager::GetRenderer();
    const int desktop = renderer ? DesktopModeIndex(renderer) : -1;
    const int count = renderer ? renderer->GetModeCount() : 0;
    const DisplayMode* chosen =
        count > 0
            ? DisplayModeChoice::Choose(renderer->GetMode(0), count,
                                        DisplayModeChoice::Desktop(renderer->GetMode(0), count, desktop), settings_)
            : nullptr;
    if (!chosen) {
        LogError("Невозможно найти подходящий видео режим.");
        return kStatusFailed;
    }
    if (!settings_.useDesktopSettings && (chosen->width != settings_.width || chosen->height != settings_.height ||
                                          chosen->colorBits != settings_.colorDepth))
        LogWarning("Режим %dx%dx%d недоступен; используется режим рабочего стола %dx%dx%d.", settings_.width,
                   settings_.height, settings_.colorDepth, chosen->width, chosen->height, chosen->colorBits);
    const int modeIndex = int(chosen - renderer->GetMode(0));
    const char* title = strings_.Get("AppName", "3D SCREENSAVER");
    if (renderer->Open(modeIndex, title, reinterpret_cast<void*>(intptr_t(parentWindow_)), 0, 0, 640, 480) != 0) {
        LogError("Невозможно создать окно выбранного режима.");
        return kStatusFailed;
    }
    SoundManager::InitSoundForWindow(renderer->GetWindow());
    HostPlatform::SetCursorVisible(false);
    cursorHidden_ = true;
    return kStatusOk;
}

// A hack draws into the daemon's window as it is: the display keeps its mode, the cursor and
// input stay the daemon's.
int ScreensaverApp::CreateHackWindow() {
    Renderer* renderer = ModuleManager::GetRenderer();
    if (!renderer) return kStatusFailed;
    uint64_t window = commandLine_.GetHackWindow();
    if (window == 0) window = ForeignWindow::GetRootWindow();
    const int watched = hackWindow_.Watch(window);
    if (watched != 0) {
        if (watched == 3) {
            LogError("Окно [0x%llx] не найдено.", WindowNumber(window));
            std::fprintf(stderr, "halvane: 0x%llx is not a window on this display\n", WindowNumber(window));
        } else {
            LogError("Невозможно открыть дисплей для окна [0x%llx].", WindowNumber(window));
            std::fprintf(stderr, "halvane: no display to find window 0x%llx on\n", WindowNumber(window));
        }
        return kStatusFailed;
    }
    const int desktop = DesktopModeIndex(renderer);
    const int modeIndex = desktop >= 0 ? desktop : 0;
    const char* title = strings_.Get("AppName", "3D SCREENSAVER");
    if (renderer->Open(modeIndex, title, reinterpret_cast<void*>(static_cast<uintptr_t>(window)), 0, 0,
                       hackWindow_.GetWidth(), hackWindow_.GetHeight()) != 0) {
        LogError("Невозможно создать окно выбранного режима.");
        return kStatusFailed;
    }
    SoundManager::InitSoundForWindow(renderer->GetWindow());
    return kStatusOk;
}

// False once the daemon's window is gone. Its end after a termination signal is the daemon's
// normal way of stopping a hack; before one, something went wrong.
bool ScreensaverApp::HackWindowLives() {
    if (!hack_ || hackWindow_.Poll()) return true;
    if (!TerminationSignal::IsRequested()) {
        LogError("Окно [0x%llx] исчезло.", WindowNumber(hackWindow_.GetId()));
        std::fprintf(stderr, "halvane: window 0x%llx has gone\n", WindowNumber(hackWindow_.GetId()));
    }
    return false;
}

int ScreensaverApp::DestroyWindows() {
    preview_.Destroy();
    hackWindow_.Stop();
    return kStatusOk;
}

int ScreensaverApp::Run() {
    switch (mode_) {
    case kModeConfigure:
        LogInfo("Запущен режим конфигурирования.");
        // 0: the dialog could not be shown.
        return RunConfigureDialog(defaults_, &settings_, strings_, registryPath_, webSiteUrl_, parentWindow_) == 0
                   ? 1
                   : 0;
    case kModePreview:
        return RunPreview();
    case kModeSaver:
    case kModeTest:
        return RunFrameLoop();
    case kModePassword:
    default:
        return kStatusOk;
    }
}

int ScreensaverApp::RunPreview() {
    // The preview has nothing to animate: it shows its picture until the window closes, idly.
    preview_.LoadPicture();
    preview_.Paint();
    while (running_) {
        if (!preview_.ProcessEvents()) running_ = false;
        Wait(50);
    }
    return kStatusOk;
}

int ScreensaverApp::RunFrameLoop() {
    Renderer* renderer = ModuleManager::GetRenderer();
    if (!renderer) return kStatusFailed;
    frameTimer_.Reset();
    while (running_) {
        if (InputManager::ProcessInput() != 0) {
            LogError("Неудачна обработка ввода.");
            return kStatusFailed;
        }
        // Input that ends the run ends it after this frame, which is still drawn.
        if (!HackWindowLives()) {
            running_ = false;
            return TerminationSignal::IsRequested() ? kStatusOk : kStatusFailed;
        }
        const double dt = frameTimer_.Step();
        frameRate_.Update();
        if (UpdateScene(dt) != 0) {
            LogError("Неудачно обновление сцены.");
            return kStatusFailed;
        }
        renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, Color(0, 0, 0, 1), 1.0f, 0);
        if (renderer->BeginFrame() != 0) {
            LogError("Неудачно начало рендеринга.");
            return kStatusFailed;
        }
        if (RenderScene() != 0) {
            LogError("Неудачен рендеринг.");
            return kStatusFailed;
        }
        DrawOverlays();
        renderer->EndFrame();
        // The first frame makes the device objects: the profile starts with the second.
        if (commandLine_.WantsProfile()) {
            if (renderer->IsProfiling())
                ++profiledFrames_;
            else
                renderer->SetProfiling(true);
        }
    }
    WriteProfile();
    return kStatusOk;
}

// The --profile table, one log line per row; the device's sections as nuvtool render prints them.
void ScreensaverApp::WriteProfile() {
    Renderer* renderer = ModuleManager::GetRenderer();
    if (!renderer || !renderer->IsProfiling()) return;
    if (profiledFrames_ == 0) {
        LogInfo("Профиль кадра: ни один кадр не измерен.");
    } else {
        LogInfo("Профиль кадра:");
        for (const std::string& line : ProfileTable::Format(renderer->GetProfile(), profiledFrames_))
            LogInfo("%s", line.c_str());
    }
    renderer->SetProfiling(false);
}

int ScreensaverApp::Destroy() {
    if (IsFullMode(mode_)) {
        if (ReleaseSceneData() != 0) {
            LogError("Невозможно удалить данные скринсейвера.");
            return kStatusFailed;
        }
        if (ReleaseOverlayData() != 0) {
            LogError("Невозможно удалить данные визуализации.");
            return kStatusFailed;
        }
    }
    if (DestroyWindows() != 0) {
        LogError("Невозможно удалить окна скринсейвера.");
        return kStatusFailed;
    }
    LogInfo("Окна скринсейвера удалены.");
    if (ReleaseEngine() != 0) {
        LogError("Невозможно завершить работу скринсейвера.");
        return kStatusFailed;
    }
    LogInfo("Скринсейвер завершил работу.");
    Pause(1000);
    return kStatusOk;
}

int ScreensaverApp::OnInputEvent(const InputEvent& event) {
    // The daemon owns keyboard and mouse and ends a hack itself; only a close ends it here.
    const bool counts = !hack_ || event.device == kInputWindow;
    if (counts && exitRule_.EndsRun(event, settings_.exitOnMouseMove)) running_ = false;
    return OnInputEventExtra(event);
}

int ScreensaverApp::LoadOverlayTexture(const char* fileName, bool allowCompression, Pointer<Texture>* out) {
    File* file = FileManager::FindFile(fileName);
    if (!file) {
        // A missing picture leaves its place empty rather than stopping the saver.
        LogWarning("Файл [%s] не найден.", fileName);
        return kStatusOk;
    }
    Pointer<Image> image(new (std::nothrow) Image());
    Pointer<Texture> texture(new (std::nothrow) Texture());
    if (!image || !texture) return kStatusNoMemory;
    if (image->LoadFromFile(file) != 0) {
        LogWarning("Невозможно загрузить изображение [%s].", fileName);
        return kStatusOk;
    }
    image->SetName(fileName);
    texture->SetName(fileName);
    texture->SetAllowCompression(allowCompression);
    texture->SetImage(image.Get());
    *out = texture;
    return kStatusOk;
}

int ScreensaverApp::CreateOverlayData() {
    quad_ = new (std::nothrow) Triangles();
    Pointer<Vector3Buffer> positions(new (std::nothrow) Vector3Buffer(6));
    Pointer<Vector2Buffer> coords(new (std::nothrow) Vector2Buffer(6));
    Pointer<IntBuffer> indices(new (std::nothrow) IntBuffer(6));
    textureEffect_ = new (std::nothrow) TextureEffect();
    overlayCamera_ = new (std::nothrow) Camera();
    if (!quad_ || !positions || !coords || !indices || !textureEffect_ || !overlayCamera_) return kStatusNoMemory;
    static const float kCorners[6][2] = {{0, 0}, {1, 1}, {1, 0}, {0, 0}, {0, 1}, {1, 1}};
    for (int i = 0; i < 6; ++i) {
        positions->GetElements()[i] = Vector3(kCorners[i][0], kCorners[i][1], 0);
        coords->GetElements()[i] = Vector2(kCorners[i][0], 1 - kCorners[i][1]);
        indices->GetElements()[i] = i;
    }
    quad_->SetVertices(positions.Get());
    quad_->SetTexCoords(0, coords.Get());
    quad_->SetIndices(indices.Get());
    quad_->UpdateTree(0, true);
    // The quad covers the screen wherever the camera looks: it is never culled.
    quad_->SetWorldBound(new (std::nothrow) SphereBoundingVolume(Vector3(0, 0, 0), FLT_MAX));
    quad_->SetUpdateWorldBound(false);
    quad_->SetEffect(textureEffect_.Get());

    if (LoadOverlayTexture("loader.jpg", false, &loader_) != 0) return kStatusFailed;
    if (loader_) LogInfo("LoadingTexture Loaded");
    static const char* const kCornerFiles[4] = {"4loader_ld.tga", "4loader_rd.tga", "4loader_lu.tga",
                                                "4loader_ru.tga"};
    for (int i = 0; i < 4; ++i)
        if (LoadOverlayTexture(kCornerFiles[i], true, &corners_[i]) != 0) return kStatusFailed;
    for (int i = 0; i < 15; ++i)
        if (LoadOverlayTexture(kCharacterFiles[i], true, &characters_[i]) != 0) return kStatusFailed;
    return CreateFadeEffect();
}

void ScreensaverApp::BeginOverlay() {
    Renderer* renderer = ModuleManager::GetRenderer();
    if (!renderer) return;
    keptCamera_ = renderer->GetCamera();
    renderer->SetCamera(overlayCamera_.Get());
    const float* m = kOverlayProjection;
    const Matrix4 projection(m[0], m[1], m[2], m[3], m[4], m[5], m[6], m[7], m[8], m[9], m[10], m[11], m[12], m[13],
                             m[14], m[15]);
    // The effects read the current camera's matrices: the overlay camera maps the unit square
    // onto the screen.
    overlayCamera_->SetMatrices(Matrix4::Identity(), projection);
    renderer->SetViewMatrix(Matrix4::Identity());
    renderer->SetProjectionMatrix(projection);
}

void ScreensaverApp::EndOverlay() {
    Renderer* renderer = ModuleManager::GetRenderer();
    if (renderer) renderer->SetCamera(keptCamera_.Get());
    keptCamera_.Reset();
}

void ScreensaverApp::DrawQuad() {
    Renderer* renderer = ModuleManager::GetRenderer();
    if (!renderer || !quad_) return;
    quad_->UpdateTree(0, false);
    quad_->CullAndRender(*renderer);
    renderer->FlushDeferred();
}

void ScreensaverApp::DrawCorner(Texture* texture, bool right, bool top) {
    Renderer* renderer = ModuleManager::GetRenderer();
    if (!texture || !texture->GetImage() || !renderer) return;
    const int viewportWidth = renderer->GetViewportWidth();
    const int viewportHeight = renderer->GetViewportHeight();
    if (viewportWidth <= 0 || viewportHeight <= 0) return;
    // The corner keeps its pixel size whatever the display's resolution.
    const float w = float(texture->GetImage()->GetWidth()) / float(viewportWidth);
    const float h = float(texture->GetImage()->GetHeight()) / float(viewportHeight);
    Transform& transform = quad_->GetLocalTransform();
    transform.SetScale(Vector3(w, h, 1));
    transform.SetTranslation(Vector3(right ? 1 - w : 0, top ? 1 - h : 0, 0));
    textureEffect_->SetTexture(texture);
    DrawQuad();
}

int ScreensaverApp::DrawLoadingScreen() {
    Renderer* renderer = ModuleManager::GetRenderer();
    if (!renderer || !quad_) return kStatusFailed;
    renderer->SetCamera(overlayCamera_.Get());
    renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, Color(0, 1, 0, 1), 1.0f, 0);
    if (renderer->BeginFrame() != 0) {
        LogError("Неудачно начало рендеринга.");
        return kStatusFailed;
    }
    BeginOverlay();
    textureEffect_->SetColor(Color(1, 1, 1, 1));
    textureEffect_->SetBlendEnabled(true);
    if (loader_) {
        Transform& transform = quad_->GetLocalTransform();
        transform.SetScale(Vector3(1, 1, 1));
        transform.SetTranslation(Vector3(0, 0, 0));
        textureEffect_->SetTexture(loader_.Get());
        DrawQuad();
    }
    DrawCorner(corners_[0].Get(), false, false);
    DrawCorner(corners_[1].Get(), true, false);
    DrawCorner(corners_[2].Get(), false, true);
    DrawCorner(corners_[3].Get(), true, true);
    renderer->EndFrame();
    textureEffect_->SetTexture(nullptr);
    loader_.Reset();
    for (Pointer<Texture>& corner : corners_) corner.Reset();
    keptCamera_.Reset();
    renderer->SetCamera(nullptr);
    return kStatusOk;
}

int ScreensaverApp::DrawText(const String& text, float x, float y, float w, float h) {
    if (!quad_ || !textureEffect_) return kStatusOk;
    Transform& transform = quad_->GetLocalTransform();
    transform.SetScale(Vector3(w, h, 1));
    const char* characters = text.GetText();
    for (int i = 0; i < text.GetLength(); ++i) {
        transform.SetTranslation(Vector3(x, y, 0));
        const char c = characters[i];
        if (c == ' ') {
            x += w / 2;
            continue;
        }
        const int index = CharacterIndex(c);
        if (index >= 0 && characters_[index]) {
            textureEffect_->SetTexture(characters_[index].Get());
            DrawQuad();
        }
        x += w;
    }
    return kStatusOk;
}

int ScreensaverApp::DrawOverlays() {
    if (!quad_ || !textureEffect_) return kStatusOk;
    if (!settings_.showFps && !settings_.showTime) return kStatusOk;
    Renderer* renderer = ModuleManager::GetRenderer();
    if (!renderer) return kStatusOk;
    const Renderer::ProfileScope section(*renderer, "overlays");
    BeginOverlay();
    textureEffect_->SetColor(Color(1, 1, 1, 1));
    if (settings_.showFps) {
        DrawText(OverlayText::FormatFrameRate(frameRate_.GetFramesPerSecond()), 0.009375f, 0.9f,
                 OverlayText::kCharWidth, OverlayText::kCharHeight);
    }
    if (settings_.showTime) {
        const std::time_t now = std::time(nullptr);
        // One thread reads the clock: the shared result of localtime is safe here.
        const std::tm* found = std::localtime(&now);
        const std::tm local = found ? *found : std::tm{};
        const String text = OverlayText::FormatClock(local.tm_hour, local.tm_min, local.tm_sec, settings_.hour24);
        DrawText(text, OverlayText::GetClockX(text.GetLength(), settings_.hour24), 0.025f, OverlayText::kCharWidth,
                 OverlayText::kCharHeight);
    }
    EndOverlay();
    return kStatusOk;
}

int ScreensaverApp::ReleaseOverlayData() {
    if (ReleaseFadeEffect() != 0) {
        LogError("Невозможно удалить данные визуализации дочернего сейвера.");
        return kStatusFailed;
    }
    quad_.Reset();
    textureEffect_.Reset();
    overlayCamera_.Reset();
    keptCamera_.Reset();
    loader_.Reset();
    for (Pointer<Texture>& corner : corners_) corner.Reset();
    for (Pointer<Texture>& character : characters_) character.Reset();
    return kStatusOk;
}

} // namespace nuv
