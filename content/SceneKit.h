#pragma once

#include "content/Mesh.h"
#include "core/Pointer.h"
#include "core/Quaternion.h"
#include "render/Texture.h"
#include "scene/Light.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace nuv {

class GeometryNodeEffect;
class Triangles;

// What the builders of the winter scene share: the landscape's shape, the textures by archive
// file (one object each, however many surfaces use it), the lights that lit surfaces take, and
// the builder's own random sequence, so that placement never depends on the process's rand().
class SceneKit {
public:
    static constexpr float kGroundHalf = 200.0f;
    static constexpr float kPondRadius = 28.0f;
    static constexpr float kIceHeight = -0.2f;

    explicit SceneKit(uint32_t seed) : seed_(seed) {}

    float Random();  // 0..1
    static float GroundHeight(float x, float z);
    // The rotation whose forward axis (third column) looks from eye to target, up near +y.
    static Quaternion LookRotation(const Vector3& eye, const Vector3& target);

    // The shared texture of an archive file, made on first use.
    Texture* TextureFor(const std::string& file);
    // Texture files the scene refers to (archive paths), in the order first used.
    const std::vector<std::string>& GetTextureFiles() const { return textureFiles_; }

    // Lights made before a lit surface light it.
    void AddLight(Light* light) { lights_.push_back(Pointer<Light>(light)); }
    // Lit by every light so far, fixed-function; per pixel; or unlit for glowing surfaces.
    Pointer<GeometryNodeEffect> Lit(const std::string& file);
    // Per pixel, by the lights of those indices (in the order added; the moon is 0).
    Pointer<GeometryNodeEffect> PixelLit(const std::string& file, const std::vector<int>& lights);
    Pointer<GeometryNodeEffect> Unlit(const std::string& file);
    // A triangle list with normals; the second coordinate set when the mesh has one.
    static Pointer<Triangles> MakeNode(const std::string& name, const Mesh& mesh, GeometryNodeEffect* effect);

private:
    uint32_t seed_;
    uint32_t state_ = 0;
    std::map<std::string, Pointer<Texture>> textures_;
    std::vector<std::string> textureFiles_;
    std::vector<Pointer<Light>> lights_;
};

} // namespace nuv
