#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace nuv {

// "nuvtool render": draws a scene file offscreen through the OpenGL module and writes the
// frames as pictures, for people who make content and for tests.
class RenderCommand {
public:
    static constexpr int kExitOk = 0;
    static constexpr int kExitFailed = 1;  // the scene, the camera or the renderer failed
    static constexpr int kExitUsage = 2;   // bad arguments, unreadable input

    // args are the words after "render".
    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
    static void PrintHelp(std::ostream& out);
};

} // namespace nuv
