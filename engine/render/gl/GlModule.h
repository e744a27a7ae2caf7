#pragma once

namespace nuv {

// The built-in renderer module: "Initialize", "Shutdown" and "CreateRenderer" (a GlRenderer).
class GlModule {
public:
    static constexpr const char* kName = "OpenGL";

    static int Initialize();
    static int Shutdown();
    // 1 while a renderer exists or when the display cannot be opened; 0 and the renderer in *out.
    static int CreateRenderer(class Renderer** out);
};

} // namespace nuv
