#include "content/SoundBuilder.h"

#include "animation/BoolAnimation.h"
#include "core/String.h"
#include "scene/SceneNode.h"
#include "sound/SoundNode.h"
#include "sound/SoundNode2.h"
#include "sound/SoundNodeAnimation.h"
#include "sound/SoundNodeAnimationController.h"

namespace nuv {

namespace {

Pointer<SoundNode> Positional(const char* name, const char* file, float minDistance, int volume) {
    Pointer<SoundNode> node(new SoundNode());
    node->SetName(String(name));
    node->SetFileName(String(file));
    node->Set3D(true);
    node->SetLoop(true);
    node->SetMinDistance(minDistance);
    node->SetVolume(volume);
    return node;
}

} // namespace

void SoundBuilder::Build(SceneNode& root, const Places& places) {
    // The host finds the soundtrack by this name, mutes or stops it by the settings and
    // starts it once the scene is ready.
    Pointer<SoundNode> music(new SoundNode());
    music->SetName(String(kMusicName));
    music->SetFileName(String(kMusicFile));
    music->SetLoop(true);
    music->SetVolume(100);
    root.AttachChild(music.Get());

    if (auto* fire = DynamicCast<SceneNode>(places.fire)) {
        Pointer<SoundNode> crackle = Positional("Camp Fire Crackle", kFireFile, 4.0f, 90);
        crackle->GetLocalTransform().SetTranslation({0.0f, 0.5f, 0.0f});
        fire->AttachChild(crackle.Get());
    }
    if (places.skater) {
        // A child of the figure, so the scrapes go round the pond with it.
        Pointer<SoundNode> scrapes = Positional("Skate Scrapes", kSkatesFile, 3.0f, 80);
        places.skater->AttachChild(scrapes.Get());
    }

    Pointer<SoundNode2> wind(new SoundNode2());
    wind->SetName(String("Wind"));
    wind->SetFileNames(String(kGustFileA), String(kGustFileB));
    wind->SetInterval(7.0f, 3.0f);
    wind->SetVolume(55);
    root.AttachChild(wind.Get());

    if (places.belfry) {
        Pointer<SoundNode> bells = Positional("Bells", kBellsFile, 25.0f, 70);
        bells->GetLocalTransform().SetTranslation({0.0f, 8.0f, 0.0f});
        // A peal for ten seconds, a pause, a shorter peal, a long pause.
        Pointer<SoundNodeAnimation> peals(new SoundNodeAnimation());
        peals->SetName(String("Bell Peals"));
        for (const auto& [time, on] : {std::pair{0.0, true}, {0.25, false}, {0.5, true}, {0.6, false}}) {
            auto* key = new BoolAnimationKey();
            key->time = time;
            key->value = on;
            peals->AppendKey(key);
        }
        Pointer<SoundNodeAnimationController> ringer(new SoundNodeAnimationController());
        ringer->SetName(String("Bell Ringer"));
        ringer->AddAnimation(peals.Get());
        ringer->AddFrame(peals.Get(), 0.0, 1.0);
        ringer->SetPeriod(kBellCycleSeconds);
        // The same timetable as plain on/off values, kept beside it for other uses.
        Pointer<BoolAnimation> timetable(new BoolAnimation());
        timetable->SetName(String("Bell Timetable"));
        for (int k = 0; k < peals->GetKeyCount(); ++k) {
            auto* key = new BoolAnimationKey();
            key->time = peals->GetKey(k)->time;
            key->value = peals->IsOn(k, true);
            timetable->AppendKey(key);
        }
        ringer->AddAnimation(timetable.Get());
        bells->AddController(ringer.Get());
        places.belfry->AttachChild(bells.Get());
    }
}

std::vector<SoundBuilder::Sound> SoundBuilder::Synthesise(uint32_t seed, double strideSeconds) {
    const EffectSounds effects(seed);
    std::vector<Sound> sounds;
    sounds.push_back({kFireFile, effects.Fire(6.0)});
    sounds.push_back({kSkatesFile, effects.Skates(strideSeconds)});
    sounds.push_back({kGustFileA, effects.Gust(6.0, 0)});
    sounds.push_back({kGustFileB, effects.Gust(7.5, 1)});
    sounds.push_back({kBellsFile, effects.Bells(10.8)});
    return sounds;
}

} // namespace nuv
