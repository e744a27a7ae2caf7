#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace nuv {

class Object;

// "nuvtool scene": looks into scene files (.STR) through the engine's scene codec.
class SceneCommand {
public:
    static constexpr int kExitOk = 0;
    static constexpr int kExitFailed = 1;  // the file cannot be read as a scene
    static constexpr int kExitUsage = 2;   // bad arguments, unreadable file

    // args are the words after "scene".
    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
    static void PrintHelp(std::ostream& out);
    // The tree under root and the count per class, as "scene dump" prints them.
    static void Dump(Object* root, std::ostream& out);
};

} // namespace nuv
