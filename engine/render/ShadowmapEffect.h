#pragma once

#include "core/Color.h"
#include "core/Matrix4.h"
#include "core/Pointer.h"
#include "render/SceneNodeEffect.h"

#include <vector>

namespace nuv {

class Camera;
class GeometryNode;
class Light;
class Renderer;
class SphereBoundingVolume;
class Texture;
class Triangles;
struct Vector3;

// One light casts the shadows of a list of geometry nodes onto themselves and each other: each
// frame the depth of the nodes seen from the light goes into a hardware shadow map (see
// RenderShadowmapEffectController), and after the scene is drawn the nodes are drawn again with
// a pass that darkens their shadowed pixels with the shadow colour.
//
// Techniques: the hardware one (shadow maps, a vertex level and pixel level 1 or more) draws the
// scene and then the receivers; the fallback draws the scene without shadows.
class ShadowmapEffect : public SceneNodeEffect {
    NUV_DECLARE_OBJECT
public:
    static constexpr int kDefaultMapSize = 512;

    ShadowmapEffect();
    ~ShadowmapEffect() override;

    // After the Object fields: light link, shadow map link, shadow colour, flag byte (bit 1
    // filtering, bit 0 perspective warping), depth bias, slope-scaled bias, view-angle limit,
    // then the node count and links.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;
    // The shadow map as well (it holds the map's picture record); not the light and nodes,
    // which the scene holds.
    Object* FindByName(const String& name) override;
    void CollectByType(const Rtti& type, Array<Object*>& found) override;

    // A new map also makes a new colour target of its size; null leaves the effect without one.
    void SetShadowmap(Texture* texture);
    Texture* GetShadowmap() const { return shadowmap_.Get(); }
    Texture* GetColorTarget() const { return colorTarget_.Get(); }
    void SetShadowLight(Light* light);
    Light* GetShadowLight() const { return light_.Get(); }
    void AddNode(GeometryNode* node);
    int GetNodeCount() const { return int(nodes_.size()); }
    GeometryNode* GetNode(int index) const;

    const Color& GetShadowColor() const { return shadowColor_; }
    void SetShadowColor(const Color& color) { shadowColor_ = color; }
    bool GetPerspectiveWarping() const { return perspectiveWarping_ != 0; }
    void SetPerspectiveWarping(bool on) { perspectiveWarping_ = on ? 1 : 0; }
    bool GetFiltering() const { return filtering_ != 0; }
    void SetFiltering(bool on);
    // Units of 2^-24 of the depth range.
    int GetDepthBias() const { return depthBias_; }
    void SetDepthBias(int bias) { depthBias_ = bias; }
    float GetSlopeScaledBias() const { return slopeScaledBias_; }
    void SetSlopeScaledBias(float bias) { slopeScaledBias_ = bias; }
    // The largest |cos| between light and view direction that still warps the map.
    float GetViewAngleLimit() const { return viewAngleLimit_; }
    void SetViewAngleLimit(float limit) { viewAngleLimit_ = limit; }

    // Light view-projection x bias, from the last rendering of the map.
    const Matrix4& GetShadowTextureMatrix() const { return shadowTextureMatrix_; }
    const SphereBoundingVolume* GetFocusBound() const { return focus_.Get(); }
    Camera* GetCamera() const { return camera_.Get(); }
    Triangles* GetScreenQuad() const { return screenQuad_.Get(); }
    // True when the last rendering of the map used the perspective warp.
    bool GetLastWarped() const { return lastWarped_; }

    // Draws the depth of the nodes, seen from the light, into the map through lightCamera;
    // nothing without a map or a light.
    void RenderShadowmap(Renderer& renderer, Camera& lightCamera);

    // Texture space of the map from its clip space: x to 0..1, y to 1..0, plus half a texel.
    static Matrix4 BiasMatrix(int width, int height);
    // The light's view and projection around the focus sphere (centre, radius) for a light
    // direction and the viewer's eye, forward direction and near and far distances. Warps with
    // a light-space perspective when warping is on and |cos| of the angle between the two
    // directions is at most limit (and the focus region lies ahead of the viewer); otherwise an
    // orthographic view along the light at the centre from distance (at least the radius).
    // Returns whether the warp was used.
    static bool LightMatrices(const Vector3& lightDirection, float lightDistance, const Vector3& center, float radius,
                              const Vector3& eye, const Vector3& forward, float nearPlane, float farPlane, bool warping,
                              float limit, Matrix4& view, Matrix4& projection);

private:
    void UpdateFocus();

    std::vector<Pointer<GeometryNode>> nodes_;
    Pointer<SphereBoundingVolume> focus_;
    Pointer<Camera> camera_;
    uint8_t perspectiveWarping_ = 0;
    int32_t depthBias_ = 0;
    float slopeScaledBias_ = 3.0f;
    float viewAngleLimit_ = 0.99f;
    uint8_t filtering_ = 0;
    Pointer<Texture> shadowmap_;
    Pointer<Texture> colorTarget_;
    Pointer<Triangles> screenQuad_;
    Pointer<Light> light_;
    Color shadowColor_{0.0f, 0.0f, 0.0f, 0.5f};
    Matrix4 shadowTextureMatrix_;
    bool lastWarped_ = false;
};

} // namespace nuv
