#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace nuv {

class Image;
class ImageCodec;

// "nuvtool image": describes and converts pictures with the engine's image codecs (BMP, TGA,
// JPEG, CUBE), the codec chosen by the file's extension as the engine chooses it.
class ImageCommand {
public:
    static constexpr int kExitOk = 0;
    static constexpr int kExitFailed = 1;  // the input cannot be decoded or the output written
    static constexpr int kExitUsage = 2;   // bad arguments, unreadable input, unknown extension

    // args are the words after "image".
    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
    static void PrintHelp(std::ostream& out);
};

} // namespace nuv
