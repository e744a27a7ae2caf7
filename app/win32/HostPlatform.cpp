#include "app/HostPlatform.h"

#include "app/InputManager.h"
#include "core/Status.h"
#include "platform/win32/WindowInput.h"

#include <windows.h>

namespace nuv {

namespace {

void QueueEvent(int32_t device, int32_t action, int32_t code, int32_t value) {
    InputManager::QueueInputEvent(InputEvent{device, action, code, value});
}

// Every pending message of the thread: the window procedures run here and queue their events.
void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        // WM_QUIT belongs to no window: it ends the run like a close.
        if (message.message == WM_QUIT) WindowInput::Translate(WM_QUIT, 0, 0);
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace

const char* HostPlatform::GetRendererModule() {
    return "DirectX9";
}

void HostPlatform::StartInput() {
    WindowInput::SetSink(&QueueEvent);
    InputManager::SetMessagePump(&PumpMessages);
}

void HostPlatform::SetCursorVisible(bool visible) {
    ShowCursor(visible ? TRUE : FALSE);
}

int HostPlatform::CheckDisplay() {
    // A Windows session always has its desktop.
    return kStatusOk;
}

} // namespace nuv
