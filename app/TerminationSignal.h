#pragma once

namespace nuv {

// The signals that ask a run to end (SIGTERM, SIGINT, SIGHUP and SIGQUIT where they exist): they
// set a flag instead of killing the process, so every way out goes through the shutdown, which
// gives the display its mode and gamma back and ends the log. The flag stays set: whatever still
// waits (a pause, the loading, a dialog) sees it and hurries.
class TerminationSignal {
public:
    // Installs the handlers (one per platform); 0, or 1 when one could not be installed.
    static int Install();
    // Notes one signal: all a handler does, and safe inside one.
    static void Record(int number);
    // Whether a termination signal has come since the start (or the last Reset).
    static bool IsRequested();
    // The number of the first signal that came, 0 when none.
    static int GetSignal();
    // True once for each signal not taken yet: the message pump turns each into a window close.
    static bool Take();
    // Forgets the signals that came (tests).
    static void Reset();
};

} // namespace nuv
