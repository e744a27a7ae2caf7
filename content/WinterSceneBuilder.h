#pragma once

#include "animation/ScreensaverController.h"
#include "core/Pointer.h"
#include "core/Vector2.h"
#include "core/Vector3.h"
#include "render/Texture.h"
#include "scene/Light.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace nuv {

class Camera;
class GeometryNodeEffect;
class SceneNode;
class Triangles;

// Assembles the winter village scene from the engine's classes: a snowfield by a frozen
// pond under a starry sky, fir trees, houses with lit windows, street lamps and garlands,
// falling snow and the camera shots the screensaver controller cuts between. Each part of
// the scene is one Add... step, so new kinds of content join as their own step.
class WinterSceneBuilder {
public:
    // Names the host looks up in the scene.
    static constexpr const char* kSnowName = "Sprite Particle System 7185254";
    static constexpr const char* kRootName = "Winter Village";

    static constexpr const char* kMusicName = "Music";
    static constexpr const char* kMusicFile = "Sounds/music.ogg";

    // withMusic adds the soundtrack node, whose file the caller provides.
    WinterSceneBuilder(uint32_t seed, bool withMusic) : seed_(seed), withMusic_(withMusic) {}

    // The whole scene; null only when the engine runs out of memory.
    Pointer<SceneNode> Build();

    // Texture files the scene refers to (archive paths), in the order first used.
    const std::vector<std::string>& GetTextureFiles() const { return textureFiles_; }

private:
    struct Mesh {
        std::vector<Vector3> positions;
        std::vector<Vector2> uvs;
        std::vector<int32_t> indices;
        // Keeps the triangle's front on the side facing outward (clockwise seen from there).
        void Triangle(int a, int b, int c, const Vector3& outward);
        int Vertex(const Vector3& p, const Vector2& uv);
        void Quad(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3, float u, float v,
                  const Vector3& outward);
    };

    void AddSky(SceneNode& root);
    void AddGround(SceneNode& root);
    void AddPond(SceneNode& root);
    void AddTrees(SceneNode& root);
    void AddHouses(SceneNode& root);
    void AddLamps(SceneNode& root);
    void AddGarlands(SceneNode& root);
    void AddSnow(SceneNode& root);
    void AddCameras(SceneNode& root);
    void AddSounds(SceneNode& root);

    // The shared texture of an archive file, made on first use.
    Texture* TextureFor(const std::string& file);
    // A lit textured effect (moonlight and the lamps) or an unlit one for glowing surfaces.
    Pointer<GeometryNodeEffect> Lit(const std::string& file);
    Pointer<GeometryNodeEffect> Unlit(const std::string& file);
    Pointer<Triangles> MakeNode(const char* name, const Mesh& mesh, GeometryNodeEffect* effect);
    Pointer<Camera> MakeShot(SceneNode& parent, const char* name, const std::vector<Vector3>& path,
                             const Vector3& lookAt, double seconds);
    float Random();  // 0..1 from the builder's own sequence
    float GroundHeight(float x, float z) const;

    uint32_t seed_;
    bool withMusic_;
    uint32_t state_ = 0;
    std::map<std::string, Pointer<Texture>> textures_;
    std::vector<std::string> textureFiles_;
    std::vector<Pointer<Light>> lights_;
    std::vector<Vector3> lampTops_;
    Pointer<ScreensaverController> director_;
};

} // namespace nuv
