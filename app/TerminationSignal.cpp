#include "app/TerminationSignal.h"

#include <csignal>

namespace nuv {

namespace {

// Written by the handler, read by the main thread: all a handler may safely touch.
volatile std::sig_atomic_t gCount = 0;
volatile std::sig_atomic_t gFirstSignal = 0;
std::sig_atomic_t gTaken = 0;

} // namespace

void TerminationSignal::Record(int number) {
    if (gFirstSignal == 0) gFirstSignal = number;
    gCount = gCount + 1;
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
