#pragma once

#include "core/Log.h"
#include "core/MessageOutput.h"
#include "core/Pointer.h"

#include <string>
#include <vector>

namespace nuv::test {

// Keeps every logged line as "LEVEL|text" for the life of the object.
class LogRecorder {
public:
    LogRecorder() : output_(new Recorder(this)) { RegisterMessageOutput(output_.Get()); lines.clear(); }
    ~LogRecorder() {
        UnregisterMessageOutput(output_.Get());
        output_->owner = nullptr;
    }

    bool Contains(int level, const std::string& text) const {
        for (const auto& line : lines)
            if (line == std::to_string(level) + "|" + text) return true;
        return false;
    }
    bool ContainsText(const std::string& part) const {
        for (const auto& line : lines)
            if (line.find(part) != std::string::npos) return true;
        return false;
    }

    std::vector<std::string> lines;

private:
    struct Recorder : MessageOutput {
        explicit Recorder(LogRecorder* o) : MessageOutput("test recorder"), owner(o) {}
        void Output(int level, const String& text) override {
            if (owner) owner->lines.push_back(std::to_string(level) + "|" + text.GetText());
        }
        LogRecorder* owner;
    };
    Pointer<Recorder> output_;
};

} // namespace nuv::test
