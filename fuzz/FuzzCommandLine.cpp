// The command line comes from whoever starts the program (a daemon's configuration, a desktop
// entry, a user's typing): any arguments must give a mode or a clear error, never a crash.
// Input: the arguments separated by zero bytes; the first is XSCREENSAVER_WINDOW's value.
#include "app/CommandLine.h"
#include "app/Settings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) words.emplace_back();
        else words.back() += char(data[i]);
    }
    const std::string windowVariable = words.front();
    std::vector<const char*> argv{"halvane"};
    for (size_t i = 1; i < words.size(); ++i) argv.push_back(words[i].c_str());

    nuv::CommandLine line;
    const int status = line.ParseArguments(int(argv.size()), argv.data(), windowVariable.c_str());
    if (status == 0) {
        if (!line.GetError().empty()) __builtin_trap();
        if (line.GetMode() < nuv::kModePreview || line.GetMode() > nuv::kModePassword) __builtin_trap();
        // A hack is a run; its window, when named, is a real id.
        if (line.IsHack() && (line.GetMode() != nuv::kModeSaver || line.GetHackWindow() > 0xFFFFFFFFu))
            __builtin_trap();
        nuv::Settings settings;
        for (const nuv::CommandLine::Override& item : line.GetOverrides()) {
            if (item.index < 0 || item.index >= nuv::Settings::kValueCount) __builtin_trap();
            if (std::string(nuv::Settings::GetValueName(item.index)) == "Volume" && (item.value < 0 || item.value > 100))
                __builtin_trap();
        }
        line.ApplyOverrides(&settings);
    } else if (status != 1 || line.GetError().empty()) {
        __builtin_trap();
    }

    // The whole-line form the system gives, over the same bytes.
    std::string whole;
    for (const std::string& word : words) whole += word + ' ';
    nuv::ScreensaverMode mode = nuv::kModeConfigure;
    int64_t parent = -1;
    nuv::CommandLine::Parse(whole.c_str(), &mode, &parent);
    if (parent < 0) __builtin_trap();
    return 0;
}
