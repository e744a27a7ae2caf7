#pragma once

#include <cstddef>

namespace nuv {

class Object;

// The log line of a field that could not be read or written: a format text and which of its
// owner's name and ID it takes, in the text's order. Checked when the program is compiled: a
// text with any other conversion than one %d (the ID) and at most one %s (the name) does not
// compile, so a field's message can never read a missing argument.
class FieldMessage {
public:
    enum Arguments : unsigned char { kNoArguments, kId, kNameId, kIdName };

    // No message: the step is not checked on its own, or fails without a line of its own.
    constexpr FieldMessage() = default;
    template <std::size_t N>
    consteval FieldMessage(const char (&text)[N]) : text_(text), arguments_(Parse(text)) {}

    const char* GetText() const { return text_; }
    Arguments GetArguments() const { return arguments_; }
    explicit operator bool() const { return text_ != nullptr; }

    // Logs the text as an error with the owner's name and ID; without an owner the name is
    // empty and the ID -1. Nothing for no message.
    void Log(const Object* owner) const;

private:
    static consteval Arguments Parse(const char* text) {
        char first = 0, second = 0;
        for (const char* p = text; *p; ++p) {
            if (*p != '%') continue;
            ++p;
            if ((*p != 'd' && *p != 's') || second) FieldMessageTakesOnlyAnIdAndAName();
            (first ? second : first) = *p;
        }
        if (!first) return kNoArguments;
        if (!second && first == 'd') return kId;
        if (first == 's' && second == 'd') return kNameId;
        if (first == 'd' && second == 's') return kIdName;
        FieldMessageTakesOnlyAnIdAndAName();
        return kNoArguments;
    }
    // Not constant: reaching it while a message is parsed stops the compilation.
    static void FieldMessageTakesOnlyAnIdAndAName();

    const char* text_ = nullptr;
    Arguments arguments_ = kNoArguments;
};

} // namespace nuv
