// The description of the options that the daemon's settings dialog reads (halvane.xml) against
// what the program accepts: each argument the dialog can put on a command line is accepted, a
// checkbox moves its setting away from the shipped default it shows, and every setting the
// dialog offers has its control.
#include "app/CommandLine.h"
#include "app/DefaultSettings.h"
#include "app/Settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace nuv {
namespace {

std::string ReadDescription() {
    std::ifstream file(NUV_HACK_DESCRIPTION);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The daemon's dialog puts "--root" (the command element) before the controls' arguments.
int Accept(const std::string& arguments, CommandLine* line) {
    std::vector<std::string> words{"halvane", "--root"};
    std::istringstream in(arguments);
    for (std::string word; in >> word;) words.push_back(word);
    std::vector<const char*> argv;
    for (const std::string& word : words) argv.push_back(word.c_str());
    return line->ParseArguments(int(argv.size()), argv.data(), "0x2a00007");
}

// The name="value" pairs of one element's text.
std::map<std::string, std::string> Attributes(const std::string& element) {
    std::map<std::string, std::string> result;
    size_t at = 0;
    while ((at = element.find("=\"", at)) != std::string::npos) {
        size_t start = at;
        while (start > 0 && element[start - 1] != ' ' && element[start - 1] != '\n') --start;
        const size_t end = element.find('"', at + 2);
        if (end == std::string::npos) break;
        result[element.substr(start, at - start)] = element.substr(at + 2, end - at - 2);
        at = end + 1;
    }
    return result;
}

// The <boolean ...> and <number ...> elements, in order, with their kind.
std::vector<std::pair<std::string, std::string>> Controls(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> result;
    for (size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at + 1)) {
        for (const char* kind : {"boolean", "number"}) {
            const std::string open = std::string("<") + kind;
            const char after = text.size() > at + open.size() ? text[at + open.size()] : '\0';
            if (text.compare(at, open.size(), open) != 0 || (after != ' ' && after != '\n')) continue;
            const size_t end = text.find('>', at);
            if (end != std::string::npos) result.emplace_back(kind, text.substr(at, end - at + 1));
        }
    }
    return result;
}

TEST(HackDescription, EveryControlIsAnOptionOfTheProgram) {
    const std::string text = ReadDescription();
    ASSERT_FALSE(text.empty()) << NUV_HACK_DESCRIPTION;
    DefaultSettings defaults;
    ASSERT_EQ(defaults.LoadResource(), 0);

    EXPECT_NE(text.find(R"(<screensaver name="halvane")"), std::string::npos);
    EXPECT_NE(text.find(R"(<command arg="--root"/>)"), std::string::npos);

    std::set<std::string> reached;
    int controls = 0;
    for (const auto& [kind, element] : Controls(text)) {
        ++controls;
        const std::map<std::string, std::string> a = Attributes(element);
        std::vector<std::string> forms;
        if (kind == "number") {
            // The dialog writes the slider's value in place of '%': both ends and the default.
            ASSERT_TRUE(a.count("arg") && a.count("low") && a.count("high") && a.count("default")) << element;
            for (const char* end : {"low", "high", "default"}) {
                std::string arguments = a.at("arg");
                arguments.replace(arguments.find('%'), 1, a.at(end));
                forms.push_back(arguments);
            }
        } else {
            // A box that adds its argument when ticked starts empty, one that adds it when
            // cleared starts ticked: the argument must move the setting off the shipped default.
            ASSERT_NE(a.count("arg-set") + a.count("arg-unset"), 0u) << element;
            forms.push_back(a.count("arg-set") ? a.at("arg-set") : a.at("arg-unset"));
        }
        for (const std::string& arguments : forms) {
            CommandLine line;
            ASSERT_EQ(Accept(arguments, &line), 0) << arguments << ": " << line.GetError();
            ASSERT_TRUE(line.IsHack()) << arguments;
            ASSERT_EQ(line.GetOverrides().size(), 1u) << arguments;
            const CommandLine::Override& item = line.GetOverrides()[0];
            const std::string name = Settings::GetValueName(item.index);
            reached.insert(name);
            if (kind == "boolean") {
                EXPECT_NE(item.value, defaults.settings.GetValue(item.index))
                    << arguments << " leaves " << name << " at its default";
            }
        }
        if (kind == "number") {
            const CommandLine::Override& item = [&] {
                CommandLine line;
                std::string arguments = a.at("arg");
                arguments.replace(arguments.find('%'), 1, a.at("default"));
                Accept(arguments, &line);
                return line.GetOverrides()[0];
            }();
            EXPECT_EQ(item.value, defaults.settings.GetValue(item.index)) << "the slider's default is not the program's";
        }
    }
    const std::set<std::string> offered{"Music", "SFX",    "Volume", "ShowTime", "Hour24",
                                        "ShowFPS", "Reflections", "Shadows", "Snow", "Shine"};
    EXPECT_EQ(reached, offered);
    EXPECT_EQ(controls, 10);
}

} // namespace
} // namespace nuv
