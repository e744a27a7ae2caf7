#include "ImageCommand.h"
#include "RarCommand.h"
#include "RenderCommand.h"
#include "SceneCommand.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

// nuvtool's own exit statuses, as its commands use them: no command, or an unknown one, is usage.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;

struct Subcommand {
    const char* name;
    const char* summary;
    int (*run)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
    void (*help)(std::ostream& out);
};

const Subcommand kSubcommands[] = {
    {"rar", "list, test, extract and pack RAR 2.0 archives", nuv::RarCommand::Run, nuv::RarCommand::PrintHelp},
    {"image", "describe and convert BMP, TGA, JPEG and CUBE pictures", nuv::ImageCommand::Run,
     nuv::ImageCommand::PrintHelp},
    {"scene", "print the object tree of a scene file", nuv::SceneCommand::Run, nuv::SceneCommand::PrintHelp},
    {"render", "draw a scene offscreen into pictures", nuv::RenderCommand::Run, nuv::RenderCommand::PrintHelp},
};

void PrintUsage(std::ostream& out) {
    out << "usage: nuvtool COMMAND [ARGS...]\n"
           "       nuvtool COMMAND --help\n\ncommands:\n";
    for (const Subcommand& s : kSubcommands) out << "  " << s.name << "\t" << s.summary << "\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(std::cerr);
        return kExitUsage;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        PrintUsage(std::cout);
        return kExitOk;
    }
    for (const Subcommand& s : kSubcommands) {
        if (command == s.name) {
            std::vector<std::string> args(argv + 2, argv + argc);
            return s.run(args, std::cout, std::cerr);
        }
    }
    std::cerr << "nuvtool: unknown command '" << command << "'\n";
    PrintUsage(std::cerr);
    return kExitUsage;
}
