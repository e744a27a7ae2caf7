#pragma once

#include "app/InputEvent.h"
#include "app/InputHandler.h"

namespace nuv {

// The engine-wide input manager: a queue of input events filled by the window layer and delivered
// once a frame to every registered handler. Started and stopped with the engine.
class InputManager {
public:
    static constexpr int kQueueCapacity = 128;
    static constexpr int kQueueGrowth = 128;

    // Engine start and stop functions (registered statically).
    static int Start();
    static int Stop();
    static bool IsStarted();

    // Puts the handler (counted) first in the list. 0; 0 with a warning when it is already
    // registered; 3 for null; 2 out of memory; 1 when the manager is not started.
    static int RegisterInputHandler(InputHandler* handler);
    // Appends a copy of the event; dropped when the manager is not started or memory runs out.
    static void QueueInputEvent(const InputEvent& event);
    static int GetQueuedCount();

    // The platform's window-message pump: runs first in ProcessInput and queues what it finds.
    using MessagePump = void (*)();
    static void SetMessagePump(MessagePump pump);

    // Runs the pump, then gives every queued event, in order, to every handler, most recently
    // registered first, and empties the queue. Events queued by a handler meanwhile wait for the
    // next call. 0.
    static int ProcessInput();
};

} // namespace nuv
