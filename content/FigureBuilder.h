#pragma once

#include "content/Mesh.h"
#include "core/Pointer.h"
#include "core/Quaternion.h"
#include "core/Vector4.h"
#include "scene/SceneNode.h"

#include <functional>
#include <string>
#include <vector>

namespace nuv {

class GeometryNodeEffect;
class NodeAnimation;
class NodeAnimationController;
class SceneKit;
class SkeletonAnimationController;

// The two animated figures, each a skinned mesh over a skeleton of bone nodes that a skeleton
// animation controller plays on a loop: a skater circling on the ice and a snowman waving.
class FigureBuilder {
public:
    explicit FigureBuilder(SceneKit& kit) : kit_(kit) {}

    Pointer<SceneNode> AddSkater(SceneNode& root);
    Pointer<SceneNode> AddSnowman(SceneNode& root);

    // Seconds of one skating stride, one wave, one lap of the pond.
    static constexpr double kStrideSeconds = 1.6;
    static constexpr double kWaveSeconds = 2.0;
    static constexpr double kLapSeconds = 32.0;
    // The skater's lap round the pond's centre, in metres.
    static constexpr float kSkaterLapRadius = 15.0f;

private:
    // A figure under construction: bones in figure space and the mesh with its skin data.
    struct Rig {
        struct Bone {
            Pointer<SceneNode> node;
            Vector3 rest;  // position in the figure at rest
        };
        std::vector<Bone> bones;
        Mesh mesh;
        std::vector<Vector4> indices, weights;
    };
    // A bone under parent (-1 for the figure itself) at a figure-space rest position.
    int AddBone(Rig& rig, SceneNode& figure, const std::string& name, int parent, const Vector3& rest);
    // Binds the vertices added since first: bone and weight pairs chosen from each position.
    // The atlas band (0 snow, 1 wood, 2 red knit, 3 dark wool) picks the vertices' colours.
    void Bind(Rig& rig, size_t first, int band,
              const std::function<void(const Vector3&, Vector4&, Vector4&)>& weigh);
    // The skinned mesh, its skin controller and its lit effect, as the figure's last child.
    void Finish(Rig& rig, SceneNode& figure, const std::string& name, const std::vector<int>& lights);
    // One looping track per bone, the bone's rotation through the poses in turn; the
    // controllers go to a skeleton controller on the figure.
    void Animate(Rig& rig, SceneNode& figure, const std::string& clip, double seconds,
                 const std::vector<std::vector<Quaternion>>& poses);

    // The skater's bones, skinned mesh and stride.
    void BuildSkater(SceneNode& figure);
    // One lap of the pond as looping keys, facing along the way.
    static Pointer<NodeAnimation> SkaterLap();
    // A controller that runs lap once every kLapSeconds.
    static Pointer<NodeAnimationController> LapController(const std::string& name, NodeAnimation& lap);
    // A spotlight that follows the skater round: it aims at a mark running the same laps and
    // lights the figure's skin.
    static void AddPondSpotlight(SceneNode& root, SceneNode& figure, NodeAnimation& lap);

    SceneKit& kit_;
};

} // namespace nuv
