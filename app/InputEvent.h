#pragma once

#include <cstdint>

namespace nuv {

enum InputDevice : int32_t { kInputKeyboard = 0, kInputMouse = 1, kInputWindow = 2 };
enum InputAction : int32_t { kInputPress = 1, kInputRelease = 2, kInputMove = 3, kInputClose = 4 };
enum MouseButton : int32_t { kMouseLeft = 0, kMouseRight = 1, kMouseMiddle = 2 };
// Key code of a key the engine has no name for.
constexpr int32_t kKeyUnknown = 100;

// One input event: code is the engine key code, the mouse button or, for a move, x; value is y
// for a move and 0 otherwise.
struct InputEvent {
    int32_t device = 0;
    int32_t action = 0;
    int32_t code = 0;
    int32_t value = 0;

    bool operator==(const InputEvent& other) const {
        return device == other.device && action == other.action && code == other.code && value == other.value;
    }
};

} // namespace nuv
