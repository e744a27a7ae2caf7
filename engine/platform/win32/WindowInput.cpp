#include "platform/win32/WindowInput.h"

#include <windows.h>

namespace nuv {

namespace {

WindowInput::Sink gSink = nullptr;

// The named keys in code order from 36: the engine's key table.
const unsigned kNamedKeys[] = {
    VK_ADD,        VK_OEM_7,     VK_BACK,     VK_OEM_5,    VK_CAPITAL,  VK_OEM_COMMA, VK_DELETE,  VK_DIVIDE,
    VK_OEM_PERIOD, VK_DOWN,      VK_END,      VK_RETURN,   VK_OEM_PLUS, VK_ESCAPE,    VK_F1,      VK_F2,
    VK_F3,         VK_F4,        VK_F5,       VK_F6,       VK_F7,       VK_F8,        VK_F9,      VK_F10,
    VK_F11,        VK_F12,       VK_OEM_3,    VK_HOME,     VK_INSERT,   VK_OEM_4,     VK_LCONTROL, VK_LEFT,
    VK_LMENU,      VK_LSHIFT,    VK_OEM_MINUS, VK_MULTIPLY, VK_NEXT,    VK_NUMLOCK,   VK_NUMPAD0, VK_NUMPAD1,
    VK_NUMPAD2,    VK_NUMPAD3,   VK_NUMPAD4,  VK_NUMPAD5,  VK_NUMPAD6,  VK_NUMPAD7,   VK_NUMPAD8, VK_NUMPAD9,
    VK_DECIMAL,    VK_SUBTRACT,  VK_PAUSE,    VK_PRIOR,    VK_SNAPSHOT, VK_OEM_6,     VK_RCONTROL, VK_RIGHT,
    VK_RMENU,      VK_RSHIFT,    VK_SCROLL,   VK_OEM_1,    VK_OEM_2,    VK_SPACE,     VK_TAB,     VK_UP,
};
static_assert(sizeof kNamedKeys / sizeof kNamedKeys[0] == 64, "codes 36..99");

} // namespace

void WindowInput::SetSink(Sink sink) {
    gSink = sink;
}

void WindowInput::Send(int32_t device, int32_t action, int32_t code, int32_t value) {
    if (gSink) gSink(device, action, code, value);
}

int32_t WindowInput::GetKeyCode(unsigned virtualKey) {
    if (virtualKey >= '0' && virtualKey <= '9') return int32_t(virtualKey - '0');
    if (virtualKey >= 'A' && virtualKey <= 'Z') return int32_t(virtualKey - 'A' + 10);
    // Key messages name the generic Ctrl, Alt and Shift keys: they count as the left ones.
    if (virtualKey == VK_CONTROL) virtualKey = VK_LCONTROL;
    if (virtualKey == VK_MENU) virtualKey = VK_LMENU;
    if (virtualKey == VK_SHIFT) virtualKey = VK_LSHIFT;
    for (int i = 0; i < 64; ++i)
        if (kNamedKeys[i] == virtualKey) return 36 + i;
    return 100;
}

void WindowInput::Translate(unsigned message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
    case WM_DESTROY:
    case WM_CLOSE:
    case WM_QUIT: Send(2, 4, 0, 0); break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: Send(0, 1, GetKeyCode(unsigned(wParam)), 0); break;
    case WM_KEYUP:
    case WM_SYSKEYUP: Send(0, 2, GetKeyCode(unsigned(wParam)), 0); break;
    case WM_MOUSEMOVE: Send(1, 3, int32_t(LOWORD(lParam)), int32_t(HIWORD(lParam))); break;
    case WM_LBUTTONDOWN: Send(1, 1, 0, 0); break;
    case WM_LBUTTONUP: Send(1, 2, 0, 0); break;
    case WM_RBUTTONDOWN: Send(1, 1, 1, 0); break;
    case WM_RBUTTONUP: Send(1, 2, 1, 0); break;
    case WM_MBUTTONDOWN: Send(1, 1, 2, 0); break;
    case WM_MBUTTONUP: Send(1, 2, 2, 0); break;
    default: break;
    }
}

} // namespace nuv
