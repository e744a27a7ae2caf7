#pragma once

namespace nuv {

// The built-in renderer module "DirectX9": "Initialize", "Shutdown" and "CreateRenderer" (a
// D3d9Renderer).
class D3d9Module {
public:
    static constexpr const char* kName = "DirectX9";

    static int Initialize();
    static int Shutdown();
    // 1 while a renderer exists or when d3d9.dll cannot be loaded; 0 and the renderer in *out.
    static int CreateRenderer(class Renderer** out);
};

} // namespace nuv
