#pragma once

#include <cstdint>

namespace nuv {

// The engine window's input on Windows: its window procedure turns key, mouse and close
// messages into input events (device, action, code, value) and hands them to the sink the host
// set; keys by the engine's key table.
class WindowInput {
public:
    using Sink = void (*)(int32_t device, int32_t action, int32_t code, int32_t value);

    // Where the engine windows' events go; null drops them.
    static void SetSink(Sink sink);
    static void Send(int32_t device, int32_t action, int32_t code, int32_t value);

    // The engine key code of a virtual key: '0'..'9' 0..9, 'A'..'Z' 10..35, the named keys
    // 36..99, anything else 100.
    static int32_t GetKeyCode(unsigned virtualKey);

    // Handles a message of an engine window as input; the caller passes every message on to
    // the default procedure afterwards.
    static void Translate(unsigned message, uintptr_t wParam, intptr_t lParam);
};

} // namespace nuv
