#pragma once

namespace nuv {

class Node;
class Rtti;

// The screensaver's picture options applied to a loaded scene, the same way for the program and
// for nuvtool: a switched-off option takes out what draws it.
class SceneOptions {
public:
    // The name of the falling snow's particle system in the shipped scene.
    static constexpr const char* kSnowNodeName = "Sprite Particle System 7185254";

    // Which of the four options are on.
    struct Choice {
        bool reflections = true;
        bool shadows = true;
        bool snow = true;
        bool shine = true;
    };

    // Takes out what each option that is off draws: the ice's reflections, the shadows, the
    // falling snow, the glow.
    static void Apply(Node& root, const Choice& choice);

    // Every effect of the class leaves the scene node that carries it (shadows, the glow).
    static void RemoveEffects(Node& root, const Rtti& type);
    // Each ice effect gives way to a plain texture effect with its texture, texture coordinate
    // set and colour: the ice is drawn without reflections.
    static void ReplaceSnowIceEffects(Node& root);
    // The node of that name leaves its parent scene node; nothing when there is none.
    static void RemoveNamedNode(Node& root, const char* name);
};

} // namespace nuv
