#include "app/SdlInput.h"

#include "app/InputManager.h"
#include "app/TerminationSignal.h"

#include <SDL.h>

namespace nuv {

namespace {

struct NamedKey {
    SDL_Scancode scancode;
    int32_t code;
};

const NamedKey kNamedKeys[] = {
    {SDL_SCANCODE_KP_PLUS, 36}, {SDL_SCANCODE_APOSTROPHE, 37}, {SDL_SCANCODE_BACKSPACE, 38},
    {SDL_SCANCODE_BACKSLASH, 39}, {SDL_SCANCODE_CAPSLOCK, 40}, {SDL_SCANCODE_COMMA, 41},
    {SDL_SCANCODE_DELETE, 42}, {SDL_SCANCODE_KP_DIVIDE, 43}, {SDL_SCANCODE_PERIOD, 44},
    {SDL_SCANCODE_DOWN, 45}, {SDL_SCANCODE_END, 46}, {SDL_SCANCODE_RETURN, 47},
    // The keypad's Enter sends the same virtual key as the main one.
    {SDL_SCANCODE_KP_ENTER, 47}, {SDL_SCANCODE_EQUALS, 48}, {SDL_SCANCODE_ESCAPE, 49},
    {SDL_SCANCODE_GRAVE, 62}, {SDL_SCANCODE_HOME, 63}, {SDL_SCANCODE_INSERT, 64},
    {SDL_SCANCODE_LEFTBRACKET, 65}, {SDL_SCANCODE_LCTRL, 66}, {SDL_SCANCODE_LEFT, 67},
    {SDL_SCANCODE_LALT, 68}, {SDL_SCANCODE_LSHIFT, 69}, {SDL_SCANCODE_MINUS, 70},
    {SDL_SCANCODE_KP_MULTIPLY, 71}, {SDL_SCANCODE_PAGEDOWN, 72}, {SDL_SCANCODE_NUMLOCKCLEAR, 73},
    {SDL_SCANCODE_KP_PERIOD, 84}, {SDL_SCANCODE_KP_MINUS, 85}, {SDL_SCANCODE_PAUSE, 86},
    {SDL_SCANCODE_PAGEUP, 87}, {SDL_SCANCODE_PRINTSCREEN, 88}, {SDL_SCANCODE_RIGHTBRACKET, 89},
    {SDL_SCANCODE_RCTRL, 90}, {SDL_SCANCODE_RIGHT, 91}, {SDL_SCANCODE_RALT, 92},
    {SDL_SCANCODE_RSHIFT, 93}, {SDL_SCANCODE_SCROLLLOCK, 94}, {SDL_SCANCODE_SEMICOLON, 95},
    {SDL_SCANCODE_SLASH, 96}, {SDL_SCANCODE_SPACE, 97}, {SDL_SCANCODE_TAB, 98},
    {SDL_SCANCODE_UP, 99},
};

} // namespace

int32_t SdlInput::GetKeyCode(int32_t scancode) {
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return 10 + (scancode - SDL_SCANCODE_A);
    // SDL numbers the digit row 1..9 then 0.
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return 1 + (scancode - SDL_SCANCODE_1);
    if (scancode == SDL_SCANCODE_0) return 0;
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12) return 50 + (scancode - SDL_SCANCODE_F1);
    // And the keypad 1..9 then 0.
    if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9) return 75 + (scancode - SDL_SCANCODE_KP_1);
    if (scancode == SDL_SCANCODE_KP_0) return 74;
    for (const NamedKey& key : kNamedKeys)
        if (key.scancode == scancode) return key.code;
    return kKeyUnknown;
}

bool SdlInput::Translate(const SDL_Event& event, InputEvent* out) {
    InputEvent result;
    switch (event.type) {
    case SDL_QUIT:
        result = {kInputWindow, kInputClose, 0, 0};
        break;
    case SDL_WINDOWEVENT:
        if (event.window.event != SDL_WINDOWEVENT_CLOSE) return false;
        result = {kInputWindow, kInputClose, 0, 0};
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        result = {kInputKeyboard, event.type == SDL_KEYDOWN ? kInputPress : kInputRelease,
                  GetKeyCode(event.key.keysym.scancode), 0};
        break;
    case SDL_MOUSEMOTION:
        result = {kInputMouse, kInputMove, event.motion.x, event.motion.y};
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        int32_t button;
        switch (event.button.button) {
        case SDL_BUTTON_LEFT: button = kMouseLeft; break;
        case SDL_BUTTON_RIGHT: button = kMouseRight; break;
        case SDL_BUTTON_MIDDLE: button = kMouseMiddle; break;
        default: return false;  // side buttons have no engine code
        }
        result = {kInputMouse, event.type == SDL_MOUSEBUTTONDOWN ? kInputPress : kInputRelease, button, 0};
        break;
    }
    default:
        return false;
    }
    if (out) *out = result;
    return true;
}

void SdlInput::Pump() {
    SDL_Event event;
    InputEvent translated;
    while (SDL_PollEvent(&event))
        if (Translate(event, &translated)) InputManager::QueueInputEvent(translated);
    if (TerminationSignal::Take()) InputManager::QueueInputEvent({kInputWindow, kInputClose, 0, 0});
}

} // namespace nuv
