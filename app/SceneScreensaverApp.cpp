#include "app/SceneScreensaverApp.h"

#include "animation/ScreensaverController.h"
#include "app/FadeLevel.h"
#include "app/SettingsStore.h"
#include "app/TerminationSignal.h"
#include "core/Log.h"
#include "core/Status.h"
#include "media/CodecManager.h"
#include "media/File.h"
#include "media/FileManager.h"
#include "media/ModuleManager.h"
#include "media/image/Image.h"
#include "render/ColorEffect.h"
#include "render/Renderer.h"
#include "render/SceneOptions.h"
#include "render/ShadowmapEffect.h"
#include "render/Texture.h"
#include "render/TextureEffect.h"
#include "scene/ParticleSystem.h"
#include "scene/SceneNode.h"
#include "scene/Triangles.h"
#include "sound/SoundManager.h"
#include "sound/SoundNode.h"
#include "sound/SoundNode2.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <thread>
#include <vector>

namespace nuv {

namespace {

// Leave-unchanged values of the channel attribute call.
constexpr int kKeepFrequency = -1;
constexpr int kKeepPan = -101;
// Pixel format of pictures already in the device's own layout: they are uploaded first.
constexpr int kRendererFormat = 4;

const char* BoolText(bool value) {
    return value ? "true" : "false";
}

void SilenceChannel(BassHandle handle) {
    if (handle) SoundManager::ChannelSetAttributes(handle, kKeepFrequency, 0, kKeepPan);
}

} // namespace

SceneScreensaverApp::SceneScreensaverApp() : ScreensaverApp("SceneScreensaverApp") {}

SceneScreensaverApp::~SceneScreensaverApp() = default;

int SceneScreensaverApp::OnInputEventExtra(const InputEvent& /*event*/) {
    return kStatusOk;
}

int SceneScreensaverApp::ApplyOptionDefaults() {
    settings_.reflections = defaults_.reflections;
    settings_.shadows = defaults_.shadows;
    settings_.snow = defaults_.snow;
    settings_.shine = defaults_.shine;
    return kStatusOk;
}

int SceneScreensaverApp::LogOptions() {
    LogInfo("Reflections: %s", BoolText(settings_.reflections));
    LogInfo("Shadows: %s", BoolText(settings_.shadows));
    LogInfo("Snow: %s", BoolText(settings_.snow));
    LogInfo("Shine: %s", BoolText(settings_.shine));
    return kStatusOk;
}

int SceneScreensaverApp::ParseOption(const String& key, const String& value) {
    return settings_.ParseValue(key, value);
}

// The store keeps the options with the other settings, in one file.
int SceneScreensaverApp::ReadOptions(const String& registryKey) {
    std::string path;
    if (SettingsStore::MakePath(registryKey, &path) != 0) return kStatusFailed;
    SettingsStore store(path);
    const Settings before = settings_;
    const int status = store.Read(&settings_);
    // Whichever store the platform keeps, the run gets only values it can use.
    settings_.ApplyLimits(before);
    return status;
}

int SceneScreensaverApp::WriteOptions(const String& registryKey) {
    std::string path;
    if (SettingsStore::MakePath(registryKey, &path) != 0) return kStatusFailed;
    SettingsStore store(path);
    return store.Write(settings_);
}

int SceneScreensaverApp::OptionsDialogProc(void* /*dialog*/, unsigned /*message*/, uintptr_t /*wParam*/,
                                           intptr_t /*lParam*/) {
    return 0;
}

int SceneScreensaverApp::OptionsToDialog() {
    return kStatusOk;
}

int SceneScreensaverApp::AfterEngineInit() {
    return kStatusOk;
}

int SceneScreensaverApp::BeforeEngineRelease() {
    return kStatusOk;
}

int SceneScreensaverApp::UpdateScene(double dt) {
    if (root_) root_->UpdateTree(dt, true);
    return kStatusOk;
}

float SceneScreensaverApp::GetFadeAlpha() const {
    const ScreensaverSet* set = controller_ ? controller_->GetCurrentSet() : nullptr;
    if (!set) return 0.0f;
    return FadeLevel::Compute(true, controller_->GetElapsed(), set->start, set->duration);
}

int SceneScreensaverApp::RenderScene() {
    Renderer* renderer = ModuleManager::GetRenderer();
    if (!renderer) return kStatusFailed;
    if (root_) root_->CullAndRender(*renderer);
    renderer->FlushDeferred();

    Triangles* quad = GetOverlayQuad();
    if (!quad || !fadeEffect_) return kStatusOk;
    BeginOverlay();
    const float alpha = GetFadeAlpha();
    fadeEffect_->SetColor(Color(0, 0, 0, alpha));
    Transform& transform = quad->GetLocalTransform();
    transform.SetScale(Vector3(1, 1, 1));
    transform.SetTranslation(Vector3(0, 0, 0));
    // Nothing to darken without a fade: a fully clear quad would only cost a blend.
    if (alpha > 0.0f) {
        quad->SetEffect(fadeEffect_.Get());
        DrawQuad();
        quad->SetEffect(GetOverlayEffect());
    }
    EndOverlay();
    return kStatusOk;
}

int SceneScreensaverApp::CreateFadeEffect() {
    fadeEffect_ = new (std::nothrow) ColorEffect();
    if (!fadeEffect_) return kStatusNoMemory;
    fadeEffect_->SetBlendEnabled(true);
    fadeEffect_->SetColor(Color(0, 0, 0, 0));
    return kStatusOk;
}

int SceneScreensaverApp::ReleaseFadeEffect() {
    fadeEffect_.Reset();
    return kStatusOk;
}

void SceneScreensaverApp::ApplySoundSettings() {
    Array<Object*> found;
    if (!settings_.sfx) {
        root_->CollectByType(SoundNode::TYPE, found);
        for (int i = 0; i < found.GetCount(); ++i) {
            auto* node = static_cast<SoundNode*>(found[i]);
            if (node->GetName() == String("Music")) continue;
            node->SetVolume(0);
            SilenceChannel(node->GetStream());
            node->SetPlaying(false);
            if (node->GetStream()) SoundManager::ChannelStop(node->GetStream());
        }
        Array<Object*> found2;
        root_->CollectByType(SoundNode2::TYPE, found2);
        for (int i = 0; i < found2.GetCount(); ++i) {
            auto* node = static_cast<SoundNode2*>(found2[i]);
            if (node->GetName() == String("Music")) continue;
            node->SetVolume(0);
            SilenceChannel(node->GetStreamA());
            SilenceChannel(node->GetStreamB());
        }
    }
    Object* music = root_->FindByName("Music");
    if (music && music->IsDerived(SoundNode::TYPE)) {
        auto* node = static_cast<SoundNode*>(music);
        if (!settings_.music) {
            node->SetVolume(0);
            SilenceChannel(node->GetStream());
        }
        // The music starts once caching is over, from the beginning.
        if (node->GetStream()) SoundManager::ChannelStop(node->GetStream());
        node->SetPlaying(false);
    }
}

int SceneScreensaverApp::CreateSceneData() {
    File* file = FileManager::FindFile("Main.STR");
    if (!file) {
        LogError("Невозможно найти файл данных скринсейвера.");
        return kStatusFailed;
    }
    Pointer<Object> loaded;
    if (CodecManager::LoadSceneFile(file, loaded) != 0 || !loaded || !loaded->IsDerived(SceneNode::TYPE)) {
        LogError("Невозможно загрузить данные скринсейвера из файла.");
        return kStatusFailed;
    }
    root_ = static_cast<SceneNode*>(loaded.Get());

    const Renderer* renderer = ModuleManager::GetRenderer();
    if (!renderer || !renderer->GetCaps().shadowMaps) SceneOptions::RemoveEffects(*root_, ShadowmapEffect::TYPE);

    ApplySoundSettings();

    Array<Object*> controllers;
    root_->CollectByType(ScreensaverController::TYPE, controllers);
    controller_ = controllers.GetCount() > 0 ? static_cast<ScreensaverController*>(controllers[0]) : nullptr;

    SceneOptions::Apply(*root_, {settings_.reflections, settings_.shadows, settings_.snow, settings_.shine});
    return kStatusOk;
}

int SceneScreensaverApp::ReleaseSceneData() {
    controller_ = nullptr;
    root_.Reset();
    return kStatusOk;
}

int SceneScreensaverApp::CacheSceneData() {
    if (!root_) return kStatusFailed;
    Renderer* renderer = ModuleManager::GetRenderer();
    LogInfo("Кеширование...");
    Array<Object*> found;
    root_->CollectByType(Texture::TYPE, found);
    std::vector<Texture*> textures;
    for (int i = 0; i < found.GetCount(); ++i) {
        auto* texture = static_cast<Texture*>(found[i]);
        if (std::find(textures.begin(), textures.end(), texture) == textures.end()) textures.push_back(texture);
    }
    auto upload = [renderer](Texture* texture) {
        if (renderer) renderer->SetTexture(texture, 0);
        LogInfo("%s", texture->GetName().GetText());
    };
    for (Texture* texture : textures)
        if (texture->GetImage() && texture->GetImage()->GetFormat() == kRendererFormat) upload(texture);
    for (Texture* texture : textures)
        if (!(texture->GetImage() && texture->GetImage()->GetFormat() == kRendererFormat) &&
            texture->GetControllerCount() == 0)
            upload(texture);
    LogInfo("Кеширование закончено.");
    Pause(1000);

    root_->UpdateTree(0, true);
    Array<Object*> systems;
    root_->CollectByType(ParticleSystem::TYPE, systems);
    for (int i = 0; i < systems.GetCount(); ++i) static_cast<ParticleSystem*>(systems[i])->Reset();
    // The snow has fallen for a while when the first frame appears. A run asked to end skips
    // the rest: it will draw no frame.
    if (systems.GetCount() > 0) {
        for (float t = 0.0f; t < kPreRunSeconds && !TerminationSignal::IsRequested(); t += kPreRunStep)
            for (int i = 0; i < systems.GetCount(); ++i)
                static_cast<ParticleSystem*>(systems[i])->UpdateTree(kPreRunStep, true);
    }

    Object* music = root_->FindByName("Music");
    if (music && music->IsDerived(SoundNode::TYPE)) {
        auto* node = static_cast<SoundNode*>(music);
        if (node->GetStream()) {
            SoundManager::ChannelPlay(node->GetStream(), 1);
            node->SetPlaying(true);
            SoundManager::ChannelPlay(node->GetStream(), 0);
        }
    }
    return kStatusOk;
}

} // namespace nuv
