#pragma once

#include "app/InputEvent.h"

#include <cstdint>

union SDL_Event;

namespace nuv {

// The SDL2 side of input: the translation of SDL's keyboard, mouse and window events into the
// engine's input events, and the pump that queues them with the input manager, with a window
// close for each termination signal (TerminationSignal).
class SdlInput {
public:
    // The engine key code of an SDL scan code (the key's place on a US keyboard, as the Windows
    // virtual keys that the codes follow): digits 0..9, letters 10..35, named keys 36..99, others 100.
    static int32_t GetKeyCode(int32_t scancode);

    // True with the engine event for an event the engine knows; false for the others.
    static bool Translate(const SDL_Event& event, InputEvent* out);

    // Queues with the input manager everything SDL has pending, then a window close when a
    // termination signal came. Fits InputManager::SetMessagePump.
    static void Pump();
};

} // namespace nuv
