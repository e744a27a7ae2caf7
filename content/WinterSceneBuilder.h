#pragma once

#include "animation/ScreensaverController.h"
#include "content/SceneKit.h"
#include "content/SoundBuilder.h"
#include "core/Pointer.h"
#include "scene/Node.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nuv {

class Light;
class SceneNode;
class VillageBuilder;

// Assembles the winter village scene from the engine's classes: a snowfield by a frozen pond
// that mirrors the village, under a starry sky, fir trees, the village (VillageBuilder), two
// animated figures (FigureBuilder), falling snow, the camera shots the screensaver controller
// cuts between (CameraShots) and the sounds (SoundBuilder).
class WinterSceneBuilder {
public:
    // Names the host looks up in the scene.
    static constexpr const char* kSnowName = "Sprite Particle System 7185254";
    static constexpr const char* kRootName = "Winter Village";
    static constexpr const char* kMusicName = SoundBuilder::kMusicName;
    static constexpr const char* kMusicFile = SoundBuilder::kMusicFile;

    // withSounds adds the sound nodes, whose files the caller provides.
    WinterSceneBuilder(uint32_t seed, bool withSounds) : seed_(seed), withSounds_(withSounds) {}

    // The whole scene; null only when the engine runs out of memory.
    Pointer<SceneNode> Build();

    // Texture files the scene refers to (archive paths), in the order first used.
    const std::vector<std::string>& GetTextureFiles() const { return textureFiles_; }

private:
    void AddSky(SceneKit& kit);
    void AddGround(SceneKit& kit, SceneNode& root);
    Pointer<Node> AddPond(SceneKit& kit, SceneNode& root);
    void AddIceHole(SceneKit& kit, SceneNode& root);
    void AddTrees(SceneKit& kit, SceneNode& root);
    void AddDrifts(SceneKit& kit, SceneNode& root);
    void AddSnow(SceneKit& kit, SceneNode& root);
    void AddFrost(SceneKit& kit, SceneNode& root);
    void AddShadows(SceneNode& world, Light* moon, const VillageBuilder& village, const std::vector<Node*>& figures);
    void AddGlow(SceneNode& layer, const VillageBuilder& village);

    uint32_t seed_;
    bool withSounds_;
    std::vector<std::string> textureFiles_;
    Pointer<Node> sky_;
    Pointer<Node> trees_;
    std::vector<Pointer<Node>> nearTrees_;
};

} // namespace nuv
