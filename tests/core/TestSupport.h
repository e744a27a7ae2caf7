#pragma once

#include "core/Log.h"
#include "core/MessageOutput.h"
#include "core/Object.h"
#include "core/Pointer.h"
#include "core/Status.h"
#include "core/Stream.h"

#include <gtest/gtest.h>

#include <cstdint>
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

// The bytes object leaves in an object stream, as a scene file carries it; a write that fails
// fails the test.
inline std::vector<uint8_t> Saved(Object* object) {
    Stream stream(0, 4096);
    EXPECT_EQ(stream.WriteObject(object), kStatusOk);
    return std::vector<uint8_t>(stream.GetData(), stream.GetData() + stream.GetPosition());
}
inline std::vector<uint8_t> Saved(Object& object) {
    return Saved(&object);
}

// The object read back from bytes, kept alive after the stream goes; null on failure, with the
// stream's status in *status.
inline Pointer<Object> Loaded(const std::vector<uint8_t>& bytes, int* status = nullptr) {
    Stream stream(0, 4096);
    stream.Assign(bytes.data(), int(bytes.size()));
    Object* object = nullptr;
    const int result = stream.ReadObject(object);
    if (status) *status = result;
    return Pointer<Object>(result == kStatusOk ? object : nullptr);
}
// The same as a T; null when the bytes hold another class.
template <class T>
Pointer<T> Loaded(const std::vector<uint8_t>& bytes) {
    Pointer<Object> object = Loaded(bytes);
    return Pointer<T>(DynamicCast<T>(object.Get()));
}

} // namespace nuv::test
