#include "app/TerminationSignal.h"

#include <csignal>
#include <initializer_list>

namespace nuv {

namespace {

// Written by the handler, read by the main thread: all a handler may safely touch.
volatile std::sig_atomic_t gCount = 0;
volatile std::sig_atomic_t gFirstSignal = 0;
std::sig_atomic_t gTaken = 0;

void OnSignal(int number) {
    if (gFirstSignal == 0) gFirstSignal = number;
    gCount = gCount + 1;
#ifdef _WIN32
    // The C runtime resets the handler before calling it.
    std::signal(number, &OnSignal);
#endif
}

} // namespace

int TerminationSignal::Install() {
    int status = 0;
#ifdef _WIN32
    for (int number : {SIGTERM, SIGINT, SIGBREAK})
        if (std::signal(number, &OnSignal) == SIG_ERR) status = 1;
#else
    struct sigaction action = {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted waits are resumed by the code that waits, which looks at the flag.
    action.sa_flags = SA_RESTART;
    for (int number : {SIGTERM, SIGINT, SIGHUP, SIGQUIT})
        if (sigaction(number, &action, nullptr) != 0) status = 1;
#endif
    return status;
}

bool TerminationSignal::IsRequested() { return gCount != 0; }

int TerminationSignal::GetSignal() { return gFirstSignal; }

bool TerminationSignal::Take() {
    const std::sig_atomic_t count = gCount;
    if (count == gTaken) return false;
    gTaken = count;
    return true;
}

void TerminationSignal::Reset() {
    gCount = 0;
    gFirstSignal = 0;
    gTaken = 0;
}

} // namespace nuv
