#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace nuv {

// "nuvtool rar": list, test, extract and pack RAR 2.0 archives.
class RarCommand {
public:
    // Exit codes of the tool.
    static constexpr int kExitOk = 0;
    static constexpr int kExitEntryFailed = 1;  // some entry could not be decoded or written
    static constexpr int kExitUsage = 2;        // bad arguments or unreadable input

    // args are the words after "rar".
    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
    static void PrintHelp(std::ostream& out);

    // Turns an entry name into a relative path of safe components ("\" and "/" separate
    // them; empty and "." components are dropped). False for absolute names, drive
    // letters and ".." components, which could escape the target folder.
    static bool SafeRelativePath(const std::string& name, std::string& path);
};

} // namespace nuv
