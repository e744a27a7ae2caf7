#pragma once

#include "content/EffectSounds.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nuv {

class Node;
class SceneNode;

// The scene's sounds: the soundtrack node the host looks for, a crackling fire and skate
// scrapes placed in 3D, wind gusts alternating through a two-file node, and bells switched on
// and off by an on/off track. The effects' samples are made here too, for the caller to encode.
class SoundBuilder {
public:
    static constexpr const char* kMusicName = "Music";
    static constexpr const char* kMusicFile = "Sounds/music.ogg";
    static constexpr const char* kFireFile = "Sounds/fire.ogg";
    static constexpr const char* kSkatesFile = "Sounds/skates.ogg";
    static constexpr const char* kGustFileA = "Sounds/gust1.ogg";
    static constexpr const char* kGustFileB = "Sounds/gust2.ogg";
    static constexpr const char* kBellsFile = "Sounds/bells.ogg";
    // The bells ring for part of every cycle of this many seconds.
    static constexpr double kBellCycleSeconds = 40.0;

    struct Sound {
        std::string file;
        std::vector<float> samples;  // mono, EffectSounds::kSampleRate
    };

    // Each subject may be null; its sound is then left out.
    struct Places {
        Node* fire = nullptr;
        SceneNode* skater = nullptr;
        SceneNode* belfry = nullptr;
    };

    void Build(SceneNode& root, const Places& places);
    // The effects the nodes play, synthesised.
    static std::vector<Sound> Synthesise(uint32_t seed, double strideSeconds);
};

} // namespace nuv
